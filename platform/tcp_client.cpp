#include "platform/tcp_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Waits for the socket or the wake fd; false on time-out, wake or poll failure.
bool WaitFor(int fd, short events, int wakeFd, int timeoutMs)
{
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || (fds[1].revents & POLLIN))
            return false;
        return true;
    }
}

}  // namespace

TcpClient::TcpClient() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TcpClient::~TcpClient()
{
    Close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool TcpClient::Connect(const std::string& host, int port, int timeoutMs)
{
    Close();
    host_ = host;
    port_ = port;
    if (aborted_ || wakeFd_ < 0 || port <= 0 || port > 65535)
        return false;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;

    int connectedFd = -1;
    for (addrinfo* a = found; a && connectedFd < 0 && !aborted_; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS && WaitFor(fd, POLLOUT, wakeFd_, timeoutMs)) {
            int error = 0;
            socklen_t len = sizeof error;
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
        }
        if (ok)
            connectedFd = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(found);
    if (connectedFd < 0)
        return false;

    std::lock_guard writeLock(writeMutex_);
    std::lock_guard stateLock(stateMutex_);
    fd_ = connectedFd;
    connected_ = !aborted_;
    buffer_.clear();
    bufferPos_ = 0;
    return connected_;
}

bool TcpClient::IsConnected() const
{
    std::lock_guard lock(stateMutex_);
    return connected_;
}

bool TcpClient::WaitReadable()
{
    return fd_ >= 0 && WaitFor(fd_, POLLIN, wakeFd_, -1);
}

bool TcpClient::FillBuffer()
{
    if (bufferPos_ > 0) {
        buffer_.erase(0, bufferPos_);
        bufferPos_ = 0;
    }
    char chunk[kReadChunk];
    for (;;) {
        if (aborted_ || !WaitReadable())
            return false;
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false;
    }
}

bool TcpClient::ReadLine(std::string& line, std::size_t maxBytes)
{
    std::size_t searchFrom = bufferPos_;
    for (;;) {
        const std::size_t lf = buffer_.find('\n', searchFrom);
        if (lf != std::string::npos) {
            std::size_t end = lf;
            if (end > bufferPos_ && buffer_[end - 1] == '\r')
                --end;
            if (end - bufferPos_ > maxBytes)
                return false;
            line.assign(buffer_, bufferPos_, end - bufferPos_);
            bufferPos_ = lf + 1;
            return true;
        }
        if (buffer_.size() - bufferPos_ > maxBytes + 1)
            return false;
        const std::size_t scanned = buffer_.size() - bufferPos_;
        if (!FillBuffer())
            return false;
        searchFrom = scanned;  // FillBuffer moved the unread bytes to the front
    }
}

bool TcpClient::ReadBytes(std::string& out, std::size_t n)
{
    out.clear();
    while (out.size() < n) {
        if (bufferPos_ == buffer_.size() && !FillBuffer())
            return false;
        const std::size_t take = std::min(n - out.size(), buffer_.size() - bufferPos_);
        out.append(buffer_, bufferPos_, take);
        bufferPos_ += take;
    }
    return true;
}

bool TcpClient::WriteAll(const void* data, std::size_t size)
{
    std::lock_guard writeLock(writeMutex_);
    int fd;
    {
        std::lock_guard stateLock(stateMutex_);
        if (!connected_)
            return false;
        fd = fd_;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, bytes + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !aborted_ && WaitFor(fd, POLLOUT, wakeFd_, -1))
            continue;
        Shutdown();
        return false;
    }
    return true;
}

bool TcpClient::SetNoDelay(bool on)
{
    std::lock_guard lock(stateMutex_);
    const int flag = on ? 1 : 0;
    return fd_ >= 0 && ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag) == 0;
}

void TcpClient::Shutdown()
{
    std::lock_guard lock(stateMutex_);
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
    connected_ = false;
}

void TcpClient::Abort()
{
    aborted_ = true;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    Shutdown();
}

void TcpClient::Close()
{
    Shutdown();
    std::lock_guard writeLock(writeMutex_);
    std::lock_guard stateLock(stateMutex_);
    CloseLocked();
}

void TcpClient::CloseLocked()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    connected_ = false;
    buffer_.clear();
    bufferPos_ = 0;
}

}  // namespace platform
