#pragma once
// Scoring a game that librumo gave back against the game that was played.

#include <cstddef>
#include <string>
#include <vector>

#include "library/move.h"

namespace replay {

// The library's PDN read back with the tools' PDN reader. A setup line ("/FEN .../") starts a
// new stretch of play from the position it names.
struct library_game {
    std::vector<dam::Move> moves; // all moves of all stretches, in order
    int setups = 0;
    int unreadable = 0;          // stretches that stop at a move the reader cannot resolve
    int lines_without_clock = 0; // lines that do not carry exactly one clock comment
    std::string error;           // the reader's first complaint
};

library_game read_library_pdn(const std::string& pdn);

// The length of the longest common subsequence of the two move lists.
std::size_t common_moves(const std::vector<dam::Move>& played, const std::vector<dam::Move>& read);

struct timing_summary {
    std::size_t calls = 0;
    double median = 0;
    double percentile_99 = 0;
    double maximum = 0;
};

timing_summary summarize(std::vector<double> seconds);

} // namespace replay
