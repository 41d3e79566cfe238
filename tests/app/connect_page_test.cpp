// The connect page against a fixture device tree for the port list, and
// against eboard-sim for the ports it opens.
#include "app/connect_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "boards/multi_board_protocol.h"
#include "boards/single_board_protocol.h"
#include "tests/platform/sysfs_fixture.h"
#include "tests/system/sim_runner.h"

namespace {

using namespace QVRProjects;
using app::CellEditor;
using app::ConnectPage;
using systemtest::Locked;
using systemtest::SimProcess;
using systemtest::WaitFor;

int32_t ExpectedBoardsOf(CQVRBoardProtocol* protocol) {
    if (auto* bus = dynamic_cast<CQVRMultiBoardProtocol*>(protocol)) return bus->expectedBoards;
    if (auto* cable = dynamic_cast<CQVRSingleBoardProtocol*>(protocol)) return cable->expectedBoards;
    return -1;
}

// Records what the page asks of the rest of the window. Board events arrive
// on port workers inside the event lock; read them inside it too.
class FakeServices final : public app::WindowServices {
public:
    std::vector<std::pair<bool, std::string>> logs;
    std::vector<std::pair<CQVRBoard*, double>> packetRates;
    // A protocol's expected boards when its worker last opened the port.
    std::map<const CQVRBoardProtocol*, int32_t> expectedAtOpening;
    std::map<const CQVRBoardProtocol*, int> boardsRemoved;

    void Log(bool isError, std::string_view text) override { logs.emplace_back(isError, text); }
    void AppendMemoLine(std::string_view) override {}
    void StopAll() override {}
    CQVR_EventHandler BoardEventHandler() override {
        return [this](CQVR_Event_Data* event) {
            if (event->code == EventCode::BoardRemoved) ++boardsRemoved[event->protocol];
            if (event->protocol && event->code == EventCode::StatusLine &&
                event->Text().find("Opening") != std::string_view::npos)
                expectedAtOpening[event->protocol] = ExpectedBoardsOf(event->protocol);
        };
    }
    void ButtonDisconnectClick() override {}
    void ExecuteBoardCommand(TAE_Object*, CQVRBoard*, std::string_view) override {}
    void UpdateOverviewRow(TAE_Event&) override {}
    void SetPacketRate(CQVRBoard* board, double rate) override { packetRates.emplace_back(board, rate); }
    void ForgetBoardObject(TAE_Object*) override {}
    // The page resets its own rows; the window would hand this call back to it.
    void ResetPortRates(CQVRBoardProtocol*) override {}
};

using Row = std::array<std::string, 4>;

class ConnectPageTest : public ::testing::Test {
protected:
    ConnectPageTest() {
        state.portEnumerator = std::make_unique<TScanComs>(sys.Root());
        state.boardInterface = std::make_unique<CQVRBoardInterface>();
        page = std::make_unique<ConnectPage>(state, services);
    }

    Row RowTexts(int row) {
        Row texts;
        Locked([&] {
            for (int col = 0; col < 4; ++col) texts[static_cast<std::size_t>(col)] = state.portGrid.Text(col, row);
        });
        return texts;
    }
    CQVRBoardProtocol* ProtocolOf(int row) {
        CQVRBoardProtocol* protocol = nullptr;
        Locked([&] { protocol = static_cast<CQVRBoardProtocol*>(state.portGrid.Cell(ConnectPage::kCablingCol, row).ref); });
        return protocol;
    }
    int AddPort(const std::string& name) {
        int row = -1;
        Locked([&] { row = page->AddPortByName(name); });
        return row;
    }
    // The simulator's pseudo-terminal by its port name ("pts/N"): discovery does not list it.
    static std::string PortOf(const SimProcess& sim) {
        char target[256] = {};
        const ssize_t n = readlink(("/dev/" + sim.Port()).c_str(), target, sizeof target - 1);
        const std::string path = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
        return path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
    }

