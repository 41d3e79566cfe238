// The board side of the cable and bus protocols on one pseudo-terminal.
#pragma once

#include <csignal>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "tools/eboard-sim/pty_port.h"
#include "tools/eboard-sim/sim_board.h"
#include "tools/eboard-sim/sim_faults.h"
#include "tools/eboard-sim/sim_options.h"

namespace eboardsim {

// Flags set from signal handlers.
struct SimControls {
    volatile std::sig_atomic_t stop = 0;
    volatile std::sig_atomic_t pull = 0;
    volatile std::sig_atomic_t plugIn = 0;
};

class Simulator {
public:
    // `games` holds one game per board, or is empty for boards in the start position.
    Simulator(const SimOptions& options, std::vector<SimGame> games);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Makes the pseudo-terminal; returns an error text, empty on success.
    std::string Start();
    const PtyPort& Port() const { return port_; }

    // Serves the host until `controls.stop` is set.
    void Run(SimControls& controls);

private:
    void OnHostBytes(const uint8_t* bytes, size_t count, SimClockTime now);
    void OnCableCommand(uint8_t command, SimClockTime now);
    void OnCableText(SimClockTime now);
    void OnBusCommand(const uint8_t command[4], SimClockTime now);
    void OnBusReset();
    SimBoard* BoardAt(int address);

    // Queues a reply of `board`, applying the faults; returns whether the
    // host will get it whole.
    bool Reply(SimBoard& board, Bytes message, SimClockTime now);
    // `message`: a whole board message, traced when written; else stray bytes.
    void Schedule(SimClockTime at, Bytes bytes, bool message = true);
    void Written(size_t count, std::chrono::steady_clock::time_point handedOver);
    void FlushDue(SimClockTime now);
    void PullCable(SimClockTime now);
    void PlugIn();

    SimOptions options_;
    PtyPort port_;
    std::vector<std::unique_ptr<SimBoard>> boards_;
    FaultDice dice_;
    struct Outgoing {
        Bytes bytes;
        bool message = true;
    };
    std::multimap<SimClockTime, Outgoing> scheduled_;
    Bytes outgoing_;
    // Sizes of the parts of `outgoing_`, and whether each is a message.
    std::deque<std::pair<size_t, bool>> outgoingParts_;
    FILE* trace_ = nullptr;
    SimClockTime started_;
    size_t nextPull_ = 0;
    bool pulled_ = false;
    SimClockTime plugInAt_;
    bool plugInTimed_ = false;

    // Host bytes of a command not yet complete.
    Bytes partial_;
};

}  // namespace eboardsim
