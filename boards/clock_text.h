#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace QVRProjects {

// Encodes a short text for the two seven-segment displays of a board's clock.
// Text positions 0-4 are the left display ("1", digit, separator, digit,
// digit), 5 the gap, 6-10 the right display.
class CXL {
public:
    using Output = std::array<uint8_t, 10>;

    uint8_t segments[256];  // pattern per character, bit 0 = segment a .. bit 6 = g
    uint8_t digits[11];     // patterns chosen for the last text, per position
    uint8_t output[16];     // the last result; the first ten bytes are sent

    CXL();

    // The ten bytes of the clock's text command; option <= 0 selects mode 1,
    // anything else mode 3.
    Output Encode(std::string_view text, int option);

    // The process-wide encoder, created on first use. Shared encoding is
    // serialized, so ports on different threads may use it together.
    static Output EncodeShared(std::string_view text, int option);
    // Drops the process-wide encoder (board protocols do so when destroyed);
    // the next use creates it again.
    static void ReleaseShared();
};

}  // namespace QVRProjects