    // Declared first, so that it outlives the board interface, which announces removals to it.
    FakeServices services;
    testing_platform::SysfsFixture sys;
    app::WindowState state;
    std::unique_ptr<ConnectPage> page;
};

TEST_F(ConnectPageTest, WithoutDiscoveredPortsOffersEightBuses) {
    sys.AddVirtualConsole();
    // A second fill rebuilds the rows instead of adding to them.
    Locked([&] {
        page->FillPortGrid();
        page->FillPortGrid();
    });
    ASSERT_EQ(state.portGrid.RowCount(), 9);
    EXPECT_EQ(RowTexts(0), (Row{"Port", "Cabling type", "#Connected", "#Active"}));
    for (int row = 1; row <= 8; ++row) {
        const std::string name = "ttyS" + std::to_string(row - 1);
        EXPECT_EQ(RowTexts(row), (Row{name, "Serial Bus", "auto", "0"}));
        const app::GridCell& port = state.portGrid.Cell(ConnectPage::kPortCol, row);
        EXPECT_TRUE(port.hasCheckBox);
        EXPECT_FALSE(port.checked);
        ASSERT_EQ(port.ref, state.portEnumerator->At(static_cast<std::size_t>(row - 1)));
        EXPECT_EQ(static_cast<TSerialPortInfo*>(port.ref)->displayText, name);
        EXPECT_EQ(ProtocolOf(row), nullptr);
    }
    EXPECT_TRUE(services.logs.empty());
}

TEST_F(ConnectPageTest, UsbPortProposesOneBoardOnItsOwnCable) {
    sys.AddUsbAdapter();
    sys.AddMainboardPort();
    Locked([&] { page->FillPortGrid(); });
    ASSERT_EQ(state.portGrid.RowCount(), 3);
    EXPECT_EQ(RowTexts(1), (Row{"ttyS0", "Serial Bus", "auto", "0"}));
    EXPECT_EQ(RowTexts(2), (Row{"ttyUSB0 USB", "USB", "1", "0"}));
    EXPECT_EQ(state.portEnumerator->At(1)->displayText, "ttyUSB0 USB");
}

TEST_F(ConnectPageTest, PortsAddedByNameKeepDiscoveryAndAppearOnce) {
    sys.AddMainboardPort();
    // Before the grid is filled: the system's ports must still be listed.
    EXPECT_EQ(AddPort("pts/7"), 1);
    Locked([&] { page->FillPortGrid(); });
    ASSERT_EQ(state.portGrid.RowCount(), 3);
    EXPECT_EQ(RowTexts(1), (Row{"ttyS0", "Serial Bus", "auto", "0"}));
    EXPECT_EQ(RowTexts(2), (Row{"pts/7", "Serial Bus", "auto", "0"}));
    EXPECT_EQ(AddPort("PTS/7"), 2);
    EXPECT_EQ(state.portGrid.RowCount(), 3);

    EXPECT_EQ(AddPort("../etc/passwd"), -1);
    EXPECT_EQ(state.portGrid.RowCount(), 3);
    ASSERT_EQ(services.logs.size(), 1u);
    EXPECT_TRUE(services.logs[0].first);
}

class ConnectPageEditTest : public ConnectPageTest {
protected:
    // Row 1: bus, row 2: USB cable, row 3: bus with its box ticked.
    ConnectPageEditTest() {
        sys.AddMainboardPort();
        sys.AddUsbAdapter();
        Locked([&] {
            page->FillPortGrid();
            page->AddPortByName("pts/7");
            // Ticked as the view shows it; no port is opened for this.
            state.portGrid.Edit(ConnectPage::kPortCol, 3)->checked = true;
        });
    }
};

TEST_F(ConnectPageEditTest, CablingAndCountAreEditableOnlyWhileThePortIsOff) {
    const struct {
        int row, col;
        bool editable;
    } cases[] = {
        {0, 0, false}, {0, 1, false},                                // header
        {1, 0, true},  {1, 1, true},  {1, 2, true},  {1, 3, false},  // bus, off
        {2, 0, true},  {2, 1, true},  {2, 2, false}, {2, 3, false},  // cable: one board
        {3, 0, true},  {3, 1, false}, {3, 2, false}, {3, 3, false},  // bus, on
        {4, 0, false}, {1, 4, false},                                // outside
    };
    Locked([&] {
        for (const auto& c : cases)
            EXPECT_EQ(page->AdvStringGrid1CanEditCell(c.row, c.col), c.editable) << c.row << "," << c.col;
        // An edit that comes anyway leaves a running port as it is.
        page->AdvStringGrid1EditChange(ConnectPage::kCablingCol, "USB", 3);
        page->AdvStringGrid1EditChange(ConnectPage::kConnectedCol, "4", 2);
    });
    EXPECT_EQ(RowTexts(3), (Row{"pts/7", "Serial Bus", "auto", "0"}));
    EXPECT_EQ(RowTexts(2), (Row{"ttyUSB0 USB", "USB", "1", "0"}));
}

TEST_F(ConnectPageEditTest, EditorsOfferTheCablingsAndTheCountsThatFit) {
    const std::vector<std::string> cablings{"Serial Bus", "Serial", "USB", "Ambient"};
    const std::vector<std::string> busCounts{"auto", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
    Locked([&] {
        CellEditor editor = page->AdvStringGrid1GetEditorType(ConnectPage::kCablingCol, 2);
        EXPECT_EQ(editor.kind, CellEditor::Kind::DropDownList);
        EXPECT_EQ(editor.items, cablings);
        editor = page->AdvStringGrid1GetEditorType(ConnectPage::kConnectedCol, 1);
        EXPECT_EQ(editor.kind, CellEditor::Kind::DropDownList);
        EXPECT_EQ(editor.items, busCounts);
        editor = page->AdvStringGrid1GetEditorType(ConnectPage::kConnectedCol, 2);
        EXPECT_EQ(editor.kind, CellEditor::Kind::DropDownList);
        EXPECT_EQ(editor.items, std::vector<std::string>{"1"});
        for (const int col : {ConnectPage::kPortCol, ConnectPage::kActiveCol}) {
            editor = page->AdvStringGrid1GetEditorType(col, 1);
            EXPECT_EQ(editor.kind, CellEditor::Kind::Text);
            EXPECT_TRUE(editor.items.empty());
        }
    });
}

TEST_F(ConnectPageEditTest, CablingChangeResetsTheCount) {
    Locked([&] {
        page->AdvStringGrid1EditChange(ConnectPage::kConnectedCol, "4", 1);
        EXPECT_EQ(state.portGrid.Text(ConnectPage::kConnectedCol, 1), "4");
        page->AdvStringGrid1EditChange(ConnectPage::kCablingCol, "USB", 1);
        EXPECT_EQ(state.portGrid.Text(ConnectPage::kCablingCol, 1), "USB");
        EXPECT_EQ(state.portGrid.Text(ConnectPage::kConnectedCol, 1), "1");
        page->AdvStringGrid1EditChange(ConnectPage::kCablingCol, "Serial Bus", 2);
        EXPECT_EQ(state.portGrid.Text(ConnectPage::kConnectedCol, 2), "auto");
    });
}

TEST_F(ConnectPageEditTest, AmbientCablingOpensNothing) {
    Locked([&] {
        page->AdvStringGrid1EditChange(ConnectPage::kCablingCol, "Ambient", 1);
        page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, 1, true);
        EXPECT_TRUE(state.portGrid.Cell(ConnectPage::kPortCol, 1).checked);
        EXPECT_EQ(state.portGrid.Cell(ConnectPage::kCablingCol, 1).ref, nullptr);
        EXPECT_EQ(state.boardInterface->protocols.Count(), 0);
    });
}

TEST_F(ConnectPageTest, TickingABusSetsTheExpectedBoardsBeforeOpening) {
    const struct {
        const char* count;
        int32_t expected;
    } cases[] = {{"auto", 0}, {"3", 3}};
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        SimProcess sim({"--bus", "3"});
        ASSERT_TRUE(sim.Ready());
        const std::string port = PortOf(sim);
        row = AddPort(port);
        ASSERT_GT(row, 0) << port;
        Locked([&] {
            // A pseudo-terminal's number may come again, and with it the row and its protocol.
            services.expectedAtOpening.clear();
            page->AdvStringGrid1EditChange(ConnectPage::kConnectedCol, c.count, row);
            page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, true);
        });
        CQVRBoardProtocol* bus = ProtocolOf(row);
        ASSERT_NE(bus, nullptr);
        Locked([&] {
            EXPECT_EQ(bus->gridRow, row);
            EXPECT_EQ(bus->cabling, "serialbus");
        });
        ASSERT_TRUE(WaitFor([&] { return services.expectedAtOpening.count(bus) == 1 && bus->Count() == 3; }, 60));
        Locked([&] {
            EXPECT_EQ(bus->portName, port);
            EXPECT_EQ(services.expectedAtOpening.at(bus), c.expected);
        });

