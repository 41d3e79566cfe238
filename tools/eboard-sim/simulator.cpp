#include "tools/eboard-sim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace eboardsim {

namespace {

using std::chrono::milliseconds;

// Cable commands.
constexpr uint8_t kCableReset = 0x40;
constexpr uint8_t kCableClock = 0x41;
constexpr uint8_t kCableDump = 0x42;
constexpr uint8_t kCableAddress = 0x46;
constexpr uint8_t kCableMemory = 0x49;
constexpr uint8_t kCableVersion = 0x4D;
constexpr uint8_t kCableText = 0x2B;
constexpr size_t kCableMemoryLength = 7939;

// Bus commands.
constexpr uint8_t kBusReset = 0x4A;
constexpr uint8_t kBusClockRequest = 0x81;
constexpr uint8_t kBusDumpRequest = 0x82;
constexpr uint8_t kBusMovesRequest = 0x83;
constexpr uint8_t kBusMovesRepeat = 0x84;
constexpr uint8_t kBusWriteTag = 0x85;
constexpr uint8_t kBusFromStart = 0x86;
constexpr uint8_t kBusDiscover = 0x87;
constexpr uint8_t kBusStartDiscovery = 0x89;
constexpr uint8_t kBusAddressBoard = 0x8A;

// A host that does not read cannot hold the simulator's memory hostage.
constexpr size_t kOutgoingLimit = 1 << 18;

}  // namespace

Simulator::Simulator(const SimOptions& options, std::vector<SimGame> games)
    : options_(options), port_(options.link), dice_(options.faults, options.seed ^ 0x5EEDu) {
    const auto now = std::chrono::steady_clock::now();
    for (int i = 0; i < options_.boardCount; ++i) {
        BoardSettings settings;
        settings.address = options_.addresses[static_cast<size_t>(i)];
        settings.clockMinutes = options_.clockMinutes;
        settings.speed = options_.speed;
        settings.hold = options_.hold;
        settings.seed = options_.seed + static_cast<uint32_t>(i) * 7919u;
        std::optional<SimGame> game;
        if (!games.empty()) game = games[static_cast<size_t>(i) % games.size()];
        boards_.push_back(std::make_unique<SimBoard>(settings, std::move(game), now));
    }
    started_ = now;
}

Simulator::~Simulator() {
    if (trace_) std::fclose(trace_);
}

std::string Simulator::Start() {
    if (!options_.trace.empty()) {
        trace_ = std::fopen(options_.trace.c_str(), "w");
        if (!trace_) return "cannot write " + options_.trace;
    }
    return port_.Open();
}

SimBoard* Simulator::BoardAt(int address) {
    for (auto& board : boards_)
        if (board->Address() == address) return board.get();
    return nullptr;
}

void Simulator::Schedule(SimClockTime at, Bytes bytes, bool message) {
    scheduled_.emplace(at, Outgoing{std::move(bytes), message});
}

void Simulator::Written(size_t count, std::chrono::steady_clock::time_point handedOver) {
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<long>(count));
    while (count > 0 && !outgoingParts_.empty()) {
        auto& [size, message] = outgoingParts_.front();
        const size_t taken = std::min(size, count);
        size -= taken;
        count -= taken;
        if (size > 0) break;
        // The time the last byte of a message reached the line.
        if (message && trace_)
            std::fprintf(trace_, "%lld\n",
                         static_cast<long long>(
                             std::chrono::duration_cast<std::chrono::nanoseconds>(handedOver.time_since_epoch())
                                 .count()));
        outgoingParts_.pop_front();
    }
}

bool Simulator::Reply(SimBoard& board, Bytes message, SimClockTime now) {
    const int address = board.Address();
    if (dice_.Roll(FaultKind::kDrop, address)) return false;
    bool whole = true;
    if (dice_.Roll(FaultKind::kChecksum, address)) {
        whole = false;
        if (options_.bus) {
            message.back() = static_cast<uint8_t>((message.back() ^ 0x2A) & 0x7F);
        } else {
            // A cable message has no checksum; a header announcing too few
            // bytes is what the host can detect.
            message[1] = 0;
            message[2] = 2;
        }
    }
    SimClockTime at = now;
    if (dice_.Roll(FaultKind::kSlow, address)) at += milliseconds(dice_.Plan().slowMs);
    Schedule(at, std::move(message));
    if (dice_.Roll(FaultKind::kStray, address)) {
        Bytes stray(std::uniform_int_distribution<size_t>(1, 3)(dice_.Random()));
        for (auto& byte : stray) byte = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(dice_.Random()));
        Schedule(at + milliseconds(20), std::move(stray), false);
    }
    return whole;
}

