#pragma once
// A listening TCP socket on 127.0.0.1 for tests of the socket layer.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 8)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, backlog) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~LoopbackListener() { ::close(fd_); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return port_; }
    // The next connection, blocking; -1 on failure.
    int Accept() { return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

private:
    int fd_ = -1;
    int port_ = 0;
};

inline bool SendText(int fd, const std::string& text)
{
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Reads until the peer closes.
inline std::string ReceiveAll(int fd)
{
    std::string all;
    char chunk[4096];
    for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;)
        all.append(chunk, static_cast<std::size_t>(n));
    return all;
}
