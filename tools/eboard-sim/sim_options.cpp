#include "tools/eboard-sim/sim_options.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

namespace eboardsim {

const char* const kUsage =
    "usage: eboard-sim (--single | --bus N) [--link PATH] [--addresses A,B,...] [--pdn FILE]\n"
    "                  [--games I,J,...] [--speed X] [--clock MINUTES] [--faults RULES] [--seed S] [--hold]\n"
    "                  [--trace FILE]\n"
    "  --single        one board on its own cable\n"
    "  --bus N         N boards (1..128) on a serial bus\n"
    "  --link PATH     symbolic link to the pseudo-terminal (else its path is printed)\n"
    "  --addresses     bus addresses of the boards (1..16383), default 1..N\n"
    "  --pdn FILE      play the games of FILE, one per board\n"
    "  --games I,J     which games of FILE (from 0), in board order; default 0,1,2,...\n"
    "  --speed X       game seconds per real second (default 1)\n"
    "  --clock MINUTES time on each side of the clock (default 90)\n"
    "  --faults RULES   checksum=P[@A],drop=P[@A],stray=P[@A],slow=P[@A],slowms=MS,pull=AT:FOR\n"
    "  --seed S        seed of the random choices (default 1)\n"
    "  --hold          after each move wait until the host has read the board\n"
    "  --trace FILE    write the monotonic time (ns) at which each message was written\n"
    "signals: SIGUSR1 pulls the cable, SIGUSR2 puts it back.\n";

namespace {

bool ToLong(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' && value >= low && value <= high;
}

bool ToList(const std::string& text, long low, long high, std::vector<int>& values) {
    std::stringstream items(text);
    std::string item;
    values.clear();
    while (std::getline(items, item, ',')) {
        long value = 0;
        if (!ToLong(item, low, high, value)) return false;
        values.push_back(static_cast<int>(value));
    }
    return !values.empty();
}

std::nullopt_t Fail(std::string& error, std::string text) {
    error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::optional<SimOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error) {
    SimOptions options;
    bool modeGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        std::string text;
        long number = 0;
        if (name == "--single") {
            if (modeGiven) return Fail(error, "give one of --single and --bus");
            modeGiven = true;
            options.bus = false;
            options.boardCount = 1;
        } else if (name == "--bus") {
            if (modeGiven) return Fail(error, "give one of --single and --bus");
            if (!value(text)) return std::nullopt;
            if (!ToLong(text, 1, 128, number)) return Fail(error, "--bus needs 1..128 boards");
            modeGiven = true;
            options.bus = true;
            options.boardCount = static_cast<int>(number);
        } else if (name == "--link") {
            if (!value(options.link)) return std::nullopt;
        } else if (name == "--addresses") {
            if (!value(text)) return std::nullopt;
            if (!ToList(text, 1, 16383, options.addresses))
                return Fail(error, "--addresses needs numbers 1..16383");
        } else if (name == "--pdn") {
            if (!value(options.pdn)) return std::nullopt;
        } else if (name == "--games") {
            if (!value(text)) return std::nullopt;
            if (!ToList(text, 0, 1000000, options.games)) return Fail(error, "--games needs numbers from 0");
        } else if (name == "--speed") {
            if (!value(text)) return std::nullopt;
            char* end = nullptr;
            options.speed = std::strtod(text.c_str(), &end);
            if (!end || *end != '\0' || !(options.speed > 0) || options.speed > 1e6)
                return Fail(error, "--speed needs a positive number");
        } else if (name == "--clock") {
            if (!value(text)) return std::nullopt;
            if (!ToLong(text, 0, 599, number)) return Fail(error, "--clock needs 0..599 minutes");
            options.clockMinutes = static_cast<int>(number);
        } else if (name == "--faults") {
            if (!value(text)) return std::nullopt;
            auto faults = ParseFaults(text, error);
            if (!faults) return std::nullopt;
            options.faults = *faults;
        } else if (name == "--seed") {
            if (!value(text)) return std::nullopt;
            if (!ToLong(text, 0, 0xFFFFFFFFL, number)) return Fail(error, "--seed needs a number");
            options.seed = static_cast<uint32_t>(number);
        } else if (name == "--trace") {
            if (!value(options.trace)) return std::nullopt;
        } else if (name == "--hold") {
            options.hold = true;
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
    }
    if (!modeGiven) return Fail(error, "give --single or --bus N");
    if (options.addresses.empty()) {
        for (int n = 1; n <= options.boardCount; ++n) options.addresses.push_back(n);
    } else if (static_cast<int>(options.addresses.size()) != options.boardCount) {
        return Fail(error, "--addresses needs one address per board");
    }
    if (std::set<int>(options.addresses.begin(), options.addresses.end()).size() != options.addresses.size())
        return Fail(error, "--addresses must differ");
    if (!options.games.empty() && options.pdn.empty()) return Fail(error, "--games needs --pdn");
    return options;
}

}  // namespace eboardsim
