// Games for the simulated boards, read from a PDN file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/eboard-sim/sim_game.h"

namespace eboardsim {

// The games numbered `indices` (from 0) of the file, or all when `indices`
// is empty. Returns nothing and sets `error` when the file cannot be read or
// a number is out of range.
std::optional<std::vector<SimGame>> LoadGames(const std::string& path, const std::vector<int>& indices,
                                              std::string& error);

}  // namespace eboardsim
