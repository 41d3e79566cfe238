#pragma once
// The server's texts: its position text and its event codes, in its own
// letters and square order, turned into the library's board squares.

#include <string>
#include <string_view>
#include <vector>

namespace dam {

// Server piece letter ("P", "B", "p", "b") to board character; anything
// else is an empty square.
char rumo2piece(char server_letter);

// Character by character; the result has the same length.
std::string rumo2position(std::string_view server_text);

// The board text of a server position text under the board's orientation:
// reversed boards list square 1 last. Throws std::invalid_argument for a
// text shorter than the board.
std::string server_position_to_board(std::string_view server_text, bool reversed);

// Server square number of a code character ("0"-"9" 1-10, "A"-"Z" 11-36,
// "a"-"n" 37-50), 0 for any other character.
int event_code_number(char code);

// The board square a server square number names: the server counts from
// the other side unless the board is reversed.
int event_code_square(int number, bool reversed);

struct square_change {
  int square = 0;    // 1-50
  char piece = '.';  // the board character now on the square
};

// Splits an event code text into its square changes, two characters per
// code (a last lone character means an empty square). Throws
// std::invalid_argument, naming the code, when a square character is out of
// range, so a caller can refuse the whole text before changing anything.
std::vector<square_change> decode_event_codes(std::string_view codes, bool reversed);

}  // namespace dam
