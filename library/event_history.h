#pragma once
// Every square change of one game since its reset, each with the board
// just before it.

#include <string>
#include <vector>

#include "library/event.h"

namespace dam {

class event_history {
 public:
  std::vector<indexed_event> events;
  // boards[k] is the board just before events[k]; the last entry is the
  // board after the last event.
  std::vector<std::string> boards;

  // Stores the text without side letters and whitespace.
  void insert_position(const std::string& text);

  // Splits the change from the last board to this one into single events,
  // appends each with its own board, and returns them.
  std::vector<indexed_event> add_position(const std::string& text, double time);
};

// The 50 square characters of a board text: side letters ("W", "B", "Z")
// and whitespace removed.
std::string strip_board_text(const std::string& text);

}  // namespace dam
