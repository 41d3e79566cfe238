#include "library/move_boundary_finder.h"

namespace dam {

namespace {

enum event_class { white_placed = 1, white_removed = 2, black_placed = 3, black_removed = 4 };

event_class classify(const event& e) {
  if (is_white_piece(e.piece)) return e.removed ? white_removed : white_placed;
  return e.removed ? black_removed : black_placed;
}

// A piece put down and lifted again at once says nothing about the moves.
bool put_down_and_lifted(const event& a, const event& b) {
  return a.square == b.square && is_white_piece(a.piece) == is_white_piece(b.piece) && !a.removed && b.removed;
}

}  // namespace

std::map<int, bool> move_boundary_finder::run(int start) {
  // States: 0 nothing seen, 1 white placed, 3 black placed, 5 black lifted
  // after a white placement, 6 white lifted after a black placement.
  constexpr bool white = true, black = false;
  std::map<int, bool> marks;
  auto mark = [&marks](int index, bool white_to_move) { marks[index] = white_to_move; };
  int state = 0;
  const int count = static_cast<int>(events_.size());
  for (int a = start < 0 ? 0 : start; a < count; ++a) {
    while (a + 1 < count && put_down_and_lifted(events_[a], events_[a + 1])) a += 2;
    if (a >= count) break;
    const event_class c = classify(events_[a]);
    switch (state) {
      case 0:
        if (c == white_placed) state = 1;
        if (c == black_placed) state = 3;
        break;
      case 1:
        if (c == white_placed) mark(a, black);
        if (c == black_placed) mark(a, black), state = 3;
        if (c == black_removed) state = 5;
        break;
      case 3:
        if (c == white_placed) mark(a, white), state = 1;
        if (c == white_removed) state = 6;
        if (c == black_placed) mark(a, white);
        break;
      case 5:
        if (c == black_removed) break;
        mark(a - 1, black);
        state = c == white_placed ? 1 : c == white_removed ? 0 : 3;
        break;
      case 6:
        if (c == white_removed) break;
        mark(a - 1, white);
        state = c == white_placed ? 1 : c == black_placed ? 3 : 0;
        break;
    }
  }
  return marks;
}

}  // namespace dam
