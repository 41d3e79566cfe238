#include "library/event_history.h"

#include <cctype>

namespace dam {

std::string strip_board_text(const std::string& text) {
  std::string stripped;
  stripped.reserve(text.size());
  for (char c : text)
    if (c != 'W' && c != 'B' && c != 'Z' && !std::isspace(static_cast<unsigned char>(c))) stripped.push_back(c);
  return stripped;
}

void event_history::insert_position(const std::string& text) { boards.push_back(strip_board_text(text)); }

std::vector<indexed_event> event_history::add_position(const std::string& text, double time) {
  std::string board = strip_board_text(text);
  if (boards.empty()) {
    boards.push_back(board);
    return {};
  }
  if (board == boards.back()) return {};
  std::vector<indexed_event> added;
  for (const event& e : compute_events(boards.back(), board, time)) {
    indexed_event entry(e, static_cast<int>(events.size()));
    events.push_back(entry);
    added.push_back(entry);
    std::string next = boards.back();
    if (next.size() < 50) next.resize(50, '.');
    next[e.square - 1] = e.removed ? '.' : e.piece;
    boards.push_back(next);
  }
  return added;
}

}  // namespace dam
