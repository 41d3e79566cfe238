#include "library/perft.h"

#include "library/perft_popcount.h"
#include "library/perft_walk.h"

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

std::uint64_t bitboard_perft::run(const bitboard& p, int depth) {
  if (depth <= 0) return 1;
  if (generators_.size() < static_cast<std::size_t>(depth) + 1) generators_.resize(depth + 1);
  if (allow_popcount_instruction_ && popcount_instruction_available()) return perft_with_popcount(p, depth);
  return perft_walk(generators_.data(), p, depth);
}

std::uint64_t perft_bitboard(const bitboard& p, int depth) { return bitboard_perft().run(p, depth); }

}  // namespace dam
