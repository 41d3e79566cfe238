// The e-board side end to end: board interface, protocols and serial workers
// against eboard-sim on pseudo-terminals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>

#include "boards/board_interface.h"
#include "boards/serial_port_owner.h"
#include "tests/system/sim_runner.h"
#include "tools/common/pdn_reader.h"

namespace {

using namespace QVRProjects;
using systemtest::SimProcess;
using systemtest::Locked;
using systemtest::WaitFor;

const std::string kShortGames = std::string(RUMO_GAMES_DIR) + "/book-loi20.pdn";

// Every event, with what the tests need of it. Filled inside the event lock;
// read inside it too (WaitFor).
struct Recorder {
    struct Entry {
        int32_t code;
        std::string text;
        uint32_t address;  // of the board, 0 for protocol events
        const CQVRBoardProtocol* protocol;
    };
    std::vector<Entry> entries;

    CQVR_EventHandler Handler() {
        return [this](CQVR_Event_Data* e) {
            entries.push_back({e->code, std::string(e->Text()), e->board ? e->board->busAddress : 0, e->protocol});
        };
    }
    size_t Count(int32_t code, const std::string& text = "", size_t from = 0) const {
        size_t n = 0;
        for (size_t i = from; i < entries.size(); ++i)
            if (entries[i].code == code && (text.empty() || entries[i].text == text)) ++n;
        return n;
    }
    // First bytes of the writes of one protocol.
    std::vector<std::vector<uint8_t>> Written(const CQVRBoardProtocol* protocol) const {
        std::vector<std::vector<uint8_t>> writes;
        for (const auto& e : entries)
            if (e.code == EventCode::RawWritten && e.protocol == protocol)
                writes.emplace_back(e.text.begin(), e.text.end());
        return writes;
    }
};

std::set<uint32_t> Addresses(const CQVRBoardProtocol* protocol) {
    std::set<uint32_t> addresses;
    for (const CQVRBoard* board : *protocol) addresses.insert(board->busAddress);
    return addresses;
}

// Board counters and poll state, for failure messages.
std::string Describe(CQVRBoardProtocol* protocol) {
    std::string text;
    systemtest::Locked([&] {
        if (auto* bus = dynamic_cast<CQVRSerialBus*>(protocol))
            text = "bus state " + std::to_string(bus->pollState) + " bad " + std::to_string(bus->badMessages);
        else
            text = "cable state " + std::to_string(static_cast<CQVRSerialCable*>(protocol)->pollState);
        for (const CQVRBoard* board : *protocol)
            text += "; board " + std::to_string(board->busAddress) + ": packets " + std::to_string(board->packets) +
                    " errors " + std::to_string(board->errors) + " timeouts " + std::to_string(board->timeouts) +
                    " updates " + std::to_string(board->updates);
    });
    return text;
}

bool Polling(CQVRBoardProtocol* protocol) {
    if (auto* bus = dynamic_cast<CQVRSerialBus*>(protocol)) return bus->pollState >= 300;
    auto* cable = static_cast<CQVRSerialCable*>(protocol);
    return cable->pollState >= 200 && cable->First() && cable->First()->updates > 0;
}

using Cells = std::array<int8_t, 100>;

// The positions of a game as board cells, the start position first.
std::vector<Cells> GamePositions(const rumo_tools::PdnGame& game) {
    std::vector<Cells> positions;
    for (size_t ply = 0; ply <= game.moves.size(); ++ply) {
        const dam::Position position = game.position_after(ply);
        Cells cells{};
        for (int square = 1; square <= 50; ++square) {
            const int8_t codes[] = {1, 4, 7, 10};
            const auto piece = position.piece(square);
            cells[static_cast<size_t>(CQVRBoard::CellOfSquare(square - 1))] =
                dam::is_piece(piece) ? codes[piece] : 0;
        }
        positions.push_back(cells);
    }
    return positions;
}

// How many of `expected` the board's history shows, in order.
size_t PositionsSeenInOrder(const CQVRBoard* board, const std::vector<Cells>& expected) {
    size_t found = 0;
    for (const TPosSequence* sequence : board->sequences)
        for (const TChessPosition* position : sequence->positions)
            if (found < expected.size() &&
                std::equal(expected[found].begin(), expected[found].end(), position->cells))
                ++found;
    return found;
}

TEST(EboardEndToEnd, BusFindsItsFourBoards) {
    for (const int32_t expected : {0, 4}) {
        SCOPED_TRACE(expected == 0 ? "auto" : "four expected");
        SimProcess sim({"--bus", "4", "--addresses", "3,17,300,1000"});
        ASSERT_TRUE(sim.Ready());
        Recorder recorder;
        CQVRBoardInterface boards;
        CQVRBoardProtocol* bus = boards.Create("serialbus", recorder.Handler());
        bus->SetExpectedBoards(expected);
        ASSERT_TRUE(bus->Open(sim.Port()));
        ASSERT_TRUE(WaitFor([&] { return Polling(bus); }));
        Locked([&] {
            EXPECT_EQ(Addresses(bus), (std::set<uint32_t>{3, 17, 300, 1000}));
            EXPECT_EQ(recorder.Count(EventCode::NewBoardFound), 4u);
        });
    }
}

TEST(EboardEndToEnd, CableFindsItsBoardInTheStartPosition) {
    SimProcess sim({"--single", "--addresses", "77"});
    ASSERT_TRUE(sim.Ready());
    Recorder recorder;
    CQVRBoardInterface boards;
    CQVRBoardProtocol* cable = boards.Create("USB", recorder.Handler());
    ASSERT_TRUE(cable->Open(sim.Port()));
    ASSERT_TRUE(WaitFor([&] { return Polling(cable); }));
    Locked([&] {
        const CQVRBoard* board = cable->First();
        EXPECT_EQ(board->busAddress, 77u);
        EXPECT_EQ(board->SequenceText(0).substr(0, 3), "@0:");
        EXPECT_NE(board->SequenceText(0).find("nBmB"), std::string::npos);
        EXPECT_EQ(cable->portName, sim.Port());
    });
}

// Four ports at once, two buses and two cables, every board playing a game.
TEST(EboardEndToEnd, EveryPositionOfEveryGameArrivesInOrder) {
    const auto games = rumo_tools::read_pdn_file(kShortGames);
    ASSERT_GE(games.size(), 8u);
    struct Port {
        std::vector<std::string> arguments;
        std::string cabling;
        std::vector<int> games;
    };
    const std::vector<Port> ports{
        {{"--bus", "2", "--games", "0,1"}, "serial bus", {0, 1}},
        {{"--bus", "2", "--games", "3,5"}, "SerialBus", {3, 5}},
        {{"--single", "--games", "6"}, "usb", {6}},
        {{"--single", "--games", "7"}, "serial", {7}},
    };
    Recorder recorder;
    CQVRBoardInterface boards;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<CQVRBoardProtocol*> protocols;
    for (const Port& port : ports) {
        auto arguments = port.arguments;
        for (const char* common : {"--pdn", kShortGames.c_str(), "--speed", "40", "--hold", "--clock", "30"})
            arguments.emplace_back(common);
        sims.push_back(std::make_unique<SimProcess>(arguments));
        ASSERT_TRUE(sims.back()->Ready());
        protocols.push_back(boards.Create(port.cabling, recorder.Handler()));
        protocols.back()->SetExpectedBoards(static_cast<int32_t>(port.games.size()));
        ASSERT_TRUE(protocols.back()->Open(sims.back()->Port()));
    }
    // Board i of a port (address i + 1) plays the port's game i.
    auto allArrived = [&] {
        for (size_t p = 0; p < ports.size(); ++p) {
            for (size_t i = 0; i < ports[p].games.size(); ++i) {
                const CQVRBoard* board = protocols[p]->BoardAt(static_cast<uint32_t>(i + 1));
                const auto expected = GamePositions(games[static_cast<size_t>(ports[p].games[i])]);
                if (!board || PositionsSeenInOrder(board, expected) < expected.size()) return false;
            }
        }
        return true;
    };
    const bool arrived = WaitFor(allArrived, 400);
    Locked([&] {
        for (size_t p = 0; p < ports.size(); ++p)
            for (size_t i = 0; i < ports[p].games.size(); ++i) {
                const CQVRBoard* board = protocols[p]->BoardAt(static_cast<uint32_t>(i + 1));
                if (!board) {
                    ADD_FAILURE() << "port " << p << " board " << i + 1 << " not found";
                    continue;
                }
                const auto expected = GamePositions(games[static_cast<size_t>(ports[p].games[i])]);
                EXPECT_EQ(PositionsSeenInOrder(board, expected), expected.size())
                    << "port " << p << " board " << i + 1;
            }
    });
    ASSERT_TRUE(arrived);
    // Both clocks ran: each side's time went below the 30 minutes it started with.
    ASSERT_TRUE(WaitFor([&] {
        for (const CQVRBoardProtocol* protocol : protocols)
            for (const CQVRBoard* board : *protocol) {
                const uint32_t first = board->clock1Hours * 3600 + board->clock1Minutes * 60 + board->clock1Seconds;
                const uint32_t second = board->clock2Hours * 3600 + board->clock2Minutes * 60 + board->clock2Seconds;
                if (first == 0 || first >= 1800 || second == 0 || second >= 1800) return false;
            }
        return true;
    }, 60));
    Locked([&] {
        EXPECT_GT(recorder.Count(EventCode::FirstTime), 0u);
        EXPECT_GT(recorder.Count(EventCode::SecondTime), 0u);
        EXPECT_EQ(recorder.Count(EventCode::BoardError), 0u);
    });
}

// The written command bytes of one protocol, from the first `start` byte on.
std::vector<std::vector<uint8_t>> CommandsFrom(const Recorder& recorder, const CQVRBoardProtocol* protocol,
                                               uint8_t start) {
    auto writes = recorder.Written(protocol);
    const auto first = std::find_if(writes.begin(), writes.end(), [&](const auto& w) { return w[0] == start; });
    return {first, writes.end()};
}

TEST(EboardEndToEnd, CablePollsTenDumpsThenTheClock) {
    SimProcess sim({"--single"});
    ASSERT_TRUE(sim.Ready());
    Recorder recorder;
    CQVRBoardInterface boards;
    CQVRBoardProtocol* cable = boards.Create("serial", recorder.Handler());
    ASSERT_TRUE(cable->Open(sim.Port()));
    ASSERT_TRUE(WaitFor([&] { return CommandsFrom(recorder, cable, 0x42).size() >= 23; }));
    Locked([&] {
        const auto commands = CommandsFrom(recorder, cable, 0x42);
        for (size_t i = 0; i < 22; ++i)
            EXPECT_EQ(commands[i], std::vector<uint8_t>{static_cast<uint8_t>(i % 11 == 10 ? 0x41 : 0x42)}) << i;
    });
}

TEST(EboardEndToEnd, BusPollsOneFullPassThenFifteenMovesPasses) {
    SimProcess sim({"--bus", "4"});
    ASSERT_TRUE(sim.Ready());
    Recorder recorder;
    CQVRBoardInterface boards;
    CQVRBoardProtocol* bus = boards.Create("serialbus", recorder.Handler());
    bus->SetExpectedBoards(4);
    ASSERT_TRUE(bus->Open(sim.Port()));
    ASSERT_TRUE(WaitFor([&] { return Polling(bus); }));
    // One period: moves, dump and clock of every board in the order they were
    // found, then fifteen passes of moves.
    std::vector<uint32_t> order;
    Locked([&] {
        for (const CQVRBoard* board : *bus) order.push_back(board->busAddress);
    });
    ASSERT_EQ(order.size(), 4u);
    std::vector<std::vector<uint8_t>> period;
    for (const uint8_t command : {0x83, 0x82, 0x81})
        for (const uint32_t address : order) {
            period.push_back(std::vector<uint8_t>(4));
            CQVRMultiBoardProtocol::BuildCommand(period.back().data(), command, address);
        }
    for (int pass = 0; pass < 15; ++pass)
        for (size_t board = 0; board < order.size(); ++board) period.push_back(period[board]);
    ASSERT_TRUE(WaitFor([&] { return CommandsFrom(recorder, bus, 0x83).size() >= 2 * period.size(); }));
    Locked([&] {
        const auto commands = CommandsFrom(recorder, bus, 0x83);
        for (size_t i = 0; i < 2 * period.size(); ++i) EXPECT_EQ(commands[i], period[i % period.size()]) << i;
    });
}

TEST(EboardEndToEnd, FaultsAreChargedToTheBoardsTheyHappenOn) {
    SimProcess sim({"--bus", "4", "--faults", "checksum=0.2@2,drop=0.1@3,stray=0.2@4", "--seed", "7"});
    ASSERT_TRUE(sim.Ready());
    Recorder recorder;
    CQVRBoardInterface boards;
    auto* bus = static_cast<CQVRSerialBus*>(boards.Create("serialbus", recorder.Handler()));
    bus->SetExpectedBoards(4);
    ASSERT_TRUE(bus->Open(sim.Port()));
    ASSERT_TRUE(WaitFor([&] {
        const CQVRBoard* two = bus->BoardAt(2);
        const CQVRBoard* three = bus->BoardAt(3);
        const CQVRBoard* four = bus->BoardAt(4);
        return two && three && four && two->errors >= 3 && three->timeouts >= 2 && four->packets >= 20;
    })) << Describe(bus);
    Locked([&] {
        EXPECT_EQ(bus->BoardAt(1)->errors, 0u);
        EXPECT_EQ(bus->BoardAt(4)->errors, 0u);
        EXPECT_EQ(bus->BoardAt(2)->timeouts, 0u) << "a bad checksum is no missing reply";
        EXPECT_GE(recorder.Count(EventCode::BoardError, "ERROR: checksum error"), 3u);
        EXPECT_GE(bus->badMessages, 3u);
    });
}

TEST(EboardEndToEnd, GamesStillArriveWhenRepliesGoWrong) {
    const auto games = rumo_tools::read_pdn_file(kShortGames);
    SimProcess sim({"--bus", "2", "--pdn", kShortGames, "--games", "0,1", "--speed", "40", "--hold", "--faults",
                    "checksum=0.05,drop=0.05,stray=0.1,slow=0.05,slowms=1200", "--seed", "3"});
    ASSERT_TRUE(sim.Ready());
    Recorder recorder;
    CQVRBoardInterface boards;
    CQVRBoardProtocol* bus = boards.Create("serialbus", recorder.Handler());
    bus->SetExpectedBoards(2);
    ASSERT_TRUE(bus->Open(sim.Port()));
    ASSERT_TRUE(WaitFor(
        [&] {
            for (uint32_t address = 1; address <= 2; ++address) {
                const CQVRBoard* board = bus->BoardAt(address);
                const auto expected = GamePositions(games[address - 1]);
                if (!board || PositionsSeenInOrder(board, expected) < expected.size()) return false;
            }
            return true;
        },
        400));
}

// A pulled cable fails the port after seven serial errors; opened again while
// the cable is out the port reports "KO"; once it is back the boards return.
TEST(EboardEndToEnd, PulledCableFailsThePortAndTheBoardsComeBack) {
    struct Case {
        std::vector<std::string> arguments;
        const char* cabling;
        int32_t boards;
    };
    for (const Case& c : {Case{{"--single"}, "usb", 1}, Case{{"--bus", "2"}, "serialbus", 2}}) {
        SCOPED_TRACE(c.cabling);
        SimProcess sim(c.arguments);
        ASSERT_TRUE(sim.Ready());
        Recorder recorder;
        CQVRBoardInterface boards;
        CQVRBoardProtocol* protocol = boards.Create(c.cabling, recorder.Handler());
        protocol->SetExpectedBoards(c.boards);
        ASSERT_TRUE(protocol->Open(sim.Port()));
        ASSERT_TRUE(WaitFor([&] { return Polling(protocol) && protocol->Count() == c.boards; }));

        size_t mark = 0;
        Locked([&] { mark = recorder.entries.size(); });
        sim.PullCable();
        ASSERT_TRUE(WaitFor([&] { return protocol->HasFailed(); }, 60));
        ASSERT_TRUE(WaitFor([&] { return protocol->IsStopped(); }, 30));
        Locked([&] {
            EXPECT_EQ(recorder.Count(EventCode::SerialError, "", mark), 6u);
            EXPECT_EQ(recorder.Count(EventCode::StatusLine, "301 SERIALIO_STATUSPORT STOPPED", mark), 1u);
            mark = recorder.entries.size();
        });

        ASSERT_TRUE(protocol->Open(sim.Port()));
        EXPECT_FALSE(protocol->HasFailed());
        ASSERT_TRUE(WaitFor([&] {
            return recorder.Count(EventCode::StatusLine, "301 SERIALIO_STATUSPORT KO", mark) > 0;
        }, 30));
        Locked([&] { mark = recorder.entries.size(); });
        sim.PlugIn();
        ASSERT_TRUE(WaitFor([&] {
            return recorder.Count(EventCode::NewBoardFound, "", mark) == static_cast<size_t>(c.boards) &&
                   Polling(protocol) && protocol->Count() == c.boards;
        }));
        Locked([&] {
            EXPECT_EQ(recorder.Count(kBoardRemovedEvent, "", mark), static_cast<size_t>(c.boards));
        });
    }
}

}  // namespace
