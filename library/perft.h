#pragma once

#include <cstdint>
#include <vector>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/move.h"
#include "library/position.h"

namespace dam {

// The legal moves with captures that differ only in their route kept once.
std::vector<Move> distinct_moves(std::vector<Move> moves);

// Leaves of the move tree at `depth` plies, route duplicates counted once,
// with the array generator.
std::uint64_t perft_array(const Position& p, int depth);

// The same with the bitboard generator; the last ply is counted without making
// the moves. Keeps one generator per ply, so repeated runs do not allocate.
class bitboard_perft {
 public:
  std::uint64_t run(const bitboard& p, int depth);

 private:
  std::uint64_t walk(const bitboard& p, int depth);
  std::vector<bitboard_move_generator> generators_;
};

std::uint64_t perft_bitboard(const bitboard& p, int depth);

}  // namespace dam
