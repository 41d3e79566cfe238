#include "boards/board_interface.h"

#include <algorithm>
#include <cctype>

#include "boards/serial_port_owner.h"
#include "platform/host_info.h"

namespace QVRProjects {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

CQVRBoardInterface::CQVRBoardInterface() {
    computerName = platform::ComputerName().value_or("unkown").substr(0, CQVRBoardProtocol::kNameCapacity);
}

CQVRBoardProtocol* CQVRBoardInterface::Create(std::string_view cabling, CQVR_EventHandler onEvent) {
    const std::string kind = Lower(cabling);
    CQVRBoardProtocol* protocol = nullptr;
    if (kind == "serialbus" || kind == "serial bus")
        protocol = new CQVRSerialBus(std::move(onEvent));
    else if (kind == "serial" || kind == "usb")
        protocol = new CQVRSerialCable(cabling, std::move(onEvent));
    if (protocol) protocols.Append(protocol);
    return protocol;
}

bool CQVRBoardInterface::StopPorts() {
    bool allStopped = true;
    for (CQVRBoardProtocol* protocol : protocols) {
        if (protocol->IsStopped()) continue;
        protocol->Stop();
        allStopped = false;
    }
    return allStopped;
}

}  // namespace QVRProjects
