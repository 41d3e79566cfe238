#include "boards/board.h"

#include <cstring>

#include "boards/board_log.h"
#include "platform/tick.h"

namespace QVRProjects {
namespace {

constexpr std::string_view kUpdate = "UPDATE";
constexpr std::string_view kTime = "BWTIME";

// Board dump lengths: header, 50 squares, check byte.
constexpr int32_t kCableDumpLength = 53, kCableOffset = 3;
constexpr int32_t kBusDumpLength = 56, kBusOffset = 5;

// A clock that shows 10 in an hour nibble sends no usable times.
constexpr uint8_t kNoTimeHours = 10;
// Status bit: no clock connected.
constexpr uint32_t kNoClock = 0x20;

uint32_t Bcd(uint8_t b) { return ((b & 0x70u) >> 4) * 10 + (b & 0x0Fu); }

bool HasPayload(const uint8_t* msg, int32_t length, int32_t offset, int32_t bytes) {
    return msg != nullptr && offset >= 0 && length >= 0 && offset <= length - bytes;
}

}  // namespace

CQVRBoard::CQVRBoard(uint32_t address, CQVR_EventHandler onEvent)
    : TPosSequences(this), events(std::move(onEvent)), rateTick(platform::TickCount()), busAddress(address) {}

int CQVRBoard::CellOfSquare(int n) {
    if (n < 0 || n >= kSquares) return -1;
    const int row = n / 5;
    const int col = row % 2 == 0 ? 2 * (n % 5) + 1 : 2 * (n % 5);
    return row * 10 + col;
}

void CQVRBoard::RaiseEvent(int32_t code, std::string_view text) {
    events.Raise(code, this, owner, text);
}

bool CQVRBoard::SetBusAddress(const uint8_t* msg, int32_t length) {
    if (msg == nullptr || length < 5) return false;
    const bool first = busAddress == 0;
    busAddress = (msg[3] & 0x7Fu) * 128 + (msg[4] & 0x7Fu);
    return first;
}

bool CQVRBoard::ApplyVersion(const uint8_t* msg, int32_t length, int32_t offset) {
    if (length < 5 || !HasPayload(msg, length, offset, 2) || versionMajor != 0) return false;
    versionMajor = msg[offset] & 0x7Fu;
    versionMinor = msg[offset + 1] & 0x7Fu;
    RaiseEvent(EventCode::Version, "VERSION");
    return true;
}

bool CQVRBoard::StoreTime(uint8_t hourByte, uint8_t minuteByte, uint8_t secondByte, uint32_t& flags,
                          uint32_t& hours, uint32_t& minutes, uint32_t& seconds) {
    const uint32_t newFlags = hourByte >> 3, newHours = hourByte & 0x0Fu;
    const uint32_t newMinutes = Bcd(minuteByte), newSeconds = Bcd(secondByte);
    bool changed = newFlags != flags || newHours != hours || newMinutes != minutes;
    // Seconds only matter in the last twenty minutes of a clock.
    if (newSeconds != seconds && newMinutes < 20 && newHours < 1) changed = true;
    flags = newFlags;
    hours = newHours;
    minutes = newMinutes;
    seconds = newSeconds;
    return changed;
}

bool CQVRBoard::ApplyClockTimes(const uint8_t* msg, int32_t length, int32_t offset) {
    if (!HasPayload(msg, length, offset, 7)) return false;
    const uint8_t* p = msg + offset;
    if ((p[0] & 0x0F) == kNoTimeHours || (p[3] & 0x0F) == kNoTimeHours) return false;
    bool raised = false;
    const uint32_t status = p[6] & 0x7Fu;
    if (status != clockStatus) {
        clockStatus = status;
        RaiseEvent(EventCode::ClockStatus, kTime);
        raised = true;
    }
    if ((status & kNoClock) != 0) return raised;
    if (StoreTime(p[0], p[1], p[2], clock1Flags, clock1Hours, clock1Minutes, clock1Seconds)) {
        RaiseEvent(EventCode::FirstTime, kTime);
        raised = true;
    }
    if (StoreTime(p[3], p[4], p[5], clock2Flags, clock2Hours, clock2Minutes, clock2Seconds)) {
        RaiseEvent(EventCode::SecondTime, kTime);
        raised = true;
    }
    return raised;
}

void CQVRBoard::RecordChange() {
    ++updates;
    AddPosition(squares);
    RaiseEvent(EventCode::PositionUpdate, kUpdate);
}

bool CQVRBoard::ApplyBoardDump(const uint8_t* msg, int32_t length, int32_t offset) {
    CQVRBoardLog::Append(CQVRBoardLog::RecordNow(busAddress, squares));
    const bool exact = (length == kCableDumpLength && offset == kCableOffset) ||
                       (length == kBusDumpLength && offset == kBusOffset);
    if (msg == nullptr || !exact) return false;
    bool changed = false;
    for (int n = 0; n < kSquares; ++n) {
        const auto v = static_cast<int8_t>(msg[offset + n] & 0x0F);
        int8_t& square = squares[CellOfSquare(n)];
        if (square != v) {
            square = v;
            changed = true;
        }
    }
    if (changed) RecordChange();
    return changed;
}

bool CQVRBoard::ApplyFieldUpdate(const uint8_t* msg, int32_t length, int32_t offset) {
    if (!HasPayload(msg, length, offset, 2)) return false;
    const int cell = msg[offset] & 0x7F;
    const auto v = static_cast<int8_t>(msg[offset + 1] & 0x0F);
    if (cell >= kCells || squares[cell] == v) return false;
    squares[cell] = v;
    RecordChange();
    return true;
}

void CQVRBoard::SetStartPosition() {
    std::memset(squares, 0, sizeof squares);
    // Black men on squares 1-20 (rows 0-3), white men on squares 31-50 (rows 6-9).
    for (int n = 0; n < 20; ++n) squares[CellOfSquare(n)] = PieceCode::BlackMan;
    for (int n = 30; n < kSquares; ++n) squares[CellOfSquare(n)] = PieceCode::WhiteMan;
}

bool CQVRBoard::ApplyMemoryDump(const uint8_t* msg, int32_t length, int32_t offset) {
    memoryRequested = 0;
    if (msg == nullptr || offset < 0) return false;
    // The last byte of the message is its check byte, not an entry.
    const int32_t end = length - 1;
    bool changed = false;
    int32_t i = offset;
    while (i < end) {
        const int c = msg[i] & 0x7F;
        if (c >= 0x40 && c <= 0x5F) {
            if (i + 1 >= end) break;
            const int cell = msg[i + 1] & 0x7F;
            i += 2;
            if (cell >= kCells) continue;
            squares[cell] = static_cast<int8_t>(c & 0x0F);
            RecordChange();
            changed = true;
        } else if ((c >= 0x60 && c <= 0x69) || (c >= 0x70 && c <= 0x79)) {
            if (i + 2 >= end) break;
            const bool first = c < 0x70;
            (first ? clock1Hours : clock2Hours) = c & 0x0Fu;
            (first ? clock1Minutes : clock2Minutes) = Bcd(msg[i + 1]);
            (first ? clock1Seconds : clock2Seconds) = Bcd(msg[i + 2]);
            i += 3;
            RaiseEvent(first ? EventCode::FirstTime : EventCode::SecondTime, kTime);
            changed = true;
        } else if (c == 0x6A || c == 0x6D) {
            ++i;
            std::memset(squares, 0, sizeof squares);
            RecordChange();
            changed = true;
        } else if (c == 0x6F) {
            ++i;
            SetStartPosition();
            RecordChange();
            changed = true;
        } else {
            ++i;
        }
    }
    return changed;
}

}  // namespace QVRProjects
