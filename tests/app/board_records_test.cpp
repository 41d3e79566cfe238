#include "app/board_records.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/safe_names.h"
#include "boards/board_interface.h"
#include "boards/board_protocol.h"

namespace {

using QVRProjects::CQVR_Event_Data;
using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;

// A protocol without a port: the test adds and deletes its boards.
class TestProtocol : public CQVRBoardProtocol {
public:
    TestProtocol(std::string_view cablingName, std::string_view port, bool activeWithoutTraffic = false)
        : CQVRBoardProtocol(cablingName, {}), activeWithoutTraffic_(activeWithoutTraffic) {
        portName = port;
    }
    CQVRBoard* Add(uint32_t address) { return AddBoard(address); }

    void Send(int32_t, const uint8_t*, int32_t, int32_t, int32_t, bool) override {}
    bool ActiveWithoutTraffic() const override { return activeWithoutTraffic_; }
    void SetExpectedBoards(int32_t) override {}
    bool Open(std::string_view) override { return true; }
    void Stop() override {}
    bool IsStopped() override { return true; }
    bool HasFailed() override { return false; }
    void UserCommand(int32_t, std::string_view, int32_t) override {}

private:
    bool activeWithoutTraffic_;
};

struct Command {
    TAE_Object* object;
    CQVRBoard* board;
    std::string word;
};

class FakeServices : public app::WindowServices {
public:
    std::vector<Command> commands;

    void Log(bool, std::string_view) override {}
    void AppendMemoLine(std::string_view) override {}
    void StopAll() override {}
    QVRProjects::CQVR_EventHandler BoardEventHandler() override { return {}; }
    void ButtonDisconnectClick() override {}
    // Touches the board as the real one does, so that a board kept past its
    // deletion shows up under the address sanitizer.
    void ExecuteBoardCommand(TAE_Object* object, CQVRBoard* board, std::string_view word) override {
        commands.push_back({object, board, std::string(word)});
        if (word == "rotateclock") board->clocksSwapped = 1 - board->clocksSwapped;
    }
    void UpdateOverviewRow(TAE_Event&) override {}
    void SetPacketRate(CQVRBoard*, double) override {}
    void ForgetBoardObject(TAE_Object*) override {}
    void ResetPortRates(CQVRBoardProtocol*) override {}
};

class RecordingView : public app::BoardViewWindow {
public:
    std::vector<std::string> names;
    std::vector<int> overviewRowsSeen;
    const app::StringGrid* grid = nullptr;

    void OnBoardChange(TAE_Event& event) override {
        names.push_back(event.value ? event.value->name : "");
        overviewRowsSeen.push_back(grid->RowCount());
    }
    void Show() override {}
};

class BoardRecordsTest : public ::testing::Test {
protected:
    BoardRecordsTest() {
        state.uid = "_k3_";
        state.root = std::make_unique<TAE_Root>();
        state.root->AddHandler(&RouteTreeEvent, this);
        state.clientObject = state.root->FindObject("MERK", true);
        state.boardsCollection = state.clientObject->FindCollection("[boards]", true);
        state.connectionsCollection = state.clientObject->FindCollection("[connections]", true);
        state.gucsCollection = state.clientObject->FindCollection("[gucs]", true);
        state.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
        state.boardInterface->computerName = "HALL3";
        state.portGrid.SetRowCount(3);
        bus.gridRow = 2;
    }

    // What the window's tree handler does for board objects: value changes of
    // an object with "busadres" go to the overview, a deleted object is forgotten.
    static void RouteTreeEvent(void* self, TAE_Event* event) {
        auto& test = *static_cast<BoardRecordsTest*>(self);
        TAE_Object* object = event->object;
        if (object == nullptr || object->owner != test.state.boardsCollection) return;
        if (event->deleted && event->value == nullptr && event->key == nullptr) {
            test.records.ForgetBoardObject(object);
            return;
        }
        if (event->value == nullptr || object->FindValue("busadres", false) == nullptr) return;
        if (event->value->name == "busadres" && !event->deleted)
            test.announcedWithoutBoard.push_back(object->ptrTags[0] == nullptr);
        test.records.UpdateOverviewRow(*event);
    }

