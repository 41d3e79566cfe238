#pragma once
// Finds the tournament server: a typed address is handed back as it stands;
// "", "auto" or "AUTO" ask with a "700 LOST" datagram, first on this computer,
// then by broadcast. The result is always one protocol line; only a "701 HOST"
// line means a server was found. Used by the server client's thread only.

#include <memory>
#include <string>

namespace platform {
class UdpClient;
}

class TAEOS_UDPBroadcaster {
public:
    explicit TAEOS_UDPBroadcaster(int port);
    ~TAEOS_UDPBroadcaster();
    TAEOS_UDPBroadcaster(const TAEOS_UDPBroadcaster&) = delete;
    TAEOS_UDPBroadcaster& operator=(const TAEOS_UDPBroadcaster&) = delete;

    std::string Discover();
    // Any thread: makes a running and every later Discover give up at once.
    void Interrupt();

    int port;
    std::string serverSpec;
    // Where the probes go; tests point them at addresses of their own.
    std::string localHost = "localhost";
    std::string broadcastAddress = "255.255.255.255";

private:
    std::unique_ptr<platform::UdpClient> udp;
};
