#pragma once

#include <cstdint>

namespace dam {

// The values are stored in board cells and in moves; keep them stable.
enum Piece : std::int32_t {
  white_man = 0,
  black_man = 1,
  white_king = 2,
  black_king = 3,
  empty_square = 4,
  off_board = 255
};

constexpr bool is_piece(std::int32_t p) { return p >= white_man && p <= black_king; }
constexpr bool is_white(Piece p) { return p == white_man || p == white_king; }
constexpr bool is_black(Piece p) { return p == black_man || p == black_king; }
constexpr bool is_king(Piece p) { return p == white_king || p == black_king; }
constexpr Piece king_of(Piece p) { return p == white_man ? white_king : p == black_man ? black_king : p; }

// "o", "x", "O", "X", "." for the cell values 0-4; "?" for anything else.
char piece_char(Piece p);

// The piece of a character; "." and "-" (and anything unknown) give empty_square.
Piece char_piece(char c);

}  // namespace dam
