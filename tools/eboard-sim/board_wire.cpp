#include "tools/eboard-sim/board_wire.h"

#include <algorithm>

namespace eboardsim {

namespace {

void PutLength(Bytes& message) {
    const size_t length = message.size();
    message[1] = static_cast<uint8_t>((length >> 7) & 0x7F);
    message[2] = static_cast<uint8_t>(length & 0x7F);
}

}  // namespace

Bytes SingleMessage(uint8_t id, const Bytes& payload) {
    Bytes message(3 + payload.size());
    message[0] = static_cast<uint8_t>(0x80 | id);
    std::copy(payload.begin(), payload.end(), message.begin() + 3);
    PutLength(message);
    return message;
}

Bytes BusMessage(uint8_t id, int address, const Bytes& payload) {
    Bytes message(6 + payload.size());
    message[0] = static_cast<uint8_t>(0x80 | id);
    message[3] = static_cast<uint8_t>((address >> 7) & 0x7F);
    message[4] = static_cast<uint8_t>(address & 0x7F);
    std::copy(payload.begin(), payload.end(), message.begin() + 5);
    PutLength(message);
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < message.size(); ++i) sum += message[i];
    message.back() = static_cast<uint8_t>(sum & 0x7F);
    return message;
}

bool BusCommandValid(const uint8_t command[4]) {
    return ((command[0] + command[1] + command[2]) & 0x7F) == (command[3] & 0x7F);
}

int BusCommandAddress(const uint8_t command[4]) { return ((command[1] & 0x7F) << 7) | (command[2] & 0x7F); }

uint8_t Bcd(int value) {
    if (value < 0) value = 0;
    if (value > 79) value = 79;
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

int CellOfSquare(int square) {
    const int n = square - 1;
    const int row = n / 5;
    const int column = (row % 2 == 0) ? 2 * (n % 5) + 1 : 2 * (n % 5);
    return row * 10 + column;
}

}  // namespace eboardsim
