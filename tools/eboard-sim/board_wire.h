// Byte layouts that an e-board puts on the wire, and the bus command check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace eboardsim {

using Bytes = std::vector<uint8_t>;

// Message ids the simulated boards send.
enum MessageId : uint8_t {
    kBusClock = 4,
    kBusMoves = 5,
    kBusMovesResent = 6,
    kSingleDump = 6,
    kAcknowledge = 7,
    kBusDump = 10,
    kSingleClock = 13,
    kSingleMemory = 15,
    kSingleAddress = 16,
    kSingleVersion = 19,
};

// Cable framing: start byte, 14-bit total length, payload.
Bytes SingleMessage(uint8_t id, const Bytes& payload);

// Bus framing: start byte, 14-bit total length, 14-bit sender address,
// payload, checksum over everything before it.
Bytes BusMessage(uint8_t id, int address, const Bytes& payload);

// Four-byte host command: command, address high, address low, checksum.
bool BusCommandValid(const uint8_t command[4]);
int BusCommandAddress(const uint8_t command[4]);

uint8_t Bcd(int value);

// Cell index (row * 10 + column) of square 1..50.
int CellOfSquare(int square);

}  // namespace eboardsim
