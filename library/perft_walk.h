#pragma once

#include <cstdint>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"

namespace dam {
inline namespace RUMO_ISA_NAMESPACE {

// The side is a template argument and the sets travel in registers: no copy of a
// position goes through memory on the way down. One generator per ply.
template <bool White>
std::uint64_t perft_walk(bitboard_move_generator* generators, std::uint64_t own, std::uint64_t opp,
                         std::uint64_t kings, int depth) {
  auto& generator = generators[depth];
  const bitboard p{White ? own : opp, White ? opp : own, kings, White};
  if (depth == 1) return generator.count_moves(p);
  generator.generate_unordered(p);
  constexpr std::uint64_t far_row = White ? white_promotion_row : black_promotion_row;
  const std::uint64_t occupied = own | opp;
  std::uint64_t leaves = 0;
  for (const std::uint64_t mask : generator.moves()) {
    const std::uint64_t from = mask & own;
    std::uint64_t to = mask & ~occupied;
    if (to == 0) to = from;
    const std::uint64_t captured = mask & opp;
    std::uint64_t child_kings = kings & ~(from | captured);
    if ((kings & from) || (to & far_row)) child_kings |= to;
    leaves += perft_walk<!White>(generators, opp & ~captured, (own & ~from) | to, child_kings, depth - 1);
  }
  return leaves;
}

// `generators` holds depth + 1 generators at least; depth is 1 or more.
inline std::uint64_t perft_walk(bitboard_move_generator* generators, const bitboard& p, int depth) {
  return p.white_to_move ? perft_walk<true>(generators, p.white, p.black, p.kings, depth)
                         : perft_walk<false>(generators, p.black, p.white, p.kings, depth);
}

}  // inline namespace
}  // namespace dam
