#pragma once
// The reconstructed game kept as PDN: a FEN tag with the start clocks, then one line per move
// or setup, each with the clock readings of its time.

#include <string>
#include <vector>

#include "library/move_reconstructor.h"
#include "library/position.h"

namespace dam {

class pdn_reconstructor : public move_reconstructor {
public:
    pdn_reconstructor(const std::string& board_text, double time);

    void reset(const std::string& board_text) override;
    ~pdn_reconstructor() override = default;
    void on_play_move(const Move& move) override;
    void on_setup(const Position& setup) override;
    void on_erase_moves() override;

    // "[FEN ...] {[%clock W.. b..]}" and a line end.
    std::string initial_position_tag() const;
    // The tag line, then the lines joined by line ends (none after the last).
    std::string pdn_string() const;

    // "{[%clock W1:25:10 b1:24:02]}", the side to move in upper case; empty without clocks.
    static std::string print_clock(const std::string& white, const std::string& black,
                                   bool white_to_move);

    std::string white_clock = "0:00:00";
    std::string black_clock = "0:00:00";
    std::string start_white_clock = "0:00:00";
    std::string start_black_clock = "0:00:00";
    std::vector<std::string> lines; // one per entry of `played` after the first
    int move_number = 0;
    Position setup_position; // the position of the FEN tag
};

} // namespace dam
