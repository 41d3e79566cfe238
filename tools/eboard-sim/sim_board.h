// One simulated e-board with its clock and move memory. With a game it plays
// the moves as people do: think, lift the piece, put it down, take the
// captured pieces off one at a time (sometimes before putting the piece
// down, sometimes in another order), press the clock.
#pragma once

#include <chrono>
#include <optional>
#include <random>

#include "tools/eboard-sim/board_wire.h"
#include "tools/eboard-sim/sim_game.h"

namespace eboardsim {

using SimClockTime = std::chrono::steady_clock::time_point;

struct BoardSettings {
    int address = 1;
    int clockMinutes = 90;
    double speed = 1.0;  // game seconds per real second
    bool hold = false;   // wait after each move until the host has read the board
    uint32_t seed = 1;
};

class SimBoard {
public:
    SimBoard(const BoardSettings& settings, std::optional<SimGame> game, SimClockTime now);

    int Address() const { return settings_.address; }

    Bytes DumpPayload() const;  // 50 piece codes, square 1 first
    Bytes ClockPayload() const; // seven bytes: black time, white time, status
    Bytes VersionPayload() const { return {2, 7}; }

    // Stored moves: the entries since the last request, or on a repeat
    // request after a lost reply the previous entries as well.
    Bytes TakeStoredMoves();
    Bytes ResendStoredMoves();
    // The whole memory from the start position on.
    Bytes MemoryFromStart() const;

    // The host has read the board: a whole dump, or the changes since its last read.
    // Changes alone count only once the host has had a dump since it reset the board.
    void NoteRead(bool wholeBoard);
    void HostReset() { dumpSeen_ = false; }

    // Plays whatever is due by `now`; returns the time of the next action.
    void Advance(SimClockTime now);
    std::optional<SimClockTime> NextActionTime() const;

    bool addressed = false;
    bool GameFinished() const { return phase_ == Phase::kFinished; }
    int MovesPlayed() const { return static_cast<int>(ply_); }

private:
    enum class Phase { kIdle, kWaitingRead, kThinking, kActing, kFinished };
    struct Action {
        int square = 0;  // 0: press the clock
        uint8_t piece = 0;
    };

    void RunClock(SimClockTime now);
    void SetSquare(int square, uint8_t piece);
    void PlanMove(const SimMove& move);
    void StartThinking(SimClockTime now);
    void Record(const Bytes& entry);
    std::chrono::milliseconds RealDelay(int minGameMs, int maxGameMs);
    void PressClock();

    BoardSettings settings_;
    std::optional<SimGame> game_;
    std::array<uint8_t, 51> squares_{};
    std::mt19937 random_;

    // Clock: milliseconds left for white and black, and who is running.
    double whiteMs_ = 0;
    double blackMs_ = 0;
    int running_ = -1;  // -1 stopped, 0 white, 1 black
    SimClockTime clockSeen_;

    Bytes pending_;
    Bytes lastBatch_;
    Bytes history_;

    Phase phase_ = Phase::kIdle;
    size_t ply_ = 0;
    bool whiteToMove_ = true;
    bool readSinceChange_ = false;
    bool dumpSeen_ = false;
    std::vector<Action> actions_;
    size_t nextAction_ = 0;
    SimClockTime due_;
};

}  // namespace eboardsim
