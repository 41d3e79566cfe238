// How long finding a server on this computer takes, and how fast the client
// writes object update lines (padding, cipher, socket) to a reader on loopback.

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "objects/client.h"
#include "objects/udp_broadcaster.h"
#include "platform/dispatcher.h"
#include "platform/tcp_client.h"
#include "platform/udp_client.h"

namespace {

void BM_DiscoverLocalServer(benchmark::State& state)
{
    platform::UdpClient server;
    server.Bind("127.0.0.1", 0);
    const int port = server.LocalPort();
    std::atomic<bool> stop{false};
    std::thread responder([&] {
        std::string request;
        platform::UdpEndpoint from;
        while (!stop)
            if (server.Receive(request, 50, &from) == platform::UdpClient::Received::Datagram)
                server.SendTo(from, "701 HOST 127.0.0.1 " + std::to_string(port));
    });
    TAEOS_UDPBroadcaster discovery(port);
    discovery.broadcastAddress = "127.0.0.9";  // a missed answer must not leave this computer
    discovery.serverSpec = "auto";
    for (auto _ : state) {
        const std::string found = discovery.Discover();
        if (found.rfind("701", 0) != 0)
            state.SkipWithError("no answer to the local probe");
    }
    stop = true;
    responder.join();
}
BENCHMARK(BM_DiscoverLocalServer)->Unit(benchmark::kMicrosecond);

void BM_SendObjectUpdateLines(benchmark::State& state)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);

    platform::MainThreadDispatcher dispatcher;
    TAEOS_Client client(ntohs(addr.sin_port), nullptr, nullptr, nullptr, &dispatcher, "/dev/null");
    client.Connection().Connect("127.0.0.1", ntohs(addr.sin_port), 5000);
    const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    std::thread sink([peer] {
        char buffer[65536];
        while (::recv(peer, buffer, sizeof buffer, 0) > 0) {
        }
    });
    const std::string statement = "QVR_hall3_serialbus_ttyUSB0_17.sequence=@0:nBmBlBkBjBiBhBgBfBeBdBcBbBaBZBYBXBWBVBUB";
    for (auto _ : state)
        client.SendStatements(statement);
    state.SetItemsProcessed(state.iterations());
    client.Connection().Shutdown();
    sink.join();
    ::close(peer);
    ::close(listener);
}
BENCHMARK(BM_SendObjectUpdateLines)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
