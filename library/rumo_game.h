#pragma once
// The game of one board as the server reports it: a start position, then the growing text of
// its square changes with their times and clock readings.

#include <string>

#include "library/pdn_reconstructor.h"

namespace dam {

class rumo_game : public pdn_reconstructor {
public:
    // The initial position, before any reset; its PDN shows an empty board.
    rumo_game();

    using pdn_reconstructor::reset;
    // A new game from the server's position text; the three further texts are not used.
    void reset(const std::string& position, const std::string& white_clock,
               const std::string& black_clock, double time, const std::string& text1,
               const std::string& text2, const std::string& text3, bool reversed);

    // Takes the cumulative event code text. Throws std::runtime_error when it does not continue
    // the text taken so far, std::invalid_argument for a code outside the server's squares;
    // either way only the clock texts change.
    void update_events(const std::string& codes, double time, const std::string& first_clock,
                       const std::string& second_clock);

    std::string event_codes; // the code text taken so far
    std::string board;       // the board as the codes left it
    bool reversed = false;
};

} // namespace dam
