#pragma once

#include <cstdint>

#include "library/bitboard.h"

namespace dam {

// Whether this processor has the popcount instruction (and this build a perft for it).
bool popcount_instruction_available();

// The bitboard perft built for the popcount instruction; depth 1 or more. Only
// call it where popcount_instruction_available() says so.
std::uint64_t perft_with_popcount(const bitboard& p, int depth);

}  // namespace dam
