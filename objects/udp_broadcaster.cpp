#include "objects/udp_broadcaster.h"

#include <cerrno>

#include "platform/udp_client.h"

namespace {

constexpr const char* kRequest = "700 LOST";
constexpr int kLocalWaitMs = 100;
constexpr int kBroadcastWaitMs = 333;
constexpr int kBroadcasts = 2;

bool IsDiscoverySpec(const std::string& serverText)
{
    return serverText.empty() || serverText == "auto" || serverText == "AUTO";
}

bool IsAnswer(const std::string& answer)
{
    return !answer.empty() && answer != "UNKNOWN";
}

}  // namespace

TAEOS_UDPBroadcaster::TAEOS_UDPBroadcaster(int port_) : port(port_), udp(std::make_unique<platform::UdpClient>()) {}

TAEOS_UDPBroadcaster::~TAEOS_UDPBroadcaster() = default;

void TAEOS_UDPBroadcaster::Interrupt()
{
    udp->Interrupt();
}

std::string TAEOS_UDPBroadcaster::Discover()
{
    if (!IsDiscoverySpec(serverSpec))
        return "701 HOST " + serverSpec + " " + std::to_string(port);

    std::string answer;
    if (!udp->SetBroadcast(false) || !udp->SendTo(localHost, port, kRequest)
        || udp->Receive(answer, kLocalWaitMs) == platform::UdpClient::Received::Error)
        answer = "UNKNOWN";
    if (IsAnswer(answer))
        return answer;

    if (!udp->SetBroadcast(true))
        return "UNKNOWN: Broadcast failed";
    for (int i = 0; i < kBroadcasts; ++i) {
        if (!udp->SendTo(broadcastAddress, port, kRequest))
            return udp->LastError() == EHOSTUNREACH ? "UNKNOWN: Error 10065" : "UNKNOWN: Error ?????";
        switch (udp->Receive(answer, kBroadcastWaitMs)) {
        case platform::UdpClient::Received::Error:
            return "UNKNOWN: Error ?????";
        case platform::UdpClient::Received::Datagram:
            if (IsAnswer(answer))
                return answer;
            break;
        case platform::UdpClient::Received::Timeout:
            break;
        }
    }
    return "UNKNOWN";
}