void Simulator::OnHostBytes(const uint8_t* bytes, size_t count, SimClockTime now) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (!options_.bus) {
            if (!partial_.empty()) {
                partial_.push_back(b);
                const bool displayText = partial_.size() >= 2 && partial_[1] == 0x0B;
                if ((displayText && partial_.size() == 13) || (!displayText && partial_.size() >= 3 && b == 0) ||
                    partial_.size() > 40) {
                    OnCableText(now);
                    partial_.clear();
                }
            } else if (b == kCableText) {
                partial_.push_back(b);
            } else {
                OnCableCommand(b, now);
            }
            continue;
        }
        if (b & 0x80) {
            partial_.assign(1, b);
        } else if (partial_.empty()) {
            if (b == kBusReset) OnBusReset();
        } else {
            partial_.push_back(b);
            if (partial_.size() == 4) {
                OnBusCommand(partial_.data(), now);
                partial_.clear();
            }
        }
    }
}

void Simulator::OnCableCommand(uint8_t command, SimClockTime now) {
    SimBoard& board = *boards_.front();
    const int address = board.Address();
    switch (command) {
        case kCableReset:
            scheduled_.clear();
            board.HostReset();
            break;
        case kCableAddress:
            Reply(board, SingleMessage(kSingleAddress, {static_cast<uint8_t>((address >> 7) & 0x7F),
                                                        static_cast<uint8_t>(address & 0x7F)}),
                  now);
            break;
        case kCableDump:
            if (Reply(board, SingleMessage(kSingleDump, board.DumpPayload()), now)) board.NoteRead(true);
            break;
        case kCableClock:
            Reply(board, SingleMessage(kSingleClock, board.ClockPayload()), now);
            break;
        case kCableVersion:
            Reply(board, SingleMessage(kSingleVersion, board.VersionPayload()), now);
            break;
        case kCableMemory: {
            // The board sends its whole memory; unused cells read as 0x7F.
            Bytes memory = board.MemoryFromStart();
            memory.resize(kCableMemoryLength - 3, 0x7F);
            memory.back() = 0x7F;
            Reply(board, SingleMessage(kSingleMemory, memory), now);
            break;
        }
        default:
            break;
    }
}

void Simulator::OnCableText(SimClockTime now) {
    Reply(*boards_.front(), SingleMessage(kAcknowledge, {0, 0}), now);
}

void Simulator::OnBusReset() {
    scheduled_.clear();
    for (auto& board : boards_) {
        board->addressed = false;
        board->HostReset();
    }
}

void Simulator::OnBusCommand(const uint8_t command[4], SimClockTime now) {
    if (!BusCommandValid(command)) return;
    const int address = BusCommandAddress(command);
    if (address == 0) {
        if (command[0] == kBusStartDiscovery) {
            for (auto& board : boards_) board->addressed = false;
        } else if (command[0] == kBusDiscover) {
            // Boards not yet addressed answer at random moments of the pause.
            for (auto& board : boards_) {
                if (board->addressed) continue;
                const milliseconds delay(std::uniform_int_distribution<int>(30, 1000)(dice_.Random()));
                Reply(*board, BusMessage(kAcknowledge, board->Address(), {}), now + delay);
            }
        }
        return;
    }
    SimBoard* board = BoardAt(address);
    if (!board) return;
    switch (command[0]) {
        case kBusAddressBoard:
            board->addressed = true;
            Reply(*board, BusMessage(kAcknowledge, address, {}), now);
            break;
        case kBusMovesRequest:
            if (Reply(*board, BusMessage(kBusMoves, address, board->TakeStoredMoves()), now)) board->NoteRead(false);
            break;
        case kBusMovesRepeat:
            if (Reply(*board, BusMessage(kBusMovesResent, address, board->ResendStoredMoves()), now))
                board->NoteRead(false);
            break;
        case kBusFromStart:
            Reply(*board, BusMessage(kBusMovesResent, address, board->MemoryFromStart()), now);
            break;
        case kBusDumpRequest:
            if (Reply(*board, BusMessage(kBusDump, address, board->DumpPayload()), now)) board->NoteRead(true);
            break;
        case kBusClockRequest:
            Reply(*board, BusMessage(kBusClock, address, board->ClockPayload()), now);
            break;
        case kBusWriteTag:
            Reply(*board, BusMessage(kAcknowledge, address, {}), now);
            break;
        default:
            break;
    }
}

