#pragma once

#include <array>
#include <iosfwd>
#include <cstdint>
#include <string>
#include <vector>

#include "library/move.h"
#include "library/piece.h"
#include "library/square.h"

namespace dam {

// The square-array position: 50 playable cells inside a border of off-board cells.
struct Position {
  static constexpr int cell_count = 66;

  std::array<std::int32_t, cell_count> cells;
  std::uint8_t white_to_move = 1;

  // An empty board with white to move.
  Position();

  Piece piece(int square) const { return static_cast<Piece>(cells[square_to_cell(square)]); }
  void set_piece(int square, Piece p) { cells[square_to_cell(square)] = p; }
  bool is_white_to_move() const { return white_to_move != 0; }

  // The number of occupied squares.
  int piece_count() const;

  // Every legal move of the side to move.
  std::vector<Move> generate_moves() const;

  // Origin and captured squares emptied, the result piece placed on `to`, side flipped.
  void make_move(const Move& m);
  // Exact inverse of make_move for the same move.
  void unmake_move(const Move& m);

  friend bool operator==(const Position&, const Position&) = default;
};

// The board text of board_printer::print.
std::ostream& operator<<(std::ostream& out, const Position& p);

// The initial position of a game, white to move.
Position initial_position();

struct board_printer {
  // 50 characters for squares 1-50, then "W" or "B".
  static std::string print(const Position& p);
};

// 50 square characters ("o", "x", "O", "X"; anything else empty) with side letters
// anywhere: white is to move exactly when the text holds a "W".
Position string2position(const std::string& text);

}  // namespace dam