    CQVRBoard* AddRegistered(TestProtocol& protocol, uint32_t address) {
        CQVRBoard* board = protocol.Add(address);
        CQVR_Event_Data event;
        event.Build(QVRProjects::EventCode::BoardFound, board, &protocol, "");
        records.RegisterBoard(&event);
        return board;
    }

    // An object as the server makes it, with a row in the overview.
    TAE_Object* ServerObject(std::string_view name, std::string_view busadres) {
        TAE_Object* object = state.boardsCollection->FindMember(name, true);
        object->SetValue("busadres", busadres);
        return object;
    }

    const app::GridCell& Cell(int col, int row) const { return state.overviewGrid.Cell(col, row); }

    app::WindowState state;
    FakeServices services;
    app::BoardRecords records{state, services};
    TestProtocol bus{"serialbus", "COM4"};
    std::vector<bool> announcedWithoutBoard;
};

TEST_F(BoardRecordsTest, RegisteringABoardBuildsItsObjectTheConnectionAndTheComputer) {
    CQVRBoard* board = AddRegistered(bus, 17);

    TAE_Object* object = state.boardsCollection->FindMember("QVR_HALL3_serialbus_COM4_17", false);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(board->treeObject, object);
    EXPECT_EQ(object->ptrTags[0], board);
    EXPECT_EQ(object->GetValue("busadres"), "17");
    EXPECT_EQ(object->GetValue("ambientnode"), "000000000000");
    EXPECT_EQ(object->GetValue("scancount"), "0\r\n");
    EXPECT_EQ(object->GetValue("sequence"), "#\r\n");
    // The first value went out while the board was not yet attached, which
    // is what announces a new object to the server.
    EXPECT_EQ(announcedWithoutBoard, std::vector<bool>{true});

    TAE_Object* connection = state.connectionsCollection->FindMember("_k3_", false);
    TAE_Object* computer = state.gucsCollection->FindMember("g_k3_", false);
    ASSERT_NE(connection, nullptr);
    ASSERT_NE(computer, nullptr);
    ASSERT_NE(object->FindKey("connection", false), nullptr);
    EXPECT_EQ(object->FindKey("connection", false)->target, connection);
    ASSERT_NE(connection->FindKey("guc", false), nullptr);
    EXPECT_EQ(connection->FindKey("guc", false)->target, computer);
    EXPECT_EQ(computer->GetValue("pcname"), app::SafeComputerName());
    EXPECT_EQ(computer->GetValue("username"), app::SafeUserName());

    EXPECT_EQ(state.portGrid.Text(2, 2), "1");
    EXPECT_EQ(state.portGrid.Text(3, 2), "1");

    ASSERT_EQ(state.overviewGrid.RowCount(), 2);
    EXPECT_EQ(state.overviewGrid.Text(1, 0), "Board");
    EXPECT_EQ(state.overviewGrid.Text(8, 0), "Blackplayer");
    EXPECT_EQ(object->intTags[0], 1);
    EXPECT_EQ(records.RowObject(1), object);
    EXPECT_EQ(Cell(0, 1).fontColour, app::Colour::White);
    EXPECT_EQ(Cell(1, 1).text, "17");

    AddRegistered(bus, 18);
    EXPECT_EQ(state.portGrid.Text(2, 2), "2");
    EXPECT_EQ(state.overviewGrid.RowCount(), 3);
    EXPECT_EQ(Cell(1, 2).text, "18");
}

TEST_F(BoardRecordsTest, ObjectNameCarriesTheProtocolOnlyWhenTheBoardHasOne) {
    TestProtocol usb{"USB", "ttyUSB0"};
    TestProtocol odd{"Serial", "shm/a.b c"};
    CQVRBoard loose(5, {});
    EXPECT_EQ(records.BoardObjectName(&loose), "QVR_HALL3_5");
    EXPECT_EQ(records.BoardObjectName(usb.Add(1)), "QVR_HALL3_USB_ttyUSB0_1");
    // Separators of the statements would split the name on the wire.
    EXPECT_EQ(records.BoardObjectName(odd.Add(2)), "QVR_HALL3_Serial_shm/a_b_c_2");
}

TEST_F(BoardRecordsTest, EventsWithoutBoardAndBoardsWithoutObjectAreIgnored) {
    CQVR_Event_Data event;
    event.Build(QVRProjects::EventCode::BoardFound, nullptr, &bus, "");
    records.RegisterBoard(&event);
    records.RegisterBoard(nullptr);
    CQVRBoard* unregistered = bus.Add(3);
    records.PublishPositions(unregistered);
    records.PublishClock1(unregistered);
    records.PublishClock2(unregistered);
    records.PublishErrors(unregistered);
    records.SetPacketRate(unregistered, 5.0);
    records.PublishPacketCount(unregistered);
    records.PublishErrors(nullptr);
    EXPECT_EQ(state.boardsCollection->members.Count(), 0);
    EXPECT_EQ(state.overviewGrid.RowCount(), 1);
}

TEST_F(BoardRecordsTest, ClockValuesFollowTheStatusAndTheSwap) {
    const struct {
        uint32_t status;
        uint8_t swapped;
        bool second;  // PublishClock2, else PublishClock1
        const char* state;
        const char* battery;  // "" when not written
        const char* key;
        const char* value;
    } cases[] = {
        {0x20, 0, true, "none", "", "clockwhite", "n/a"},
        {0x20, 1, true, "none", "", "clockblack", "n/a"},
        {0x20, 0, false, "none", "", "clockblack", "n/a"},
        {0x11, 0, true, "whiterunning", "ok", "clockwhite", "2:05.09"},
        {0x11, 1, true, "blackrunning", "ok", "clockblack", "2:05.09"},
        {0x09, 0, false, "blackrunning", "ok", "clockblack", "0:59.00"},
        {0x09, 1, false, "whiterunning", "ok", "clockwhite", "0:59.00"},
        // The other side's running bit leaves the state alone.
        {0x09, 0, true, "stopped", "ok", "clockwhite", "2:05.09"},
        {0x04, 0, true, "stopped", "low", "clockwhite", "2:05.09"},
        {0x10, 0, true, "stopped", "ok", "clockwhite", "2:05.09"},
    };
    uint32_t address = 0;
    for (const auto& c : cases) {
        CQVRBoard* board = AddRegistered(bus, ++address);  // status 0 publishes "stopped"
        TAE_Object* object = board->treeObject;
        object->RemoveMember("clockbattery");
        object->RemoveMember("clockwhite");
        object->RemoveMember("clockblack");
        board->clockStatus = c.status;
        board->clocksSwapped = c.swapped;
        board->clock2Hours = 2, board->clock2Minutes = 5, board->clock2Seconds = 9;
        board->clock1Hours = 0, board->clock1Minutes = 59, board->clock1Seconds = 0;
        c.second ? records.PublishClock2(board) : records.PublishClock1(board);

        const std::string where = "status " + std::to_string(c.status) + " swapped " + std::to_string(c.swapped) +
                                  (c.second ? " clock2" : " clock1");
        EXPECT_EQ(object->GetValue("clockstate"), c.state) << where;
        EXPECT_EQ(object->GetValue("clockbattery"), c.battery) << where;
        EXPECT_EQ(object->GetValue(c.key), c.value) << where;
        const std::string other = std::string(c.key) == "clockwhite" ? "clockblack" : "clockwhite";
        EXPECT_EQ(object->GetValue(other), "") << where;
    }
}

TEST_F(BoardRecordsTest, OverviewShowsClockStateStyleAndBattery) {
    CQVRBoard* board = AddRegistered(bus, 17);
    TAE_Object* object = board->treeObject;
    const int row = object->intTags[0];
    auto col4 = [&] { return Cell(4, row); };
    auto col5 = [&] { return Cell(5, row); };

    board->clock2Hours = 2, board->clock2Minutes = 5, board->clock2Seconds = 9;
    board->clockStatus = 0x11;
    records.PublishClock2(board);
    EXPECT_EQ(col4().text, "2:05.09");
    EXPECT_EQ(col4().fontStyle, app::FontStyle::Underline);
    EXPECT_EQ(col5().fontStyle, 0);
    EXPECT_EQ(col4().fontColour, app::Colour::Black);
    EXPECT_EQ(col4().background, app::Colour::White);

    // Running with a low battery: the state stays, the backgrounds turn red.
    board->clockStatus = 0x05;
    records.PublishClock2(board);
    EXPECT_EQ(object->GetValue("clockstate"), "whiterunning");
    EXPECT_EQ(object->GetValue("clockbattery"), "low");
    EXPECT_TRUE(col4().hasBackground);
    EXPECT_EQ(col4().background, app::Colour::Red);
    EXPECT_EQ(col5().background, app::Colour::Red);

    board->clockStatus = 0x09;
    records.PublishClock1(board);
    EXPECT_EQ(col4().fontStyle, 0);
    EXPECT_EQ(col5().fontStyle, app::FontStyle::Underline);

    board->clockStatus = 0x04;
    records.PublishClock2(board);
    EXPECT_EQ(col4().fontColour, app::Colour::Silver);
    EXPECT_EQ(col5().fontColour, app::Colour::Silver);

    board->clockStatus = 0x20;
    records.PublishClock2(board);
    EXPECT_EQ(col4().text, "n/a");
    EXPECT_EQ(col5().text, "n/a");
    EXPECT_EQ(col4().fontColour, app::Colour::Black);
}

TEST_F(BoardRecordsTest, PositionsErrorsAndCountsArePublished) {
    CQVRBoard* board = AddRegistered(bus, 17);
    TAE_Object* object = board->treeObject;
    const int row = object->intTags[0];
    board->updates = 12;
    board->errors = 3;
    board->packets = 456;
    board->nodeBytes[0] = 0x0a;
    board->nodeBytes[5] = 0xff;
    int8_t cells[CQVRBoard::kCells] = {};
    cells[CQVRBoard::CellOfSquare(0)] = QVRProjects::PieceCode::BlackMan;
    board->AddPosition(cells);

    records.PublishPositions(board);
    records.PublishErrors(board);
    records.PublishPacketCount(board);
    EXPECT_EQ(object->GetValue("scancount"), "12\r\n");
    const std::string sequence = object->GetValue("sequence");
    EXPECT_EQ(sequence.rfind("@0:", 0), 0u) << sequence;
    EXPECT_EQ(sequence.substr(sequence.size() - 2), "\r\n");
    EXPECT_NE(sequence, "#\r\n");
    EXPECT_EQ(object->GetValue("ambientnode"), "0a00000000ff");
    EXPECT_EQ(object->GetValue("errors"), "3");
    EXPECT_EQ(object->GetValue("packetsreceived"), "456");
    EXPECT_EQ(Cell(3, row).text, "12\r\n");
    EXPECT_EQ(Cell(6, row).text, "3");
}

TEST_F(BoardRecordsTest, PacketRateCutsTheFractionOrReadsOff) {
    TestProtocol alwaysActive{"serialbus", "COM5", true};
    CQVRBoard* board = AddRegistered(bus, 17);
    CQVRBoard* quiet = AddRegistered(alwaysActive, 1);
    const struct {
        CQVRBoard* board;
        double rate;
        const char* text;
        uint32_t background;
    } cases[] = {
        {board, 0.6, "0", app::Colour::Green},  // 3 packets in 5 seconds counts as active
        {board, 0.0, "off", app::Colour::Red},
        {board, 0.1, "off", app::Colour::Red},
        {board, 12.9, "12", app::Colour::Green},
        {board, 1e300, "1000000000000000", app::Colour::Green},
        {quiet, 0.0, "0", app::Colour::Green},
    };
    for (const auto& c : cases) {
        records.SetPacketRate(c.board, c.rate);
        const int row = c.board->treeObject->intTags[0];
        EXPECT_EQ(c.board->treeObject->GetValue("packetrate"), c.text) << c.rate;
        EXPECT_EQ(Cell(0, row).text, c.text) << c.rate;
        EXPECT_EQ(Cell(0, row).background, c.background) << c.rate;
        EXPECT_EQ(Cell(0, row).fontColour, app::Colour::White);
    }
}

TEST_F(BoardRecordsTest, RemoteRatesComeFromTheCountOfObjectsWithoutBoard) {
    TAE_Object* remote = ServerObject("QVR_OTHER_serialbus_COM1_4", "4");
    remote->SetValue("packetrate", "off");
    CQVRBoard* board = AddRegistered(bus, 17);
    records.SetPacketRate(board, 7.0);
    records.PublishPacketCount(board);

    const struct {
        const char* count;
        const char* rate;
    } steps[] = {
        {"1000", "off"},  // the first count seen only sets the base
        {"1050", "2"},    // 2.5 per second goes to the even neighbour
        {"1050", "off"},  // no change for a period
        {"1055", "off"},  // 0.25 rounds to 0
        {"1085", "2"},    // 1.5 goes to 2
        {"1500", "2"},    // moving on: not recomputed
        {"1500", "off"},
        {"abc", "off"},  // not a count: skipped
        {"1530", "2"},   // against the last real count
    };
    for (const auto& step : steps) {
        remote->SetValue("packetsreceived", step.count);
        records.UpdateRemoteRates();
        EXPECT_EQ(remote->GetValue("packetrate"), step.rate) << step.count;
        EXPECT_EQ(Cell(0, remote->intTags[0]).text, step.rate) << step.count;
    }
    // An object with a local e-board keeps the rate its board measured.
    EXPECT_EQ(board->treeObject->GetValue("packetrate"), "7");
}

TEST_F(BoardRecordsTest, RateTextsFromTheServerThatAreNoNumbersShowOff) {
    TAE_Object* remote = ServerObject("QVR_OTHER_5", "5");
    const int row = remote->intTags[0];
    const struct {
        const char* text;
        const char* shown;
        uint32_t background;
    } cases[] = {
        {"+7", "7", app::Colour::Green},     {"007", "7", app::Colour::Green}, {"12abc", "off", app::Colour::Red},
        {"", "off", app::Colour::Red},       {"+-3", "off", app::Colour::Red}, {"99999999999999999999", "off", app::Colour::Red},
        {"fast", "off", app::Colour::Red},
    };
    for (const auto& c : cases) {
        remote->SetValue("packetrate", c.text);
        EXPECT_EQ(Cell(0, row).text, c.shown) << c.text;
        EXPECT_EQ(Cell(0, row).background, c.background) << c.text;
    }
    // A rate that is no number counts as off, so a moving count gets a rate.
    remote->SetValue("packetsreceived", "100");
    records.UpdateRemoteRates();
    remote->SetValue("packetsreceived", "200");
    records.UpdateRemoteRates();
    EXPECT_EQ(remote->GetValue("packetrate"), "5");
}

TEST_F(BoardRecordsTest, OverviewRowTakesEveryListedKey) {
    TAE_Object* object = ServerObject("QVR_OTHER_8", "8");
    const int row = object->intTags[0];
    const struct {
        const char* key;
        int col;
    } cases[] = {{"busadres", 1}, {"table", 2}, {"scancount", 3}, {"clockwhite", 4},
                 {"clockblack", 5}, {"errors", 6}, {"whiteplayer", 7}, {"blackplayer", 8}};
    for (const auto& c : cases) {
        const std::string text = std::string("v-") + c.key;
        object->SetValue(c.key, text);
        EXPECT_EQ(Cell(c.col, row).text, text) << c.key;
    }
    const auto revision = state.overviewGrid.Revision();
    object->SetValue("history", "@0:xyz");
    object->SetValue("clientid", "12");
    EXPECT_EQ(state.overviewGrid.Revision(), revision);
    // An object without "busadres" gets no row.
    state.boardsCollection->FindMember("QVR_NOADDRESS", true)->SetValue("table", "3");
    EXPECT_EQ(state.overviewGrid.RowCount(), 2);
}

TEST_F(BoardRecordsTest, CommandsReachOnlyObjectsWithALocalBoard) {
    CQVRBoard* board = AddRegistered(bus, 17);
    TAE_Object* object = board->treeObject;
    TAE_Object* remote = ServerObject("QVR_OTHER_2", "2");

    object->SetValue("command", "rotateclock");
    ASSERT_EQ(services.commands.size(), 1u);
    EXPECT_EQ(services.commands[0].object, object);
    EXPECT_EQ(services.commands[0].board, board);
    EXPECT_EQ(services.commands[0].word, "rotateclock");

    remote->SetValue("command", "rotateclock");
    EXPECT_EQ(services.commands.size(), 1u);

    // Black's name set to a command word gives the command.
    object->SetValue("blackplayer", "history");
    ASSERT_EQ(services.commands.size(), 2u);
    EXPECT_EQ(object->GetValue("command"), "history");
    EXPECT_EQ(services.commands[1].word, "history");
    EXPECT_EQ(Cell(8, object->intTags[0]).text, "history");
    object->SetValue("blackplayer", "Jansen");
    EXPECT_EQ(object->GetValue("command"), "history");
}

TEST_F(BoardRecordsTest, EditingStoresTheCellLeftBeforeTheNextOpens) {
    TAE_Object* object = AddRegistered(bus, 17)->treeObject;
    const int row = object->intTags[0];

    EXPECT_TRUE(records.AdvStringGrid2CanEditCell(row, 2));
    state.overviewGrid.SetText(2, row, "14");
    EXPECT_EQ(object->GetValue("table"), "");
    EXPECT_TRUE(records.AdvStringGrid2CanEditCell(row, 7));
    EXPECT_EQ(object->GetValue("table"), "14");
    EXPECT_EQ(state.editRow, row);
    EXPECT_EQ(state.editCol, 7);

    state.overviewGrid.SetText(7, row, "de Vries");
    EXPECT_FALSE(records.AdvStringGrid2CanEditCell(row, 3));
    EXPECT_EQ(object->GetValue("whiteplayer"), "");
    EXPECT_EQ(state.editCol, 7);
    records.AdvStringGrid2EditingDone();
    EXPECT_EQ(object->GetValue("whiteplayer"), "de Vries");

    // Only rows with an object, and only the three text columns.
    for (int col : {0, 1, 3, 4, 5, 6}) EXPECT_FALSE(records.AdvStringGrid2CanEditCell(row, col)) << col;
    EXPECT_FALSE(records.AdvStringGrid2CanEditCell(0, 2));
    EXPECT_FALSE(records.AdvStringGrid2CanEditCell(row + 1, 2));
    records.CommitOverviewCell(0, 2);
    records.CommitOverviewCell(row, 1);
    EXPECT_EQ(object->GetValue("busadres"), "17");
}

TEST_F(BoardRecordsTest, AnOpenBoardViewSeesTheChangeBeforeTheRow) {
    RecordingView view;
    view.grid = &state.overviewGrid;
    TAE_Object* object = state.boardsCollection->FindMember("QVR_OTHER_3", true);
    object->ptrTags[5] = static_cast<app::BoardViewWindow*>(&view);
    object->SetValue("busadres", "3");
    object->SetValue("table", "9");
    EXPECT_EQ(view.names, (std::vector<std::string>{"busadres", "table"}));
    EXPECT_EQ(view.overviewRowsSeen, (std::vector<int>{1, 2}));
    EXPECT_EQ(Cell(2, 1).text, "9");
}

TEST_F(BoardRecordsTest, ARemovedBoardLeavesNoPointerBehind) {
    CQVRBoard* board = AddRegistered(bus, 17);
    TAE_Object* object = board->treeObject;
    const int row = object->intTags[0];

    records.BoardRemoved(board);
    EXPECT_EQ(board->treeObject, nullptr);
    EXPECT_EQ(object->ptrTags[0], nullptr);
    bus.Remove(board, true);

    // The object now counts as one without e-board: no command reaches the
    // deleted board, and its rate comes from its count.
    object->SetValue("command", "rotateclock");
    EXPECT_TRUE(services.commands.empty());
    object->SetValue("packetsreceived", "10");
    records.UpdateRemoteRates();
    EXPECT_EQ(object->intTags[3], 10);

    // The board found again after a restart gets its object and row back.
    CQVRBoard* again = AddRegistered(bus, 17);
    EXPECT_EQ(again->treeObject, object);
    EXPECT_EQ(object->ptrTags[0], again);
    EXPECT_EQ(object->intTags[0], row);
    EXPECT_EQ(state.overviewGrid.RowCount(), 2);
}

TEST_F(BoardRecordsTest, ABoardFoundUnderANewNameLeavesItsOldObjectWithoutEBoard) {
    CQVRBoard* board = AddRegistered(bus, 17);
    TAE_Object* old = board->treeObject;
    bus.portName = "COM6";
    CQVR_Event_Data event;
    event.Build(QVRProjects::EventCode::BoardFound, board, &bus, "");
    records.RegisterBoard(&event);

    EXPECT_EQ(board->treeObject->name, "QVR_HALL3_serialbus_COM6_17");
    EXPECT_EQ(old->ptrTags[0], nullptr);
    old->SetValue("command", "rotateclock");
    EXPECT_TRUE(services.commands.empty());
}

TEST_F(BoardRecordsTest, AnObjectDeletedByTheServerLeavesAGreyRowAndComesBackWithItsBoard) {
    CQVRBoard* board = AddRegistered(bus, 17);
    const std::string name = board->treeObject->name;
    const int row = board->treeObject->intTags[0];
    state.overviewGrid.SetText(2, row, "14");
    records.CommitOverviewCell(row, 2);

    ASSERT_TRUE(state.root->DeleteMember(name, ""));
    EXPECT_EQ(board->treeObject, nullptr);
    EXPECT_EQ(records.RowObject(row), nullptr);
    EXPECT_EQ(Cell(0, row).text, "");
    EXPECT_FALSE(Cell(0, row).hasBackground);
    EXPECT_EQ(Cell(1, row).text, "17");
    EXPECT_EQ(Cell(2, row).text, "14");
    for (int col = 0; col < 9; ++col) EXPECT_EQ(Cell(col, row).fontColour, app::Colour::Silver) << col;
    // The deleted object is out of reach of the grid.
    EXPECT_FALSE(records.AdvStringGrid2CanEditCell(row, 2));
    records.CommitOverviewCell(row, 2);
    records.AdvStringGrid2EditingDone();

    // The board's next publication brings its object back, announced as new,
    // on its old row.
    announcedWithoutBoard.clear();
    board->errors = 2;
    records.PublishErrors(board);
    TAE_Object* again = state.boardsCollection->FindMember(name, false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(board->treeObject, again);
    EXPECT_EQ(again->ptrTags[0], board);
    EXPECT_EQ(again->GetValue("errors"), "2");
    EXPECT_EQ(announcedWithoutBoard, std::vector<bool>{true});
    EXPECT_EQ(again->intTags[0], row);
    EXPECT_EQ(state.overviewGrid.RowCount(), 2);
    EXPECT_EQ(records.RowObject(row), again);
    EXPECT_EQ(Cell(1, row).fontColour, app::Colour::Black);
    EXPECT_EQ(Cell(0, row).fontColour, app::Colour::White);
    EXPECT_EQ(Cell(2, row).text, "");  // the table went with the old object
    EXPECT_EQ(Cell(6, row).text, "2");
}

TEST_F(BoardRecordsTest, AServerObjectDeletedAndMadeAgainTakesItsOldRow) {
    ServerObject("QVR_OTHER_6", "6");
    ServerObject("QVR_OTHER_7", "7");
    state.root->DeleteMember("QVR_OTHER_6", "");
    EXPECT_EQ(records.RowObject(1), nullptr);
    EXPECT_EQ(Cell(1, 1).text, "6");

    TAE_Object* again = ServerObject("QVR_OTHER_6", "6");
    EXPECT_EQ(again->intTags[0], 1);
    EXPECT_EQ(records.RowObject(1), again);
    EXPECT_EQ(state.overviewGrid.RowCount(), 3);
}

}  // namespace
