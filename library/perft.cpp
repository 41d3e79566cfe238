#include "library/perft.h"

namespace dam {

std::vector<Move> distinct_moves(std::vector<Move> moves) {
  std::vector<Move> result;
  result.reserve(moves.size());
  for (auto& m : moves) {
    bool seen = false;
    // Moves come ordered by origin and destination, so a duplicate sits in the run just before.
    for (auto it = result.rbegin(); it != result.rend() && it->from == m.from && it->to == m.to; ++it)
      if (*it == m) {
        seen = true;
        break;
      }
    if (!seen) result.push_back(std::move(m));
  }
  return result;
}

std::uint64_t perft_array(const Position& p, int depth) {
  if (depth <= 0) return 1;
  const auto moves = distinct_moves(p.generate_moves());
  if (depth == 1) return moves.size();
  std::uint64_t leaves = 0;
  Position child = p;
  for (const auto& m : moves) {
    child.make_move(m);
    leaves += perft_array(child, depth - 1);
    child.unmake_move(m);
  }
  return leaves;
}

}  // namespace dam

namespace dam {

namespace {

// The side is a template argument and the sets travel in registers: no copy of a
// position goes through memory on the way down.
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

}  // namespace

std::uint64_t bitboard_perft::run(const bitboard& p, int depth) {
  if (depth <= 0) return 1;
  if (generators_.size() < static_cast<std::size_t>(depth) + 1) generators_.resize(depth + 1);
  return p.white_to_move ? perft_walk<true>(generators_.data(), p.white, p.black, p.kings, depth)
                         : perft_walk<false>(generators_.data(), p.black, p.white, p.kings, depth);
}

std::uint64_t perft_bitboard(const bitboard& p, int depth) { return bitboard_perft().run(p, depth); }

}  // namespace dam
