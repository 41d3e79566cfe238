#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace QVRProjects {

class CQVRBoard;
class CQVRBoardProtocol;
class CQVR_Event_Data;

// Codes of the events that boards, protocols and port owners raise.
namespace EventCode {
constexpr int32_t BoardFound = 100;      // bus address learnt for a new board
constexpr int32_t SecondTime = 101;      // clock: second time changed
constexpr int32_t FirstTime = 102;       // clock: first time changed
constexpr int32_t ClockStatus = 103;     // clock status flags changed
constexpr int32_t PositionUpdate = 104;  // squares changed
constexpr int32_t BoardError = 105;      // board error or time-out
constexpr int32_t BoardRemoved = 106;    // board about to be deleted: drop references to it
constexpr int32_t PacketReceived = 107;  // accepted message
constexpr int32_t Version = 108;         // version learnt
constexpr int32_t StatusLine = 300;
constexpr int32_t SerialError = 301;
constexpr int32_t RawReceived = 302;
constexpr int32_t RawWritten = 303;
constexpr int32_t NewBoardFound = 304;
constexpr int32_t MemoryDump = 305;
}  // namespace EventCode

// The receiver of events; empty means unbound.
using CQVR_EventHandler = std::function<void(CQVR_Event_Data*)>;

// One event, reused for every event its owner raises. Handlers run inside the
// event lock on the raising thread and must copy what they keep.
class CQVR_Event_Data {
public:
    static constexpr int32_t kTextCapacity = 16384;     // with the closing NUL
    static constexpr int32_t kMaxLength = kTextCapacity - 1;

    int32_t code = 0;
    CQVRBoard* board = nullptr;
    CQVRBoardProtocol* protocol = nullptr;
    CQVR_EventHandler onEvent;
    char text[kTextCapacity] = {};
    int32_t length = 0;

    CQVR_Event_Data() = default;
    explicit CQVR_Event_Data(CQVR_EventHandler handler) : onEvent(std::move(handler)) {}

    // Copies length bytes (zero bytes included); longer input is cut at
    // kMaxLength bytes, a negative length or no data counts as empty.
    void Build(int32_t eventCode, CQVRBoard* eventBoard, CQVRBoardProtocol* eventProtocol,
               const void* data, int32_t dataLength);
    void Build(int32_t eventCode, CQVRBoard* eventBoard, CQVRBoardProtocol* eventProtocol,
               std::string_view data);

    // Calls onEvent inside the event lock; without a handler nothing happens.
    void Deliver();

    void Raise(int32_t eventCode, CQVRBoard* eventBoard, CQVRBoardProtocol* eventProtocol,
               std::string_view data) {
        Build(eventCode, eventBoard, eventProtocol, data);
        Deliver();
    }

    std::string_view Text() const { return {text, static_cast<size_t>(length)}; }
};

}  // namespace QVRProjects
