#include "tools/eboard-sim/sim_board.h"

#include <algorithm>

namespace eboardsim {

namespace {

constexpr uint8_t kStartEntry = 0x6F;
constexpr uint8_t kEmptyBoardEntry = 0x6A;

void AppendTime(Bytes& out, uint8_t code, double ms) {
    const int total = std::max(0, static_cast<int>(ms / 1000));
    out.push_back(static_cast<uint8_t>(code | std::min(9, total / 3600)));
    out.push_back(Bcd((total / 60) % 60));
    out.push_back(Bcd(total % 60));
}

}  // namespace

SimBoard::SimBoard(const BoardSettings& settings, std::optional<SimGame> game, SimClockTime now)
    : settings_(settings), game_(std::move(game)), random_(settings.seed), clockSeen_(now), due_(now) {
    if (settings_.speed <= 0) settings_.speed = 1.0;
    whiteMs_ = blackMs_ = settings_.clockMinutes * 60000.0;
    squares_ = game_ ? game_->start : StartPosition();
    if (game_) {
        whiteToMove_ = game_->whiteFirst;
        if (settings_.hold)
            phase_ = Phase::kWaitingRead;
        else
            StartThinking(now);
    }
}

Bytes SimBoard::DumpPayload() const { return Bytes(squares_.begin() + 1, squares_.end()); }

Bytes SimBoard::ClockPayload() const {
    Bytes payload;
    AppendTime(payload, 0, blackMs_);
    AppendTime(payload, 0, whiteMs_);
    uint8_t status = 0x00;
    if (running_ == 0) status = 0x11;
    if (running_ == 1) status = 0x0B;
    payload.push_back(status);
    return payload;
}

Bytes SimBoard::TakeStoredMoves() {
    lastBatch_ = std::move(pending_);
    pending_.clear();
    return lastBatch_;
}

Bytes SimBoard::ResendStoredMoves() {
    lastBatch_.insert(lastBatch_.end(), pending_.begin(), pending_.end());
    pending_.clear();
    return lastBatch_;
}

Bytes SimBoard::MemoryFromStart() const {
    Bytes memory;
    const auto& start = game_ ? game_->start : StartPosition();
    if (start == StartPosition()) {
        memory.push_back(kStartEntry);
    } else {
        memory.push_back(kEmptyBoardEntry);
        for (int s = 1; s <= 50; ++s)
            if (start[s] != kEmpty) {
                memory.push_back(static_cast<uint8_t>(0x40 | start[s]));
                memory.push_back(static_cast<uint8_t>(CellOfSquare(s)));
            }
    }
    memory.insert(memory.end(), history_.begin(), history_.end());
    return memory;
}

void SimBoard::NoteRead(bool wholeBoard) {
    if (wholeBoard) dumpSeen_ = true;
    if (dumpSeen_) readSinceChange_ = true;
}

std::chrono::milliseconds SimBoard::RealDelay(int minGameMs, int maxGameMs) {
    std::uniform_int_distribution<int> gameMs(minGameMs, maxGameMs);
    return std::chrono::milliseconds(static_cast<long>(gameMs(random_) / settings_.speed));
}

void SimBoard::StartThinking(SimClockTime now) {
    if (!game_ || ply_ >= game_->moves.size()) {
        phase_ = Phase::kFinished;
        RunClock(now);
        running_ = -1;
        return;
    }
    if (running_ < 0) {
        clockSeen_ = now;
        running_ = whiteToMove_ ? 0 : 1;
    }
    PlanMove(game_->moves[ply_]);
    phase_ = Phase::kThinking;
    due_ = now + RealDelay(2000, 20000);
}

void SimBoard::PlanMove(const SimMove& move) {
    actions_.clear();
    nextAction_ = 0;
    const uint8_t piece = squares_[std::clamp(move.from, 1, 50)];
    std::vector<int> captured = move.captured;
    if (captured.size() > 1 && std::bernoulli_distribution(0.3)(random_))
        std::shuffle(captured.begin(), captured.end(), random_);
    const bool captureFirst = !captured.empty() && std::bernoulli_distribution(0.25)(random_);

    actions_.push_back({move.from, kEmpty});
    if (captureFirst) {
        actions_.push_back({captured.front(), kEmpty});
        captured.erase(captured.begin());
    }
    actions_.push_back({move.to, move.result ? move.result : PieceAfterMove(piece, move.to)});
    for (int square : captured) actions_.push_back({square, kEmpty});
    actions_.push_back({0, 0});
}

void SimBoard::RunClock(SimClockTime now) {
    if (now <= clockSeen_) return;
    const double gameMs = std::chrono::duration<double, std::milli>(now - clockSeen_).count() * settings_.speed;
    clockSeen_ = now;
    if (running_ == 0) whiteMs_ = std::max(0.0, whiteMs_ - gameMs);
    if (running_ == 1) blackMs_ = std::max(0.0, blackMs_ - gameMs);
}

void SimBoard::Record(const Bytes& entry) {
    pending_.insert(pending_.end(), entry.begin(), entry.end());
    history_.insert(history_.end(), entry.begin(), entry.end());
}

void SimBoard::SetSquare(int square, uint8_t piece) {
    if (square < 1 || square > 50) return;
    squares_[square] = piece;
    readSinceChange_ = false;
    Record({static_cast<uint8_t>(0x40 | piece), static_cast<uint8_t>(CellOfSquare(square))});
}

void SimBoard::PressClock() {
    Bytes entry;
    // White's time is the second time of the clock, black's the first.
    AppendTime(entry, whiteToMove_ ? 0x70 : 0x60, whiteToMove_ ? whiteMs_ : blackMs_);
    Record(entry);
    whiteToMove_ = !whiteToMove_;
    running_ = whiteToMove_ ? 0 : 1;
    ++ply_;
}

void SimBoard::Advance(SimClockTime now) {
    RunClock(now);
    for (;;) {
        switch (phase_) {
            case Phase::kIdle:
            case Phase::kFinished:
                return;
            case Phase::kWaitingRead:
                if (!readSinceChange_) return;
                StartThinking(now);
                continue;
            case Phase::kThinking:
            case Phase::kActing: {
                if (now < due_) return;
                const Action action = actions_[nextAction_++];
                if (action.square == 0) {
                    PressClock();
                    if (settings_.hold) {
                        phase_ = Phase::kWaitingRead;
                    } else {
                        StartThinking(due_);
                    }
                } else {
                    SetSquare(action.square, action.piece);
                    phase_ = Phase::kActing;
                    due_ += RealDelay(300, 1500);
                }
                continue;
            }
        }
    }
}

std::optional<SimClockTime> SimBoard::NextActionTime() const {
    if (phase_ == Phase::kThinking || phase_ == Phase::kActing) return due_;
    return std::nullopt;
}

}  // namespace eboardsim
