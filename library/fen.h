#pragma once

#include <string>

#include "library/position.h"

namespace dam {

// prefix + FEN "W:W31,...:B1,..." + suffix; kings as K<square>.
std::string write_fen(const Position& p, const std::string& prefix = "", const std::string& suffix = "");

// Reads a FEN of the PDN form: the side ("W", "B" or "?" for unknown, read as white),
// then the colour lists in either order, "K" before a king, ranges such as "31-50";
// an enclosing [FEN "..."] and blanks are allowed. Throws std::invalid_argument on
// anything else. `side_known` tells whether the side was given.
Position read_fen(const std::string& text, bool* side_known = nullptr);

}  // namespace dam
