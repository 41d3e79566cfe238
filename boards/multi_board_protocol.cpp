#include "boards/multi_board_protocol.h"

#include "serial/serial_io.h"

namespace QVRProjects {
namespace {

// Host commands.
constexpr uint8_t kBusReset = 0x4A;
constexpr uint8_t kClockRequest = 0x81;
constexpr uint8_t kDumpRequest = 0x82;
constexpr uint8_t kMovesRequest = 0x83;
constexpr uint8_t kMovesRepeat = 0x84;
constexpr uint8_t kWriteTag = 0x85;
constexpr uint8_t kFromStart = 0x86;
constexpr uint8_t kDiscover = 0x87;
constexpr uint8_t kStartDiscovery = 0x89;
constexpr uint8_t kAddressBoard = 0x8A;

// Board message ids.
constexpr uint8_t kClockTimes = 4;
constexpr uint8_t kStoredMoves = 5;
constexpr uint8_t kStoredMovesAgain = 6;
constexpr uint8_t kAcknowledge = 7;
constexpr uint8_t kBoardDump = 10;

constexpr int32_t kPayload = 5;

// Poll states of the protocol.
constexpr int32_t kStateReset = 0;
constexpr int32_t kStateDiscover = 100;
constexpr int32_t kStateDiscoverWait = 101;
constexpr int32_t kStateStartCycle = 200;
constexpr int32_t kStateMovesPass = 300;
constexpr int32_t kStateLastMovesPass = 314;
constexpr int32_t kStateFullPass = 400;

// Per-board states.
constexpr uint32_t kBoardNew = 100;
constexpr uint32_t kBoardAddressed = 102;
constexpr uint32_t kBoardMovesDue = 300;
constexpr uint32_t kBoardMovesAsked = 301;
constexpr uint32_t kBoardPassDue = 400;
constexpr uint32_t kBoardMovesDone = 401;
constexpr uint32_t kBoardDumpDone = 402;
constexpr uint32_t kBoardClockDone = 403;

bool AskedForMoves(const CQVRBoard* board) {
    return board->busCommand[0] == kMovesRequest || board->busCommand[0] == kMovesRepeat;
}

}  // namespace

CQVRMultiBoardProtocol::CQVRMultiBoardProtocol(CQVR_EventHandler onEvent)
    : CQVRBoardProtocol("serialbus", std::move(onEvent)) {}

void CQVRMultiBoardProtocol::BuildCommand(uint8_t out[4], uint8_t command, uint32_t address) {
    out[0] = command;
    out[1] = static_cast<uint8_t>((address >> 7) & 0x7F);
    out[2] = static_cast<uint8_t>(address & 0x7F);
    out[3] = static_cast<uint8_t>((out[0] + out[1] + out[2]) & 0x7F);
}

int32_t CQVRMultiBoardProtocol::PreWaitFor(int32_t boards) {
    if (boards <= 0) return 100;
    const double wait = (1000.0 - 75.0 * boards) / (3.0 * boards);
    const auto truncated = static_cast<int32_t>(wait);
    return truncated < 100 ? 100 : truncated;
}

void CQVRMultiBoardProtocol::SendToBoard(CQVRBoard* board, uint8_t command, int32_t wait, int32_t afterWrite,
                                         int32_t replyLength, bool allowDuplicate) {
    BuildCommand(board->busCommand, command, board->busAddress);
    Send(wait, board->busCommand, 4, afterWrite, replyLength, allowDuplicate);
}

void CQVRMultiBoardProtocol::SendBroadcast(uint8_t command, int32_t wait, int32_t afterWrite) {
    uint8_t bytes[4];
    BuildCommand(bytes, command, 0);
    Send(wait, bytes, 4, afterWrite, 0, true);
}

int32_t CQVRMultiBoardProtocol::OnData(const uint8_t* bytes, int32_t length) {
    if (!bytes || length <= 0) return 0;
    RaiseProtocolEvent(EventCode::RawReceived, bytes, length);
    for (int32_t i = 0; i < length; ++i) {
        if (rx_.Push(bytes[i])) {
            HandleMessage(rx_.Message(), rx_.Length());
            return ReplyComplete;
        }
    }
    return 0;
}

const char* CQVRMultiBoardProtocol::CheckMessage(const uint8_t* msg, int32_t length) const {
    if (length <= 5) return "ERROR: message length to short";
    if (!(msg[0] & 0x80)) return "ERROR: message bit not set";
    if (msg[1] * 128 + msg[2] != length) return "ERROR: length not match";
    if (msg[3] * 128 + msg[4] == 0) return "ERROR: address not correct";
    for (int32_t i = 1; i <= length - 2; ++i)
        if (msg[i] & 0x80) return "ERROR: unexpected message bit";
    uint32_t sum = 0;
    for (int32_t i = 0; i < length - 1; ++i) sum += msg[i];
    if ((sum & 0x7F) != (msg[length - 1] & 0x7Fu)) return "ERROR: checksum error";
    return nullptr;
}

void CQVRMultiBoardProtocol::HandleMessage(const uint8_t* msg, int32_t length) {
    const char* error = CheckMessage(msg, length);
    // The sender is known only once the length covers the address bytes.
    const uint32_t address = length > 4 ? (msg[3] & 0x7Fu) * 128 + (msg[4] & 0x7Fu) : 0;
    CQVRBoard* board = address != 0 ? BoardAt(address) : nullptr;
    if (error) {
        RaiseCheckError(error);
        ++badMessages;
        if (board) {
            if (AskedForMoves(board)) board->memoryRequested = 1;
            ++board->errors;
            board->RaiseEvent(EventCode::BoardError, "BOARD MESSAGE KO");
        }
        return;
    }
    ++acceptedMessages;
    if (!board) {
        board = AddBoard(address);
        boardCount = Count();
        board->busState = kBoardNew;
        RaiseProtocolEvent(EventCode::NewBoardFound, "NEW BOARD FOUND");
        board->RaiseEvent(EventCode::BoardFound, "");
    }
    ++board->packets;
    board->RaiseEvent(EventCode::PacketReceived, "packet received");
    switch (msg[0] & 0x7F) {
        case kClockTimes:
            board->ApplyClockTimes(msg, length, kPayload);
            break;
        case kStoredMoves:
        case kStoredMovesAgain:
            board->ApplyMemoryDump(msg, length, kPayload);
            break;
        case kAcknowledge:
            break;
        case kBoardDump:
            board->ApplyBoardDump(msg, length, kPayload);
            break;
        default:
            board->RaiseEvent(EventCode::BoardError, "Unknown command received from board");
            break;
    }
    rx_.Handled();
    RunPoll();
}

void CQVRMultiBoardProtocol::OnReplyTimeout(CQVRBoard* board) {
    RaiseProtocolEvent(EventCode::StatusLine, "timeout occured");
    if (board) {
        ++board->errors;
        ++board->timeouts;
        if (AskedForMoves(board)) board->memoryRequested = 1;
        board->RaiseEvent(EventCode::BoardError, "TIMEOUT");
    }
    RunPoll();
}

void CQVRMultiBoardProtocol::OnDelayDone(bool broadcastPause) {
    if (broadcastPause) {
        // Once polling has begun it moves on with its own replies; a second
        // request in flight would mix up whose reply is whose.
        if (pollState >= kStateStartCycle) return;
        // Boards already addressed do not answer a broadcast; when none
        // answers, the end of its pause is the only trigger left.
        if (pollState == kStateDiscoverWait) pollState = kStateDiscover;
    }
    RunPoll();
}

void CQVRMultiBoardProtocol::RunPoll() {
    while (PollStep()) {
    }
}

CQVRBoard* CQVRMultiBoardProtocol::FirstInState(uint32_t busState) const {
    for (CQVRBoard* board : *this)
        if (board->busState == busState) return board;
    return nullptr;
}

void CQVRMultiBoardProtocol::SetAllStates(uint32_t busState) {
    for (CQVRBoard* board : *this) board->busState = busState;
}

void CQVRMultiBoardProtocol::RemoveBoards() {
    RemoveAllBoards();
    // Kept equal to the collection: a stale count would send the discovery
    // step and the cycle start back and forth without end.
    boardCount = 0;
}

bool CQVRMultiBoardProtocol::PollStep() {
    if (pollState == kStateReset) {
        pollState = kStateDiscover;
        RemoveBoards();
        lastBoardCount = 0;
        const uint8_t reset = kBusReset;
        Send(0, &reset, 1, 0, 0, true);
        SendBroadcast(kStartDiscovery, 80, -3000);
        return true;
    }
    if (pollState == kStateDiscover) return StepDiscovery();
    if (pollState == kStateDiscoverWait) {
        pollState = kStateDiscover;
        return false;
    }
    if (pollState == kStateStartCycle) {
        if (Empty()) {
            pollState = kStateDiscover;
            return true;
        }
        preWait = PreWaitFor(boardCount);
        SetAllStates(kBoardPassDue);
        pollState = kStateFullPass;
        return true;
    }
    if (pollState == kStateFullPass) return StepFullPass();
    if (pollState >= kStateMovesPass && pollState <= kStateLastMovesPass) return StepMovesPass();
    return false;
}

bool CQVRMultiBoardProtocol::StepDiscovery() {
    const bool enough = expectedBoards > 0 ? boardCount >= expectedBoards : lastBoardCount == boardCount;
    if (boardCount > 0 && enough) {
        pollState = kStateStartCycle;
        return true;
    }
    if (CQVRBoard* found = FirstInState(kBoardNew)) {
        found->busState = kBoardAddressed;
        SendToBoard(found, kAddressBoard, 0, 80, 6, true);
        return false;
    }
    SetAllStates(kBoardNew);
    lastBoardCount = boardCount;
    pollState = kStateDiscoverWait;
    SendBroadcast(kDiscover, 0, -1200);
    return false;
}

bool CQVRMultiBoardProtocol::StepFullPass() {
    if (Empty()) {
        pollState = kStateDiscover;
        return false;
    }
    if (CQVRBoard* board = FirstInState(kBoardPassDue)) {
        board->busState = kBoardMovesDone;
        SendToBoard(board, board->memoryRequested ? kMovesRepeat : kMovesRequest, preWait, 800, 0, false);
        return false;
    }
    if (CQVRBoard* board = FirstInState(kBoardMovesDone)) {
        board->busState = kBoardDumpDone;
        SendToBoard(board, kDumpRequest, preWait, 2000, 56, false);
        return false;
    }
    if (CQVRBoard* board = FirstInState(kBoardDumpDone)) {
        board->busState = kBoardClockDone;
        SendToBoard(board, kClockRequest, preWait, 1000, 13, false);
        return false;
    }
    SetAllStates(kBoardMovesDue);
    pollState = kStateMovesPass;
    SendOldestUserCommand();
    return true;
}

bool CQVRMultiBoardProtocol::StepMovesPass() {
    if (Empty()) {
        pollState = kStateDiscover;
        return false;
    }
    for (CQVRBoard* board : *this) {
        if (board->busState == kBoardMovesAsked) continue;
        board->busState = kBoardMovesAsked;
        if (board->memoryRequested) {
            SendToBoard(board, kMovesRepeat, preWait, 800, 0, false);
        } else if (board->fromStartRequested) {
            // Sent like a repeated moves request, so that its reply or its
            // time-out moves the cycle on.
            board->fromStartRequested = 0;
            SendToBoard(board, kFromStart, preWait, 800, 0, false);
        } else if (board->writeTagRequested) {
            board->writeTagRequested = 0;
            SendToBoard(board, kWriteTag, preWait, 800, 6, true);
        } else {
            SendToBoard(board, kMovesRequest, preWait, 10000, 0, false);
        }
        return false;
    }
    if (pollState < kStateLastMovesPass) {
        SetAllStates(kBoardMovesDue);
        ++pollState;
        return true;
    }
    SetAllStates(kBoardPassDue);
    pollState = kStateFullPass;
    return true;
}

}  // namespace QVRProjects
