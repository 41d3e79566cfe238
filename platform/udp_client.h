#pragma once
// A UDP socket for IPv4 datagrams: send to a host and port, broadcast on and
// off, receive with a time-out. One thread uses it; Interrupt may come from any.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct UdpEndpoint {
    std::uint32_t address = 0;  // network byte order
    std::uint16_t port = 0;     // host byte order
};

class UdpClient {
public:
    enum class Received { Datagram, Timeout, Error };

    UdpClient();
    ~UdpClient();
    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Servers: listen on an address ("" for all) and port (0 picks a free one).
    bool Bind(const std::string& address, int port);
    int LocalPort() const;
    bool SetBroadcast(bool on);

    // Host is a name or dotted address. False with LastError() on failure.
    bool SendTo(const std::string& host, int port, std::string_view data);
    bool SendTo(const UdpEndpoint& to, std::string_view data);
    Received Receive(std::string& data, int timeoutMs, UdpEndpoint* from = nullptr);

    // The errno of the last failed call; for a failed name lookup, EADDRNOTAVAIL.
    int LastError() const { return lastError_; }

    // Any thread: makes a waiting Receive return Error, now and from then on.
    void Interrupt();

private:
    int fd_ = -1;
    int wakeFd_ = -1;
    int lastError_ = 0;
    std::atomic<bool> interrupted_{false};
};

}  // namespace platform
