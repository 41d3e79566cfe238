#include "library/piece.h"

namespace dam {

char piece_char(Piece p) {
  switch (p) {
    case white_man: return 'o';
    case black_man: return 'x';
    case white_king: return 'O';
    case black_king: return 'X';
    case empty_square: return '.';
    default: return '?';
  }
}

Piece char_piece(char c) {
  switch (c) {
    case 'o': return white_man;
    case 'x': return black_man;
    case 'O': return white_king;
    case 'X': return black_king;
    default: return empty_square;
  }
}

}  // namespace dam