void Simulator::FlushDue(SimClockTime now) {
    while (!scheduled_.empty() && scheduled_.begin()->first <= now) {
        const Outgoing& part = scheduled_.begin()->second;
        outgoing_.insert(outgoing_.end(), part.bytes.begin(), part.bytes.end());
        outgoingParts_.emplace_back(part.bytes.size(), part.message);
        scheduled_.erase(scheduled_.begin());
    }
    if (outgoing_.size() > kOutgoingLimit) {
        outgoing_.clear();
        outgoingParts_.clear();
    }
    if (outgoing_.empty() || !port_.IsOpen()) return;
    // Read the clock before the write: the reader may run before this
    // process does again, and a later reading would shorten its latency.
    const auto handedOver = std::chrono::steady_clock::now();
    const ssize_t written = write(port_.Fd(), outgoing_.data(), outgoing_.size());
    if (written > 0) Written(static_cast<size_t>(written), handedOver);
}

void Simulator::PullCable(SimClockTime now) {
    (void)now;
    port_.Close();
    pulled_ = true;
    scheduled_.clear();
    outgoing_.clear();
    outgoingParts_.clear();
    partial_.clear();
    std::fprintf(stderr, "eboard-sim: cable pulled\n");
}

void Simulator::PlugIn() {
    const std::string error = port_.Open();
    if (!error.empty()) {
        std::fprintf(stderr, "eboard-sim: %s\n", error.c_str());
        return;
    }
    pulled_ = false;
    plugInTimed_ = false;
    std::fprintf(stderr, "eboard-sim: cable back on %s\n", port_.DevicePath().c_str());
}

void Simulator::Run(SimControls& controls) {
    const auto& pulls = options_.faults.pulls;
    while (!controls.stop) {
        const auto now = std::chrono::steady_clock::now();
        if (controls.pull) {
            controls.pull = 0;
            if (!pulled_) PullCable(now);
            plugInTimed_ = false;
        }
        if (controls.plugIn) {
            controls.plugIn = 0;
            if (pulled_) PlugIn();
        }
        while (nextPull_ < pulls.size() &&
               now >= started_ + std::chrono::duration_cast<milliseconds>(
                                     std::chrono::duration<double>(pulls[nextPull_].atSeconds))) {
            if (!pulled_) PullCable(now);
            plugInAt_ = now + std::chrono::duration_cast<milliseconds>(
                                  std::chrono::duration<double>(pulls[nextPull_].forSeconds));
            plugInTimed_ = true;
            ++nextPull_;
        }
        if (pulled_ && plugInTimed_ && now >= plugInAt_) PlugIn();
        for (auto& board : boards_) board->Advance(now);
        FlushDue(now);

        SimClockTime wake = now + milliseconds(50);
        if (!scheduled_.empty()) wake = std::min(wake, scheduled_.begin()->first);
        for (auto& board : boards_)
            if (auto next = board->NextActionTime()) wake = std::min(wake, *next);
        if (pulled_ && plugInTimed_) wake = std::min(wake, plugInAt_);
        const int timeout = static_cast<int>(
            std::max<long>(0, std::chrono::duration_cast<milliseconds>(wake - now).count()));

        pollfd descriptor{port_.Fd(), static_cast<short>(POLLIN | (outgoing_.empty() ? 0 : POLLOUT)), 0};
        const int ready = poll(port_.IsOpen() ? &descriptor : nullptr, port_.IsOpen() ? 1 : 0, timeout);
        if (ready <= 0 || !(descriptor.revents & POLLIN)) continue;
        uint8_t buffer[4096];
        const ssize_t n = read(port_.Fd(), buffer, sizeof buffer);
        if (n > 0) OnHostBytes(buffer, static_cast<size_t>(n), std::chrono::steady_clock::now());
    }
    port_.Close();
}

}  // namespace eboardsim
