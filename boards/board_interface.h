#pragma once
// The window's one entry to the e-boards: one protocol per port, made from
// the port's cabling name, and kept until the interface goes.
#include <string>
#include <string_view>

#include "boards/board_protocol.h"
#include "componentclasses/tllist.h"

namespace QVRProjects {

class CQVRBoardInterface {
public:
    TLList<CQVRBoardProtocol> protocols{true};
    // The computer's name for board identifiers; "unkown" when unknown.
    std::string computerName;

    CQVRBoardInterface();
    // Ends every port's worker and deletes the protocols. Must not run inside
    // the event lock.
    ~CQVRBoardInterface() = default;

    CQVRBoardInterface(const CQVRBoardInterface&) = delete;
    CQVRBoardInterface& operator=(const CQVRBoardInterface&) = delete;

    // "serialbus" or "serial bus": a bus; "serial" or "usb": a cable; any
    // case. Anything else makes nothing.
    CQVRBoardProtocol* Create(std::string_view cabling, CQVR_EventHandler onEvent);

    // Asks every running port to stop; true once all have stopped.
    bool StopPorts();
};

}  // namespace QVRProjects
