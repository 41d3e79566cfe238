#pragma once
// Depth-first search over lines of legal moves that explain observed board
// events, keeping every candidate of the lowest score.

#include <cstdint>
#include <vector>

#include "library/match_result.h"
#include "library/position.h"

namespace dam {

class path_selector {
 public:
  path_selector(const Position& position, std::vector<indexed_event> board_events);

  // Searches the lines of exactly `max_depth` moves. Results accumulate over
  // runs: a run with a greater depth adds to the list or replaces it only
  // with candidates that score at least as well.
  void run();

  int max_depth = 1;
  std::vector<match_result> results;
  // Search nodes visited by the last run: the deterministic measure of its cost.
  std::uint64_t nodes = 0;

 private:
  void search();
  void consider_candidate();
  bool explains_some_board_event(const Move& move) const;

  Position position_;
  match_result current_;
};

}  // namespace dam
