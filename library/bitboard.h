#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "library/position.h"

namespace dam {

// The position as bit sets: bit b of square s is b = (s - 1) + (s - 1) / 10, so a
// diagonal step is a shift by 5 or 6 and a step off the board lands on a bit
// outside board_mask.
struct bitboard {
  std::uint64_t white = 0;
  std::uint64_t black = 0;
  std::uint64_t kings = 0;  // kings of both colours; each also in its colour's set
  bool white_to_move = true;

  friend bool operator==(const bitboard&, const bitboard&) = default;
};

constexpr std::uint64_t non_board_mask = 0xFFC0080100200400ULL;
constexpr std::uint64_t board_mask = ~non_board_mask;
constexpr std::uint64_t white_promotion_row = 0x1FULL;          // squares 1-5
constexpr std::uint64_t black_promotion_row = 0x1FULL << 49;    // squares 46-50

constexpr int square_bit(int s) { return (s - 1) + (s - 1) / 10; }
constexpr int bit_square(int b) { return (b + 1) - (b + 1) / 11; }
constexpr std::uint64_t square_mask(int s) { return 1ULL << square_bit(s); }

std::ostream& operator<<(std::ostream& out, const bitboard& b);

bitboard to_bitboard(const Position& p);
Position to_position(const bitboard& b);

// Blanks removed; character k describes square k + 1 ("o", "x", "O", "X"; anything
// else leaves it empty); white is to move exactly when the text holds a "W".
bitboard string2bitboard(const std::string& text);

// Makes a move given as a mask of origin, destination and captured pieces: the
// captured pieces leave both their colour set and the kings, the mover moves (and
// is crowned on its far row), and the side flips. A mask without a destination bit
// is a capture that ends on its origin.
inline void apply_move_mask(bitboard& p, std::uint64_t mask) {
  std::uint64_t& own = p.white_to_move ? p.white : p.black;
  std::uint64_t& opp = p.white_to_move ? p.black : p.white;
  const std::uint64_t from = mask & own;
  std::uint64_t to = mask & ~(p.white | p.black);
  if (to == 0) to = from;
  const std::uint64_t captured = mask & opp;
  const bool king = (p.kings & from) != 0;
  own = (own & ~from) | to;
  opp &= ~captured;
  p.kings &= ~(from | captured);
  if (king || (to & (p.white_to_move ? white_promotion_row : black_promotion_row))) p.kings |= to;
  p.white_to_move = !p.white_to_move;
}

}  // namespace dam
