// Command line of eboard-sim.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/eboard-sim/sim_faults.h"

namespace eboardsim {

struct SimOptions {
    bool bus = false;
    int boardCount = 1;
    std::string link;
    std::vector<int> addresses;  // one per board, filled with 1..n when not given
    std::string pdn;
    std::vector<int> games;  // game numbers in the PDN file, from 0
    double speed = 1.0;
    int clockMinutes = 90;
    FaultPlan faults;
    uint32_t seed = 1;
    bool hold = false;
    std::string trace;  // file for the time each message's last byte was written
};

extern const char* const kUsage;

// Returns nothing and sets `error` when the command line is not usable.
std::optional<SimOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

}  // namespace eboardsim
