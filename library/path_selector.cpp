#include "library/path_selector.h"

#include <utility>

namespace dam {

path_selector::path_selector(const Position& position, std::vector<indexed_event> board_events)
    : position_(position) {
  current_.board_events = std::move(board_events);
}

void path_selector::run() {
  nodes = 0;
  search();
}

void path_selector::search() {
  ++nodes;
  if (current_.move_count() >= max_depth) {
    consider_candidate();
    return;
  }
  if (current_.board_events.empty()) return;
  for (const Move& move : position_.generate_moves()) {
    // Every move of a candidate must account for something the board showed.
    if (!explains_some_board_event(move)) continue;
    current_.add_move(move);
    position_.make_move(move);
    search();
    position_.unmake_move(move);
    current_.remove_last_move();
  }
}

bool path_selector::explains_some_board_event(const Move& move) const {
  for (const event& e : compute_events(move))
    for (const indexed_event& b : current_.board_events)
      if (matching_event(e, b)) return true;
  return false;
}

void path_selector::consider_candidate() {
  current_.match();
  if (current_.first_moves_swapped) return;
  if (!results.empty()) {
    if (current_.score() > results.front().score()) return;
    if (current_.score() < results.front().score()) results.clear();
  }
  results.push_back(current_);
}

}  // namespace dam
