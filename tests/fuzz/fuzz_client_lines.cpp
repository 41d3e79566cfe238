// Feeds random server streams to the client: lines go to HandleLine as the
// client's reading loop hands them over, and the bytes after a 311 line are
// the block it reads. Every input gets a fresh connection and a fresh tree.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "objects/client.h"
#include "platform/dispatcher.h"
#include "platform/tcp_client.h"

namespace {

class Harness {
public:
    Harness()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        client_ = std::make_unique<TAEOS_Client>(50000, nullptr, nullptr, nullptr, &dispatcher_, "/dev/null");
    }

    void Run(const std::uint8_t* data, std::size_t size)
    {
        platform::TcpClient& tcp = client_->Connection();
        if (!tcp.Connect("127.0.0.1", port_, 5000))
            return;
        const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0)
            return;
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::send(peer, data + done, size - done, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::shutdown(peer, SHUT_WR);  // reads beyond the input end instead of waiting

        TAE_Root tree;
        client_->AttachRoot(&tree);
        std::string line;
        while (tcp.IsConnected() && tcp.ReadLine(line, TAEOS_Client::kMaxReceive)) {
            if (!line.empty() && !client_->HandleLine(line))
                break;
        }
        client_->AttachRoot(nullptr);
        tcp.Close();
        ::close(peer);
    }

private:
    platform::MainThreadDispatcher dispatcher_;  // this thread is its main thread
    int listener_ = -1;
    int port_ = 0;
    std::unique_ptr<TAEOS_Client> client_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness harness;
    harness.Run(data, size);
    return 0;
}
