#pragma once
// One game played on a board and followed by librumo, from reset to the final PDN.

#include <string>
#include <vector>

#include "library/move.h"
#include "library/position.h"
#include "tools/rumo-replay/hall_model.h"

namespace replay {

struct replayed_game {
    std::string pdn;    // the library's PDN once the board has long been quiet
    bool complete = false;
    std::vector<double> reconstruct_seconds;
    std::string board_error; // the hands left the board other than the game did
};

// Plays the moves with the hands on board `board_id` of the map. The server asks for the
// game after every report and once while each player thinks.
replayed_game replay_game(void* map, const std::string& board_id, const dam::Position& start,
                          const std::vector<dam::Move>& moves, hands& hands, bool reversed,
                          const std::string& label);

} // namespace replay
