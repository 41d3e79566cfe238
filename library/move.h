#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "library/piece.h"

namespace dam {

struct Move {
  int from = 0;
  Piece piece = white_man;
  int to = 0;
  Piece result = white_man;
  // Captured squares with the piece found there, in capture order.
  std::vector<std::pair<int, Piece>> captures;
  // Landing squares between `from` and `to` of a multiple capture.
  std::vector<int> via;

  bool is_capture() const { return !captures.empty(); }
  // "32-28" or "19x30".
  std::string notation() const;
};

// Same from, to and set of captured squares; piece kinds and routes are not compared.
bool operator==(const Move& a, const Move& b);

// A line item of a game score: "  1. 32-28" for white, "     19-24" for black.
std::string move_notation(const Move& m, int number);

// The captured squares, sorted.
std::vector<int> captured_squares(const Move& m);

std::ostream& operator<<(std::ostream& out, const Move& m);

}  // namespace dam
