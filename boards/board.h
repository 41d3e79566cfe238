#pragma once

#include <cstdint>
#include <string_view>

#include "boards/event_data.h"
#include "boards/positions.h"

class TAE_Object;

namespace QVRProjects {

class CQVRBoardProtocol;

// Piece codes of the board's squares.
namespace PieceCode {
constexpr int8_t Empty = 0;
constexpr int8_t WhiteMan = 1;
constexpr int8_t BlackMan = 4;
constexpr int8_t WhiteKing = 7;
constexpr int8_t BlackKing = 10;
}  // namespace PieceCode

// The picture of one e-board as it last reported itself. The protocols hand
// it whole messages (msg, total length, payload offset: 3 on a single cable,
// 5 on a bus); every Apply returns whether something changed.
class CQVRBoard : public TPosSequences {
public:
    static constexpr int kCells = 100;
    static constexpr int kSquares = 50;

    CQVRBoardProtocol* owner = nullptr;
    CQVR_Event_Data events;
    uint8_t busCommand[4] = {};
    uint32_t updates = 0;
    uint32_t rateTick = 0;
    uint32_t rateBase = 0;
    int8_t squares[kCells] = {};  // row * 10 + column, row 0 at the top
    TAE_Object* treeObject = nullptr;
    uint32_t errors = 0;
    uint32_t timeouts = 0;
    uint32_t busAddress = 0;
    uint32_t clockStatus = 0;
    uint32_t clock2Flags = 0, clock2Hours = 0, clock2Minutes = 0, clock2Seconds = 0;
    uint32_t clock1Flags = 0, clock1Hours = 0, clock1Minutes = 0, clock1Seconds = 0;
    uint32_t busState = 0;
    uint32_t versionMajor = 0, versionMinor = 0;
    uint32_t packets = 0;
    uint8_t memoryRequested = 0;
    uint8_t fromStartRequested = 0;
    uint8_t writeTagRequested = 0;
    uint8_t clockCountdown = 1;
    uint8_t clocksSwapped = 0;
    uint8_t nodeBytes[6] = {};

    CQVRBoard(uint32_t address, CQVR_EventHandler onEvent);

    CQVRBoard(const CQVRBoard&) = delete;
    CQVRBoard& operator=(const CQVRBoard&) = delete;

    // Cell of square index n (0-49; square n + 1), or -1 outside.
    static int CellOfSquare(int n);

    // Builds the board event (with owner as protocol) and delivers it.
    void RaiseEvent(int32_t code, std::string_view text);

    // Address from msg[3], msg[4]; true while no address was stored before.
    bool SetBusAddress(const uint8_t* msg, int32_t length);
    // Only the first version message counts.
    bool ApplyVersion(const uint8_t* msg, int32_t length, int32_t offset);
    // Payload: first time (3 bytes), second time (3 bytes), status.
    bool ApplyClockTimes(const uint8_t* msg, int32_t length, int32_t offset);
    // Payload: one byte per square; logged always, applied at the exact length only.
    bool ApplyBoardDump(const uint8_t* msg, int32_t length, int32_t offset);
    // Payload: cell, piece.
    bool ApplyFieldUpdate(const uint8_t* msg, int32_t length, int32_t offset);
    // The board's stored history: entries from the payload up to the last byte.
    bool ApplyMemoryDump(const uint8_t* msg, int32_t length, int32_t offset);

private:
    void RecordChange();
    bool StoreTime(uint8_t hourByte, uint8_t minuteByte, uint8_t secondByte, uint32_t& flags, uint32_t& hours,
                   uint32_t& minutes, uint32_t& seconds);
    void SetStartPosition();
};

}  // namespace QVRProjects
