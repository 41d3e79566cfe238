#include "platform/udp_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kMaxDatagram = 65536;

bool Resolve(const std::string& host, std::uint32_t& address)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

}  // namespace

UdpClient::UdpClient()
    : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (fd_ < 0)
        lastError_ = errno;
}

UdpClient::~UdpClient()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool UdpClient::Bind(const std::string& address, int port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && !Resolve(address, addr.sin_addr.s_addr)) {
        lastError_ = EADDRNOTAVAIL;
        return false;
    }
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

int UdpClient::LocalPort() const
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

bool UdpClient::SetBroadcast(bool on)
{
    const int flag = on ? 1 : 0;
    if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &flag, sizeof flag) != 0) {
        lastError_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    return true;
}

bool UdpClient::SendTo(const std::string& host, int port, std::string_view data)
{
    UdpEndpoint to;
    if (port <= 0 || port > 65535) {
        lastError_ = EINVAL;
        return false;
    }
    if (!Resolve(host, to.address)) {
        lastError_ = EADDRNOTAVAIL;
        return false;
    }
    to.port = static_cast<std::uint16_t>(port);
    return SendTo(to, data);
}

bool UdpClient::SendTo(const UdpEndpoint& to, std::string_view data)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(to.port);
    addr.sin_addr.s_addr = to.address;
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    const ssize_t n = ::sendto(fd_, data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr),
                               sizeof addr);
    if (n != static_cast<ssize_t>(data.size())) {
        lastError_ = n < 0 ? errno : EMSGSIZE;
        return false;
    }
    return true;
}

UdpClient::Received UdpClient::Receive(std::string& data, int timeoutMs, UdpEndpoint* from)
{
    data.clear();
    if (fd_ < 0 || wakeFd_ < 0 || interrupted_) {
        lastError_ = EBADF;
        return Received::Error;
    }
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n;
    do
        n = ::poll(fds, 2, timeoutMs);
    while (n < 0 && errno == EINTR);
    if (n < 0 || (fds[1].revents & POLLIN)) {
        lastError_ = n < 0 ? errno : ECANCELED;
        return Received::Error;
    }
    if (n == 0)
        return Received::Timeout;

    std::string buffer(kMaxDatagram, '\0');
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&addr), &len);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Received::Timeout;
        lastError_ = errno;
        return Received::Error;
    }
    buffer.resize(static_cast<std::size_t>(got));
    data = std::move(buffer);
    if (from) {
        from->address = addr.sin_addr.s_addr;
        from->port = ntohs(addr.sin_port);
    }
    return Received::Datagram;
}

void UdpClient::Interrupt()
{
    interrupted_ = true;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

}  // namespace platform
