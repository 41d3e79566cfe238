#include "library/bitboard.h"

#include <cctype>
#include <ostream>

namespace dam {

std::ostream& operator<<(std::ostream& out, const bitboard& b) { return out << to_position(b); }

bitboard to_bitboard(const Position& p) {
  bitboard b;
  for (int s = 1; s <= 50; ++s) {
    const Piece piece = p.piece(s);
    const std::uint64_t bit = square_mask(s);
    if (is_white(piece)) b.white |= bit;
    if (is_black(piece)) b.black |= bit;
    if (is_king(piece)) b.kings |= bit;
  }
  b.white_to_move = p.white_to_move != 0;
  return b;
}

Position to_position(const bitboard& b) {
  Position p;
  for (int s = 1; s <= 50; ++s) {
    const std::uint64_t bit = square_mask(s);
    const bool king = (b.kings & bit) != 0;
    if (b.white & bit) p.set_piece(s, king ? white_king : white_man);
    if (b.black & bit) p.set_piece(s, king ? black_king : black_man);
  }
  p.white_to_move = b.white_to_move;
  return p;
}

bitboard string2bitboard(const std::string& text) {
  bitboard b;
  b.white_to_move = text.find('W') != std::string::npos;
  int square = 1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (square > 50) break;
    const std::uint64_t bit = square_mask(square++);
    if (c == 'o' || c == 'O') b.white |= bit;
    if (c == 'x' || c == 'X') b.black |= bit;
    if (c == 'O' || c == 'X') b.kings |= bit;
  }
  return b;
}

}  // namespace dam