        // Off: every board's rate goes off and "#Active" to "0".
        Locked([&] {
            state.portGrid.SetText(ConnectPage::kActiveCol, row, "3");
            services.packetRates.clear();
            page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, false);
            std::vector<std::pair<CQVRBoard*, double>> expected;
            for (CQVRBoard* board : *bus) expected.emplace_back(board, 0.0);
            EXPECT_EQ(services.packetRates, expected);
            EXPECT_EQ(state.portGrid.Text(ConnectPage::kActiveCol, row), "0");
            EXPECT_FALSE(state.portGrid.Cell(ConnectPage::kPortCol, row).checked);
        });
        EXPECT_TRUE(WaitFor([&] { return bus->IsStopped(); }, 60));
    }
}

TEST_F(ConnectPageTest, CablingChangeEndsTheProtocolWhileItsWorkerStillReports) {
    SimProcess sim({"--bus", "2"});
    ASSERT_TRUE(sim.Ready());
    const int row = AddPort(PortOf(sim));
    ASSERT_GT(row, 0);
    Locked([&] { page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, true); });
    CQVRBoardProtocol* bus = ProtocolOf(row);
    ASSERT_NE(bus, nullptr);
    // Polling both boards, so that the worker reports all the time.
    ASSERT_TRUE(WaitFor(
        [&] {
            if (bus->Count() != 2) return false;
            for (const CQVRBoard* board : *bus)
                if (board->packets < 3) return false;
            return true;
        },
        60));

    // Off and a new cabling in one go: the worker is still polling and waits
    // for the lock that this thread holds.
    Locked([&] {
        // Time for the polling worker to come to its next report and block on the lock.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, false);
        page->AdvStringGrid1EditChange(ConnectPage::kCablingCol, "USB", row);
        EXPECT_EQ(state.portGrid.Text(ConnectPage::kConnectedCol, row), "1");
        EXPECT_EQ(state.portGrid.Cell(ConnectPage::kCablingCol, row).ref, nullptr);
        EXPECT_EQ(state.boardInterface->protocols.Count(), 0);
    });
    page->WaitForRetiredPorts();
    Locked([&] { EXPECT_EQ(services.boardsRemoved[bus], 2); });

    // The next tick makes a protocol of the new kind.
    Locked([&] { page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, true); });
    CQVRBoardProtocol* cable = ProtocolOf(row);
    ASSERT_NE(cable, nullptr);
    Locked([&] {
        EXPECT_NE(dynamic_cast<CQVRSingleBoardProtocol*>(cable), nullptr);
        EXPECT_EQ(cable->cabling, "USB");
        EXPECT_EQ(cable->gridRow, row);
        EXPECT_EQ(ExpectedBoardsOf(cable), 1);
        page->AdvStringGrid1CheckBoxClick(ConnectPage::kPortCol, row, false);
    });
}

