#include "library/event.h"

#include <algorithm>

namespace dam {

bool is_white_piece(char piece) { return piece == 'o' || piece == 'O'; }

bool matching_event(const event& a, const event& b) {
  return a.square == b.square && is_white_piece(a.piece) == is_white_piece(b.piece) && a.removed == b.removed;
}

bool opposite_event(const event& a, const event& b) {
  return a.square == b.square && is_white_piece(a.piece) == is_white_piece(b.piece) && a.removed != b.removed;
}

std::vector<event> compute_events(const std::string& old_board, const std::string& new_board, double time) {
  // Anything but a piece letter, and squares beyond a short text, read as
  // empty, so no event ever carries a character that is not a piece.
  auto square_char = [](const std::string& board, int square) {
    if (square > static_cast<int>(board.size())) return '.';
    char c = board[square - 1];
    return c == 'o' || c == 'x' || c == 'O' || c == 'X' ? c : '.';
  };
  std::vector<event> events;
  for (int square = 1; square <= 50; ++square) {
    char before = square_char(old_board, square);
    char after = square_char(new_board, square);
    if (before == after) continue;
    if (before != '.') events.push_back({square, before, true, time});
    if (after != '.') events.push_back({square, after, false, time});
  }
  return events;
}

}  // namespace dam
