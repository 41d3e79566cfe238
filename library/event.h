#pragma once
// One change of one square as the board reports it, and the relations the
// matching uses between such changes.

#include <set>
#include <string>
#include <vector>

namespace dam {

struct event {
  int square = 0;      // 1-50
  char piece = '.';    // 'o', 'x', 'O' or 'X': the piece lifted or placed
  bool removed = false;
  double time = 0.0;   // seconds on the server's clock
};

// An event with its place in the game's event list; -1 for events the
// reconstructor makes itself.
struct indexed_event : event {
  int index = -1;

  indexed_event() = default;
  indexed_event(const event& e, int i) : event(e), index(i) {}
};

bool is_white_piece(char piece);

// Same square, same colour, same direction.
bool matching_event(const event& a, const event& b);

// Same square, same colour, opposite direction: one undoes the other.
bool opposite_event(const event& a, const event& b);

// The events that turn one board text into the other, square by square; a
// square whose piece changed yields a removal and then a placement.
std::vector<event> compute_events(const std::string& old_board, const std::string& new_board, double time);

// The list without the entries at the given positions, order kept.
template <typename T>
std::vector<T> remove_indices(const std::vector<T>& list, const std::set<int>& positions) {
  std::vector<T> kept;
  kept.reserve(list.size());
  for (int i = 0; i < static_cast<int>(list.size()); ++i)
    if (!positions.contains(i)) kept.push_back(list[i]);
  return kept;
}

}  // namespace dam
