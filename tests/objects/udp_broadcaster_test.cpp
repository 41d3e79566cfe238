#include "objects/udp_broadcaster.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/objects/loopback_network.h"

namespace {

// Never let a test broadcast on a real interface: every probe goes to loopback.
constexpr const char* kLoopbackBroadcast = "127.255.255.255";

struct Datagram {
    std::string text;
    std::string destination;
};

// A UDP socket that records what arrives, with the address each datagram was sent to,
// and may answer some of them.
class Recorder {
public:
    explicit Recorder(const char* address = "0.0.0.0", int port = 0)
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, address, &addr.sin_addr);
        socklen_t len = sizeof addr;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~Recorder() { ::close(fd_); }
    int Port() const { return port_; }

    // Takes datagrams until none arrives for quietMs; answers each with `answer` unless it is empty.
    std::vector<Datagram> Drain(int quietMs, const std::string& answer = "")
    {
        std::vector<Datagram> got;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                return got;
            char data[2048];
            char control[256];
            sockaddr_in from{};
            iovec io{data, sizeof data};
            msghdr msg{};
            msg.msg_name = &from;
            msg.msg_namelen = sizeof from;
            msg.msg_iov = &io;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(fd_, &msg, 0);
            if (n < 0)
                return got;
            Datagram d{std::string(data, static_cast<std::size_t>(n)), ""};
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    char text[INET_ADDRSTRLEN];
                    const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c));
                    d.destination = ::inet_ntop(AF_INET, &info->ipi_addr, text, sizeof text);
                }
            }
            got.push_back(d);
            if (!answer.empty())
                ::sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), msg.msg_namelen);
        }
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

std::size_t CountTo(const std::vector<Datagram>& datagrams, const std::string& destination)
{
    std::size_t n = 0;
    for (const auto& d : datagrams)
        n += d.destination == destination && d.text == "700 LOST";
    return n;
}

TEST(UdpBroadcaster, TypedAddressIsHandedBackWithoutTraffic)
{
    Recorder recorder;
    for (const std::string serverText : {"myhost", "Auto", "10.1.2.3", "auto "}) {
        SCOPED_TRACE(serverText);
        TAEOS_UDPBroadcaster discovery(recorder.Port());
        discovery.broadcastAddress = kLoopbackBroadcast;
        discovery.serverSpec = serverText;
        EXPECT_EQ(discovery.Discover(), "701 HOST " + serverText + " " + std::to_string(recorder.Port()));
    }
    EXPECT_TRUE(recorder.Drain(100).empty());
}

TEST(UdpBroadcaster, LocalServerIsFoundByTheProbeAlone)
{
    for (const std::string serverText : {"", "auto", "AUTO"}) {
        SCOPED_TRACE("serverText '" + serverText + "'");
        Recorder server("127.0.0.1");
        Recorder elsewhere("127.0.0.3", server.Port());  // where a broadcast would land
        const std::string answer = "701 HOST 127.0.0.1 " + std::to_string(server.Port());
        std::vector<Datagram> seen;
        std::thread responder([&] { seen = server.Drain(1000, answer); });
        TAEOS_UDPBroadcaster discovery(server.Port());
        discovery.broadcastAddress = "127.0.0.3";
        discovery.serverSpec = serverText;
        EXPECT_EQ(discovery.Discover(), answer);
        responder.join();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, "700 LOST");
        EXPECT_TRUE(elsewhere.Drain(50).empty());
    }
}

TEST(UdpBroadcaster, AnswersAreReturnedAsTheyCame)
{
    struct Case {
        const char* name;
        const char* serverAddress;  // the probe reaches 127.0.0.1 only
        std::string answer;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"other text from the probe", "127.0.0.1", "HELLO THERE", "HELLO THERE"},
        {"answer to the broadcast", "127.0.0.2", "701 HOST 127.0.0.2 7", "701 HOST 127.0.0.2 7"},
        {"UNKNOWN counts as no answer", "127.0.0.1", "UNKNOWN", "UNKNOWN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder server(c.serverAddress);
        std::thread responder([&] { server.Drain(1000, c.answer); });
        TAEOS_UDPBroadcaster discovery(server.Port());
        discovery.broadcastAddress = "127.0.0.2";
        discovery.serverSpec = "auto";
        EXPECT_EQ(discovery.Discover(), c.result);
        responder.join();
    }
}

TEST(UdpBroadcaster, InterruptEndsDiscoveryAtOnce)
{
    Recorder nobody;
    TAEOS_UDPBroadcaster discovery(nobody.Port());
    discovery.broadcastAddress = kLoopbackBroadcast;
    discovery.serverSpec = "auto";
    discovery.Interrupt();
    EXPECT_EQ(discovery.Discover().rfind("UNKNOWN", 0), 0u);
    EXPECT_EQ(CountTo(nobody.Drain(100), "127.0.0.1"), 1u);
}

TEST(UdpBroadcaster, WithoutServerInLoopbackOnlyNetwork)
{
    struct Case {
        const char* name;
        LoopbackRoutes routes;
        std::string result;
        std::size_t broadcasts;
    };
    const std::vector<Case> cases = {
        {"broadcasts reach loopback", LoopbackRoutes::DefaultViaLoopback, "UNKNOWN", 2},
        {"no route for broadcasts", LoopbackRoutes::None, "UNKNOWN: Error ?????", 0},
        {"broadcast address unreachable", LoopbackRoutes::BroadcastRejected, "UNKNOWN: Error 10065", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const bool ran = RunInLoopbackNetwork(
            c.routes,
            [&] {
                Recorder listener;  // counts, never answers
                TAEOS_UDPBroadcaster discovery(listener.Port());
                discovery.serverSpec = "";
                EXPECT_EQ(discovery.broadcastAddress, "255.255.255.255");
                EXPECT_EQ(discovery.Discover(), c.result);
                const auto seen = listener.Drain(100);
                EXPECT_EQ(CountTo(seen, "127.0.0.1"), 1u);
                EXPECT_EQ(CountTo(seen, "255.255.255.255"), c.broadcasts);
                EXPECT_EQ(seen.size(), 1 + c.broadcasts);
            },
            error);
        ASSERT_TRUE(ran) << error;
    }
}

}  // namespace
