#include "boards/board_protocol.h"

#include <algorithm>
#include <cstring>

#include "boards/clock_text.h"

namespace QVRProjects {

CUserCommand::CUserCommand(int32_t preWaitMs, const uint8_t* bytes, int32_t byteCount, int32_t afterWriteMs,
                           int32_t replyBytes, bool duplicateAllowed)
    : preWait(preWaitMs),
      length(bytes ? std::clamp(byteCount, 0, kCapacity) : 0),
      afterWrite(afterWriteMs),
      replyLength(replyBytes),
      allowDuplicate(duplicateAllowed ? 1 : 0) {
    if (length > 0) std::memcpy(data, bytes, static_cast<size_t>(length));
}

CQVRBoardProtocol::CQVRBoardProtocol(std::string_view cablingName, CQVR_EventHandler onEvent)
    : events(onEvent), cabling(cablingName.substr(0, kNameCapacity)), onEvent_(std::move(onEvent)) {}

CQVRBoardProtocol::~CQVRBoardProtocol() {
    RemoveAllBoards();
    CXL::ReleaseShared();
}

CQVRBoard* CQVRBoardProtocol::BoardAt(uint32_t address) const {
    for (CQVRBoard* board : *this)
        if (board->busAddress == address) return board;
    return nullptr;
}

void CQVRBoardProtocol::RaiseProtocolEvent(int32_t code, std::string_view text) {
    events.Raise(code, nullptr, this, text);
}

void CQVRBoardProtocol::RaiseProtocolEvent(int32_t code, const uint8_t* bytes, int32_t length) {
    events.Build(code, nullptr, this, bytes, length);
    events.Deliver();
}

void CQVRBoardProtocol::RaiseCheckError(std::string_view text) {
    events.Raise(EventCode::BoardError, nullptr, nullptr, text);
}

CQVRBoard* CQVRBoardProtocol::AddBoard(uint32_t address) {
    auto* board = new CQVRBoard(address, onEvent_);
    Append(board);
    board->owner = this;
    return board;
}

void CQVRBoardProtocol::RemoveAllBoards() {
    while (CQVRBoard* board = First()) {
        board->RaiseEvent(EventCode::BoardRemoved, "BOARD REMOVED");
        Remove(board, true);
    }
}

void CQVRBoardProtocol::SendOldestUserCommand() {
    CUserCommand* command = userCommands.First();
    if (!command) return;
    Send(command->preWait, command->data, command->length, command->afterWrite, command->replyLength,
         command->allowDuplicate != 0);
    userCommands.Remove(command, true);
}

}  // namespace QVRProjects
