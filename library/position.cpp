#include "library/position.h"

#include <algorithm>
#include <ostream>

#include "library/moves_generator.h"

namespace dam {

Position::Position() {
  cells.fill(off_board);
  for (int s = 1; s <= 50; ++s) cells[square_to_cell(s)] = empty_square;
}

int Position::piece_count() const {
  int n = 0;
  for (int s = 1; s <= 50; ++s) n += piece(s) != empty_square;
  return n;
}

std::vector<Move> Position::generate_moves() const { return MovesGenerator(*this).GenerateMoves(); }

void Position::make_move(const Move& m) {
  set_piece(m.from, empty_square);
  for (const auto& c : m.captures) set_piece(c.first, empty_square);
  set_piece(m.to, m.result);
  white_to_move = !white_to_move;
}

void Position::unmake_move(const Move& m) {
  set_piece(m.to, empty_square);
  set_piece(m.from, m.piece);
  for (const auto& c : m.captures) set_piece(c.first, c.second);
  white_to_move = !white_to_move;
}

std::ostream& operator<<(std::ostream& out, const Position& p) { return out << board_printer::print(p); }

Position initial_position() {
  Position p;
  for (int s = 1; s <= 20; ++s) p.set_piece(s, black_man);
  for (int s = 31; s <= 50; ++s) p.set_piece(s, white_man);
  return p;
}

std::string board_printer::print(const Position& p) {
  std::string text;
  text.reserve(51);
  for (int s = 1; s <= 50; ++s) text += piece_char(p.piece(s));
  text += p.white_to_move ? 'W' : 'B';
  return text;
}

Position string2position(const std::string& text) {
  Position p;
  p.white_to_move = text.find('W') != std::string::npos;
  int square = 1;
  for (char c : text) {
    if (square > 50) break;
    if (c == 'W' || c == 'Z' || c == 'B' || c == ' ' || c == '\t' || c == '\n' || c == '\r' ||
        c == '\v' || c == '\f')
      continue;
    p.set_piece(square++, char_piece(c));
  }
  return p;
}

}  // namespace dam
