#pragma once
// Runs test code inside a network namespace of its own whose only interface is
// loopback, so that broadcasts cannot leave the machine. Sockets made by the
// code (and threads it starts) live in that namespace.

#include <arpa/inet.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

enum class LoopbackRoutes {
    None,              // no route beyond 127/8: broadcasts fail
    DefaultViaLoopback,  // every address, broadcasts included, goes to loopback
    BroadcastRejected,   // as above, but 255.255.255.255 is unreachable
};

namespace loopback_network_detail {

inline bool AddRoute(int s, const char* destination, bool host, bool reject)
{
    rtentry route{};
    auto* dst = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
    dst->sin_family = AF_INET;
    ::inet_pton(AF_INET, destination, &dst->sin_addr);
    auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
    mask->sin_family = AF_INET;
    mask->sin_addr.s_addr = host ? 0xFFFFFFFFu : 0;
    route.rt_flags = RTF_UP | (host ? RTF_HOST : 0) | (reject ? RTF_REJECT : 0);
    char device[] = "lo";
    route.rt_dev = device;
    return ::ioctl(s, SIOCADDRT, &route) == 0;
}

}  // namespace loopback_network_detail

// False (with the reason) when the namespace could not be made; code did not run then.
inline bool RunInLoopbackNetwork(LoopbackRoutes routes, const std::function<void()>& code, std::string& error)
{
    std::thread runner([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            error = std::string("unshare: ") + std::strerror(errno);
            return;
        }
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        bool ok = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &lo) == 0;
        lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
        ok = ok && ::ioctl(s, SIOCSIFFLAGS, &lo) == 0;
        if (ok && routes != LoopbackRoutes::None)
            ok = loopback_network_detail::AddRoute(s, "0.0.0.0", false, false);
        if (ok && routes == LoopbackRoutes::BroadcastRejected)
            ok = loopback_network_detail::AddRoute(s, "255.255.255.255", true, true);
        if (!ok)
            error = std::string("network set-up: ") + std::strerror(errno);
        if (s >= 0)
            ::close(s);
        if (ok)
            code();
    });
    runner.join();
    return error.empty();
}
