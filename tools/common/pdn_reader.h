#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "library/move.h"
#include "library/position.h"

namespace rumo_tools {

// One game of a PDN file, its moves resolved against the move generator.
struct PdnGame {
  std::vector<std::pair<std::string, std::string>> tags;  // in file order
  dam::Position start = dam::initial_position();  // from the FEN tag, else the initial position
  std::vector<dam::Move> moves;                           // the main line, legal moves only
  std::string result;                                     // "1-0", "2-0", "*", ... or empty
  std::string error;  // why reading stopped early (illegal or ambiguous move, bad FEN); empty when whole
  int first_line = 0;  // line of the file where the game starts

  // The value of a tag, or "" when the game has none.
  std::string tag(const std::string& name) const;
  // The position after the first `ply` moves (all of them by default).
  dam::Position position_after(std::size_t ply = static_cast<std::size_t>(-1)) const;
};

// Reads every game of a PDN text. Comments, variations, NAGs and move numbers are
// skipped; moves such as "32-28", "19x30", "47x38x24" and "1- 7" are matched to
// the legal moves. Never throws on bad input: a game that cannot be read whole
// keeps its moves up to the fault and says why in `error`.
std::vector<PdnGame> read_pdn(const std::string& text);
// Same for a file; throws std::runtime_error when the file cannot be opened.
std::vector<PdnGame> read_pdn_file(const std::string& path);

// The move as a PDN move text in `position` (where it is legal): "32-28", "19x30",
// with the landing squares ("47x38x24") only where the short form is ambiguous.
std::string pdn_move_text(const dam::Position& position, const dam::Move& move);

// The moves as numbered PDN movetext: "1. 32-28 17-22 2. 28x17 ..." ("1... 17-22" when
// black starts). `moves` must be legal from `start`.
std::string write_pdn_moves(const dam::Position& start, const std::vector<dam::Move>& moves);

// Finds the legal move in `position` that the squares of a PDN move text name: origin,
// the landing (or else captured) squares written between, destination. Reports an
// error instead when no legal move or more than one fits.
struct MoveMatch {
  dam::Move move;
  std::string error;
};
MoveMatch match_pdn_move(const dam::Position& position, const std::vector<int>& squares);

}  // namespace rumo_tools
