#include "boards/single_board_protocol.h"

#include <vector>

#include "boards/clock_text.h"
#include "serial/serial_io.h"

namespace QVRProjects {
namespace {

// Host commands.
constexpr uint8_t kReset = 0x40;
constexpr uint8_t kClockRequest = 0x41;
constexpr uint8_t kDumpRequest = 0x42;
constexpr uint8_t kAddressRequest = 0x46;
constexpr uint8_t kMemoryRequest = 0x49;
constexpr uint8_t kVersionRequest = 0x4D;
constexpr uint8_t kClockText = 0x2B;

// Board message ids.
constexpr uint8_t kBoardDump = 6;
constexpr uint8_t kClockTimes = 13;
constexpr uint8_t kFieldUpdate = 14;
constexpr uint8_t kMemoryDump = 15;
constexpr uint8_t kBusAddress = 16;
constexpr uint8_t kVersion = 19;

constexpr int32_t kPayload = 3;

// Poll states.
constexpr int32_t kStateReset = 0;
constexpr int32_t kStateAddress = 100;
constexpr int32_t kStateDumps = 200;
constexpr int32_t kStateDumpsEnd = 210;
constexpr int32_t kStateClock = 300;

}  // namespace

CQVRSingleBoardProtocol::CQVRSingleBoardProtocol(std::string_view cablingName, CQVR_EventHandler onEvent)
    : CQVRBoardProtocol(cablingName, std::move(onEvent)) {}

void CQVRSingleBoardProtocol::UserCommand(int32_t code, std::string_view text, int32_t number) {
    auto queue = [&](std::vector<uint8_t> bytes, int32_t afterWrite, int32_t replyLength, bool allowDuplicate) {
        userCommands.Append(new CUserCommand(preWait, bytes.data(), static_cast<int32_t>(bytes.size()), afterWrite,
                                             replyLength, allowDuplicate));
    };
    switch (code) {
        case 500:
            queue({kVersionRequest}, 100, 5, false);
            break;
        case 501:
        case 503: {
            const auto display = CXL::EncodeShared(text, code == 501 ? 0 : 1);
            std::vector<uint8_t> bytes{kClockText, 0x0B};
            bytes.insert(bytes.end(), display.begin(), display.end());
            bytes.push_back(0x00);
            queue(std::move(bytes), number + 90, 5, true);
            break;
        }
        case 502:
            queue({kClockText, 0x02, 0x03, 0x03, 0x00}, 100, 5, false);
            break;
        case 504:
            UserCommand(501, "bUSY", 0);
            queue({kMemoryRequest}, 10000, kMemoryReplyLength, false);
            break;
        default:
            break;
    }
}

void CQVRSingleBoardProtocol::SendCommand(uint8_t command, int32_t wait, int32_t afterWrite, int32_t replyLength,
                                          bool allowDuplicate) {
    Send(wait, &command, 1, afterWrite, replyLength, allowDuplicate);
}

int32_t CQVRSingleBoardProtocol::OnData(const uint8_t* bytes, int32_t length) {
    if (!bytes || length <= 0) return 0;
    RaiseProtocolEvent(EventCode::RawReceived, bytes, length);
    for (int32_t i = 0; i < length; ++i) {
        if (rx_.Push(bytes[i])) {
            // The rest of this delivery is dropped: the reply is complete.
            HandleMessage(rx_.Message(), rx_.Length());
            return ReplyComplete;
        }
    }
    return 0;
}

bool CQVRSingleBoardProtocol::CheckMessage(const uint8_t* msg, int32_t length) {
    if (length < 3) {
        RaiseCheckError("ERROR: message length to short");
        return false;
    }
    if (!(msg[0] & 0x80)) {
        RaiseCheckError("ERROR: message bit not set");
        return false;
    }
    if (msg[1] * 128 + msg[2] != length) {
        RaiseCheckError("ERROR: length not match");
        return false;
    }
    return true;
}

void CQVRSingleBoardProtocol::HandleMessage(const uint8_t* msg, int32_t length) {
    CQVRBoard* board = First();
    if (!CheckMessage(msg, length)) {
        ++badMessages;
        if (board) ++board->errors;
        return;
    }
    ++acceptedMessages;
    answeringBoard = board;
    if (board) {
        ++board->packets;
        board->RaiseEvent(EventCode::PacketReceived, "packet received");
    }
    switch (msg[0] & 0x7F) {
        case kBoardDump:
            if (board) board->ApplyBoardDump(msg, length, kPayload);
            break;
        case kClockTimes:
            if (board) board->ApplyClockTimes(msg, length, kPayload);
            break;
        case kFieldUpdate:
            if (board) board->ApplyFieldUpdate(msg, length, kPayload);
            break;
        case kMemoryDump:
            RaiseProtocolEvent(EventCode::MemoryDump, "EEMOVES");
            UserCommand(502, "", 0);
            if (board) board->ApplyMemoryDump(msg, length, kPayload);
            break;
        case kBusAddress:
            if (!board) {
                board = AddBoard(0);
                ++board->packets;
                board->RaiseEvent(EventCode::PacketReceived, "packet received");
            }
            if (board->SetBusAddress(msg, length)) {
                RaiseProtocolEvent(EventCode::NewBoardFound, "NEW BOARD FOUND");
                board->RaiseEvent(EventCode::BoardFound, "");
            }
            break;
        case kVersion:
            if (board) board->ApplyVersion(msg, length, kPayload);
            break;
        default:
            break;
    }
    rx_.Handled();
    RunPoll();
}

void CQVRSingleBoardProtocol::OnReplyTimeout() {
    RaiseProtocolEvent(EventCode::StatusLine, "protocol.single: timeout occured");
    if (answeringBoard) {
        ++answeringBoard->errors;
        ++answeringBoard->timeouts;
        answeringBoard->RaiseEvent(EventCode::BoardError, "TIMEOUT");
        answeringBoard = nullptr;
    }
    RunPoll();
}

void CQVRSingleBoardProtocol::RunPoll() {
    while (PollStep()) {
    }
}

void CQVRSingleBoardProtocol::RemoveBoards() {
    answeringBoard = nullptr;
    RemoveAllBoards();
}

bool CQVRSingleBoardProtocol::PollStep() {
    const CQVRBoard* board = First();
    const bool addressed = board && board->busAddress != 0;
    if (pollState == kStateReset) {
        pollState = kStateAddress;
        RemoveBoards();
        SendCommand(kReset, 0, -100, 0, true);
        return false;
    }
    if (pollState == kStateAddress) {
        pollState = kStateDumps;
        SendCommand(kAddressRequest, 0, 100, 5, true);
        preWait = kPollPreWait;
        return false;
    }
    if (pollState == kStateDumpsEnd) pollState = kStateClock;
    if (pollState >= kStateDumps && pollState < kStateDumpsEnd) {
        if (!addressed) {
            pollState = kStateAddress;
            return true;
        }
        ++pollState;
        SendCommand(kDumpRequest, preWait, 300, kDumpReplyLength, false);
        SendOldestUserCommand();
        return false;
    }
    if (pollState == kStateClock) {
        if (!addressed) {
            pollState = kStateAddress;
            return true;
        }
        pollState = kStateDumps;
        SendCommand(kClockRequest, preWait, 200, 10, false);
        SendOldestUserCommand();
        return false;
    }
    return false;
}

}  // namespace QVRProjects
