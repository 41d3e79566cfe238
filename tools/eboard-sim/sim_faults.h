// Faults the simulator injects on request:
//   checksum=P[@A]  replies with a bad checksum (on a cable: a bad header)
//   drop=P[@A]      requests left without a reply
//   stray=P[@A]     a few stray bytes after a reply
//   slow=P[@A]      replies sent late, after slowms milliseconds
//   slowms=MS       delay of a slow reply (default 1500)
//   pull=AT:FOR     cable pulled AT seconds after the start, put back FOR seconds later
// P is a probability per reply, A limits the fault to the board with that address.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace eboardsim {

enum class FaultKind { kChecksum, kDrop, kStray, kSlow };

struct FaultRule {
    FaultKind kind = FaultKind::kDrop;
    double probability = 0;
    int address = 0;  // 0: every board
};

struct CablePull {
    double atSeconds = 0;
    double forSeconds = 0;
};

struct FaultPlan {
    std::vector<FaultRule> rules;
    int slowMs = 1500;
    std::vector<CablePull> pulls;
};

// Returns nothing and sets `error` for a malformed text.
std::optional<FaultPlan> ParseFaults(const std::string& text, std::string& error);

class FaultDice {
public:
    FaultDice(FaultPlan plan, uint32_t seed) : plan_(std::move(plan)), random_(seed) {}
    bool Roll(FaultKind kind, int address);
    const FaultPlan& Plan() const { return plan_; }
    std::mt19937& Random() { return random_; }

private:
    FaultPlan plan_;
    std::mt19937 random_;
};

}  // namespace eboardsim
