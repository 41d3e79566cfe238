#include "tools/eboard-sim/sim_faults.h"

#include <cstdlib>
#include <sstream>

namespace eboardsim {

namespace {

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

}  // namespace

std::optional<FaultPlan> ParseFaults(const std::string& text, std::string& error) {
    FaultPlan plan;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty()) continue;
        const size_t equals = item.find('=');
        if (equals == std::string::npos) {
            error = "fault without value: " + item;
            return std::nullopt;
        }
        const std::string name = item.substr(0, equals);
        std::string value = item.substr(equals + 1);
        if (name == "slowms") {
            double ms = 0;
            if (!ParseNumber(value, ms) || ms < 0 || ms > 600000) {
                error = "bad slowms: " + value;
                return std::nullopt;
            }
            plan.slowMs = static_cast<int>(ms);
            continue;
        }
        if (name == "pull") {
            const size_t colon = value.find(':');
            CablePull pull;
            if (colon == std::string::npos || !ParseNumber(value.substr(0, colon), pull.atSeconds) ||
                !ParseNumber(value.substr(colon + 1), pull.forSeconds) || pull.atSeconds < 0 ||
                pull.forSeconds < 0) {
                error = "bad pull, expected AT:FOR seconds: " + value;
                return std::nullopt;
            }
            plan.pulls.push_back(pull);
            continue;
        }
        FaultRule rule;
        if (name == "checksum")
            rule.kind = FaultKind::kChecksum;
        else if (name == "drop")
            rule.kind = FaultKind::kDrop;
        else if (name == "stray")
            rule.kind = FaultKind::kStray;
        else if (name == "slow")
            rule.kind = FaultKind::kSlow;
        else {
            error = "unknown fault: " + name;
            return std::nullopt;
        }
        const size_t at = value.find('@');
        if (at != std::string::npos) {
            double address = 0;
            if (!ParseNumber(value.substr(at + 1), address) || address < 1 || address > 16383) {
                error = "bad board address in " + item;
                return std::nullopt;
            }
            rule.address = static_cast<int>(address);
            value.resize(at);
        }
        if (!ParseNumber(value, rule.probability) || rule.probability < 0 || rule.probability > 1) {
            error = "bad probability in " + item;
            return std::nullopt;
        }
        plan.rules.push_back(rule);
    }
    return plan;
}

bool FaultDice::Roll(FaultKind kind, int address) {
    for (const FaultRule& rule : plan_.rules) {
        if (rule.kind != kind || (rule.address != 0 && rule.address != address)) continue;
        if (std::bernoulli_distribution(rule.probability)(random_)) return true;
    }
    return false;
}

}  // namespace eboardsim