// A node report of n bytes with the given bytes set.
CQVR_Event_Data NodeReport(int n, std::initializer_list<std::pair<int, unsigned char>> bytes) {
    std::vector<unsigned char> text(static_cast<std::size_t>(n), 0);
    for (const auto& [at, value] : bytes) text[static_cast<std::size_t>(at)] = value;
    CQVR_Event_Data event;
    event.Build(109, nullptr, nullptr, text.data(), n);
    return event;
}

TEST_F(ConnectPageTest, NodeReportsFillTheWirelessGrid) {
    using Cells = std::vector<std::string>;
    auto rowOf = [&](int row) {
        Cells cells;
        for (int col = 0; col < state.wirelessGrid.ColCount(); ++col) cells.push_back(state.wirelessGrid.Text(col, row));
        return cells;
    };
    Locked([&] {
        // Too short: only the header.
        page->ShowNodeReport(NodeReport(10, {{3, 1}, {1, 5}}));
        EXPECT_EQ(rowOf(0), (Cells{"Address", "Hops", "Congestion", "Neighbours", "Average queue 0-8", "Priority"}));
        EXPECT_EQ(state.wirelessGrid.RowCount(), 10);
        for (int row = 1; row < 10; ++row) EXPECT_EQ(rowOf(row), Cells(6));

        // The shortest report: row byte t[4], address t[5..10], overlapping the fields.
        page->ShowNodeReport(NodeReport(11, {{1, 1}, {4, 0}, {5, 0x10}, {6, 0xF0}, {7, 0xF0}, {10, 0x7F}}));
        EXPECT_EQ(rowOf(1), (Cells{"10f0f000007f", "1", "-16", "127", "-2", "0"}));

        page->ShowNodeReport(NodeReport(20, {{1, 0xFD}, {6, 5}, {7, 3}, {10, 0x80}, {13, 11},
                                             {14, 0x00}, {15, 0xAB}, {16, 0x12}, {17, 0xFF}, {18, 0x7F}, {19, 0x80}}));
        ASSERT_EQ(state.wirelessGrid.RowCount(), 13);
        EXPECT_EQ(rowOf(12), (Cells{"00ab12ff7f80", "-3", "5", "-128", "0.375", "0"}));

        // Node -1 would overwrite the header.
        page->ShowNodeReport(NodeReport(11, {{4, 0xFE}, {1, 9}}));
        page->ShowNodeReport(NodeReport(11, {{4, 0xFF}, {1, 9}}));
        EXPECT_EQ(rowOf(0)[1], "Hops");
    });
}

TEST_F(ConnectPageTest, WirelessGridGrowsToTheEditedCell) {
    Locked([&] {
        page->EditAdvStringGrid3(7, 12, "x");
        EXPECT_EQ(state.wirelessGrid.ColCount(), 8);
        EXPECT_EQ(state.wirelessGrid.RowCount(), 13);
        EXPECT_EQ(state.wirelessGrid.Text(7, 12), "x");
        page->EditAdvStringGrid3(1, 2, "y");
        EXPECT_EQ(state.wirelessGrid.ColCount(), 8);
        EXPECT_EQ(state.wirelessGrid.Text(1, 2), "y");
        for (int col = 0; col < 8; ++col)
            EXPECT_EQ(page->AdvStringGrid3CanEditCell(1, col), col == ConnectPage::kPriorityCol) << col;
    });
}

}  // namespace
