#include "library/event_codes.h"

#include <algorithm>
#include <stdexcept>

namespace dam {

char rumo2piece(char server_letter) {
  switch (server_letter) {
    case 'P': return 'o';
    case 'B': return 'x';
    case 'p': return 'O';
    case 'b': return 'X';
    default: return '.';
  }
}

std::string rumo2position(std::string_view server_text) {
  std::string board(server_text.size(), '.');
  std::transform(server_text.begin(), server_text.end(), board.begin(), rumo2piece);
  return board;
}

std::string server_position_to_board(std::string_view server_text, bool reversed) {
  if (server_text.size() < 50)
    throw std::invalid_argument("position text has " + std::to_string(server_text.size()) +
                                " squares, expected 50");
  std::string board = rumo2position(server_text);
  if (reversed) std::reverse(board.begin(), board.end());
  return board;
}

int event_code_number(char code) {
  if (code >= '0' && code <= '9') return code - '0' + 1;
  if (code >= 'A' && code <= 'Z') return code - 'A' + 11;
  if (code >= 'a' && code <= 'n') return code - 'a' + 37;
  return 0;
}

int event_code_square(int number, bool reversed) { return reversed ? number : 51 - number; }

std::vector<square_change> decode_event_codes(std::string_view codes, bool reversed) {
  std::vector<square_change> changes;
  changes.reserve((codes.size() + 1) / 2);
  for (std::size_t at = 0; at < codes.size(); at += 2) {
    int number = event_code_number(codes[at]);
    if (number == 0)
      throw std::invalid_argument("bad square in event code \"" + std::string(codes.substr(at, 2)) + "\" at " +
                                  std::to_string(at));
    char piece = at + 1 < codes.size() ? rumo2piece(codes[at + 1]) : '.';
    changes.push_back({event_code_square(number, reversed), piece});
  }
  return changes;
}

}  // namespace dam
