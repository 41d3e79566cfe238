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
  // Runs the copy built for the popcount instruction where the processor has it,
  // unless told not to.
  explicit bitboard_perft(bool allow_popcount_instruction = true)
      : allow_popcount_instruction_(allow_popcount_instruction) {}

  std::uint64_t run(const bitboard& p, int depth);

 private:
  bool allow_popcount_instruction_;
  std::vector<bitboard_move_generator> generators_;
};

std::uint64_t perft_bitboard(const bitboard& p, int depth);

}  // namespace dam
