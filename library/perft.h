#pragma once

#include <cstdint>
#include <vector>

#include "library/move.h"
#include "library/position.h"

namespace dam {

// The legal moves with captures that differ only in their route kept once.
std::vector<Move> distinct_moves(std::vector<Move> moves);

// Leaves of the move tree at `depth` plies, route duplicates counted once,
// with the array generator.
std::uint64_t perft_array(const Position& p, int depth);

}  // namespace dam
