// The main window with its real parts: construction, showing, the timer, the
// board event dispatch, closing, and the board view. Ports are either small
// in-process protocols whose boards the tests set by hand, or a real serial
// bus on eboard-sim's pseudo-terminal.
#include "app/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/board_display.h"
#include "app/board_records.h"
#include "app/connect_page.h"
#include "app/event_log.h"
#include "app/safe_names.h"
#include "app/server_connection.h"
#include "boards/board_protocol.h"
#include "boards/event_lock.h"
#include "platform/dispatcher.h"
#include "platform/tick.h"

#ifndef EBOARD_SIM
#define EBOARD_SIM RUMO_BINARY_DIR "/tools/eboard-sim/eboard-sim"
#endif
#include "tests/system/rumo_server_process.h"
#include "tests/system/sim_runner.h"

namespace app {
namespace {

using QVRProjects::CQVR_Event_Data;
using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;
using QVRProjects::EventLock;
using QVRProjects::EventLockGuard;
namespace EventCode = QVRProjects::EventCode;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

class RecordingDisplay : public BoardDisplay {
public:
    struct Record {
        int shows = 0;
        std::vector<std::pair<std::string, std::string>> variables;
    };
    explicit RecordingDisplay(Record& record) : record_(record) {}
    void SetNoticeHandler(NoticeHandler) override {}
    void SetMovie(const std::string&) override {}
    void SetVariable(const std::string& name, const std::string& value) override {
        record_.variables.emplace_back(name, value);
    }
    void SetCaption(const std::string&) override {}
    void Show() override { ++record_.shows; }
    void Hide() override {}

private:
    Record& record_;
};

class RecordingUi : public UserInterface {
public:
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> questions;
    bool answer = false;
    int quits = 0;
    // One record per display made; records outlive the displays.
    std::vector<std::unique_ptr<RecordingDisplay::Record>> displays;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& title, const std::string& question) override {
        questions.emplace_back(title, question);
        return answer;
    }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }
    std::unique_ptr<BoardDisplay> CreateBoardDisplay() override {
        displays.push_back(std::make_unique<RecordingDisplay::Record>());
        return std::make_unique<RecordingDisplay>(*displays.back());
    }
    void Quit() override { ++quits; }
};

// A port whose boards the test makes and sets by hand; it counts what the
// window asks of it.
class HandPort final : public CQVRBoardProtocol {
public:
    explicit HandPort(QVRProjects::CQVR_EventHandler onEvent) : CQVRBoardProtocol("serialbus", onEvent) {}
    using CQVRBoardProtocol::AddBoard;

    bool failed = false;
    bool stopped = false;
    int stops = 0;
    std::vector<std::string> opened;

    void Send(int32_t, const uint8_t*, int32_t, int32_t, int32_t, bool) override {}
    void SetExpectedBoards(int32_t) override {}
    bool Open(std::string_view portText) override {
        opened.emplace_back(portText);
        failed = false;
        return true;
    }
    void Stop() override { ++stops; }
    bool IsStopped() override { return stopped; }
    bool HasFailed() override { return failed; }
    void UserCommand(int32_t, std::string_view, int32_t) override {}
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "main-window-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The simulator's pseudo-terminal by its port name ("pts/N"), which the port list takes.
std::string PseudoTerminalOf(const systemtest::SimProcess& sim) {
    char target[256] = {};
    const ssize_t n = readlink(("/dev/" + sim.Port()).c_str(), target, sizeof target - 1);
    const std::string path = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
    return path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.Path().empty()); }

    WindowState& State() { return window->State(); }
    StringGrid& Ports() { return State().portGrid; }

    // A port row holding a hand-made protocol, as the connect page leaves it.
    HandPort* AddHandPort(const std::string& text, bool ticked) {
        EventLockGuard lock(EventLock());
        auto* port = new HandPort(window->BoardEventHandler());
        State().boardInterface->protocols.Append(port);
        const int row = Ports().RowCount();
        Ports().SetRowCount(row + 1);
        GridCell* cell = Ports().Edit(0, row);
        cell->text = text;
        cell->hasCheckBox = true;
        cell->checked = ticked;
        Ports().Edit(1, row)->ref = static_cast<CQVRBoardProtocol*>(port);
        Ports().SetText(1, row, "Serial Bus");
        Ports().SetText(3, row, "0");
        port->gridRow = row;
        return port;
    }
    // A board found on the port, registered through the window's dispatch.
    CQVRBoard* AddBoard(HandPort* port, uint32_t address) {
        EventLockGuard lock(EventLock());
        CQVRBoard* board = port->AddBoard(address);
        board->RaiseEvent(EventCode::BoardFound, "");
        return board;
    }
    std::string Value(CQVRBoard* board, const char* key) {
        EventLockGuard lock(EventLock());
        return board->treeObject ? board->treeObject->GetValue(key) : "<no object>";
    }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) window->Timer1Timer();
    }
    std::vector<std::string> HistoryTexts() {
        EventLockGuard lock(EventLock());
        std::vector<std::string> texts;
        for (const TIOMsg* record : window->Events().History()) texts.push_back(record->text);
        return texts;
    }
    void Raise(int32_t code, CQVRBoard* board, CQVRBoardProtocol* protocol, std::string_view text) {
        CQVR_Event_Data event(window->BoardEventHandler());
        event.Raise(code, board, protocol, text);
    }

    platform::MainThreadDispatcher dispatcher;
    RecordingUi ui;
    TempDir dir;
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(ui, dispatcher, dir.Path());
};

TEST_F(MainWindowTest, ConstructionBuildsTheClientObjectWithAFreshUid) {
    EventLockGuard lock(EventLock());
    WindowState& state = State();
    const bool base36 = state.uid.size() > 2 && state.uid.front() == '_' && state.uid.back() == '_' &&
                        state.uid.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", 1) == state.uid.size() - 1;
    EXPECT_TRUE(base36) << state.uid;
    ASSERT_NE(state.clientObject, nullptr);
    EXPECT_EQ(state.clientObject, state.root->FindObject("MERK", false));
    EXPECT_EQ(state.clientObject->GetValue("uid"), state.uid);
    EXPECT_EQ(state.boardsCollection, state.clientObject->FindCollection("[boards]", false));
    EXPECT_EQ(state.connectionsCollection, state.clientObject->FindCollection("[connections]", false));
    EXPECT_EQ(state.gucsCollection, state.clientObject->FindCollection("[gucs]", false));
    EXPECT_NE(state.boardsCollection, nullptr);
    EXPECT_NE(state.connectionsCollection, nullptr);
    EXPECT_NE(state.gucsCollection, nullptr);
    ASSERT_NE(state.boardInterface, nullptr);
    ASSERT_NE(state.portEnumerator, nullptr);
    EXPECT_EQ(state.tickCount, 0);
    EXPECT_EQ(state.timerIntervalMs, 1000);
    EXPECT_TRUE(state.timerRunning);
    // The tree's handler is in place from the start: the uid's own change was logged.
    bool uidLogged = false;
    for (const TIOMsg* record : window->Events().History())
        uidLogged |= record->text.rfind("[DB] ", 0) == 0 && record->text.find(state.uid) != std::string::npos;
    EXPECT_TRUE(uidLogged);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "log_protocol.txt"));
}

TEST_F(MainWindowTest, FormShowSetsCaptionStartLinePagesPortsAndServerFields) {
    {
        EventLockGuard lock(EventLock());
        State().clientObject->SetValue("client_ip", "10.1.2.3");
        State().clientObject->SetValue("client_port", "50123");
    }
    window->FormShow();
    EventLockGuard lock(EventLock());
    const WindowState& state = State();
    EXPECT_EQ(state.caption, "SORN RUMO Draughts 2.0 ");
    ASSERT_FALSE(state.memo.lines.empty());
    EXPECT_EQ(state.memo.lines.back(),
              "SORN RUMO Draughts 2.0  running at " + SafeComputerName() + " (" + SafeUserName() + ")");
    EXPECT_EQ(state.activePage, Page::ConnectBoards);
    EXPECT_FALSE(state.debugTabVisible);
    EXPECT_GE(state.portGrid.RowCount(), 2);  // the computer's ports, or the fallback list
    EXPECT_EQ(state.serverAddress, "10.1.2.3");
    EXPECT_EQ(state.serverPort, "50123");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, FormShowKeepsTheDefaultServerFieldsWithoutStoredValues) {
    window->FormShow();
    EventLockGuard lock(EventLock());
    EXPECT_EQ(State().serverAddress, "auto");
    EXPECT_EQ(State().serverPort, "default");
}

TEST_F(MainWindowTest, TimerCountsRunningClocksDown) {
    struct Case {
        const char* name;
        uint32_t status;
        uint8_t countdown;
        bool second;  // the clock2 time, else clock1
        uint32_t h, m, s;
        uint32_t h2, m2, s2;  // after one tick
        const char* published;  // value of the side afterwards; "x" when untouched
    };
    const Case cases[] = {
        {"second time runs", 0x11, 1, true, 1, 0, 0, 0, 59, 59, "0:59.59"},
        {"first time runs", 0x0B, 1, false, 0, 10, 0, 0, 9, 59, "0:09.59"},
        {"seconds only", 0x11, 1, true, 0, 0, 7, 0, 0, 6, "0:00.06"},
        {"at zero", 0x11, 1, true, 0, 0, 0, 0, 0, 0, "x"},
        {"no clock", 0x31, 1, true, 1, 0, 0, 1, 0, 0, "x"},
        {"stopped", 0x10, 1, true, 1, 0, 0, 1, 0, 0, "x"},
        {"first side without its run bit", 0x03, 1, false, 1, 0, 0, 1, 0, 0, "x"},
        {"second time while the first side runs", 0x13, 1, true, 1, 0, 0, 1, 0, 0, "x"},
        {"countdown off", 0x11, 0, true, 1, 0, 0, 1, 0, 0, "x"},
    };
    HandPort* port = AddHandPort("ttyS0", false);
    uint32_t address = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CQVRBoard* board = AddBoard(port, address++);
        const char* key = c.second ? "clockwhite" : "clockblack";
        {
            EventLockGuard lock(EventLock());
            ASSERT_NE(board->treeObject, nullptr);
            board->clockStatus = c.status;
            board->clockCountdown = c.countdown;
            (c.second ? board->clock2Hours : board->clock1Hours) = c.h;
            (c.second ? board->clock2Minutes : board->clock1Minutes) = c.m;
            (c.second ? board->clock2Seconds : board->clock1Seconds) = c.s;
            board->treeObject->SetValue(key, "x");
        }
        Tick();
        EventLockGuard lock(EventLock());
        EXPECT_EQ(c.second ? board->clock2Hours : board->clock1Hours, c.h2);
        EXPECT_EQ(c.second ? board->clock2Minutes : board->clock1Minutes, c.m2);
        EXPECT_EQ(c.second ? board->clock2Seconds : board->clock1Seconds, c.s2);
        EXPECT_EQ(board->treeObject->GetValue(key), c.published);
    }
}

TEST_F(MainWindowTest, TimerShowsActiveBoardsEveryFifthTick) {
    HandPort* port = AddHandPort("ttyS0", true);
    std::vector<CQVRBoard*> boards = {AddBoard(port, 3), AddBoard(port, 4), AddBoard(port, 5)};
    const int row = port->gridRow;
    // Packets received since a second ago: a rate well above the threshold.
    auto feed = [&](std::vector<uint32_t> newPackets) {
        EventLockGuard lock(EventLock());
        for (size_t i = 0; i < boards.size(); ++i) {
            boards[i]->rateTick = platform::TickCount() - 1000;
            boards[i]->rateBase = boards[i]->packets;
            boards[i]->packets += newPackets[i];
        }
    };
    {
        EventLockGuard lock(EventLock());
        Ports().SetText(3, row, "7");
    }
    feed({20, 20, 0});
    Tick(4);
    {
        EventLockGuard lock(EventLock());
        EXPECT_EQ(Ports().Text(3, row), "7");
    }
    Tick();
    {
        EventLockGuard lock(EventLock());
        EXPECT_EQ(Ports().Text(3, row), "2");
        EXPECT_EQ(Ports().Cell(3, row).fontColour, Colour::Red);
        EXPECT_EQ(boards[2]->treeObject->GetValue("packetrate"), "off");
        EXPECT_NE(boards[0]->treeObject->GetValue("packetrate"), "off");
        EXPECT_EQ(boards[0]->rateBase, boards[0]->packets);
    }
    feed({20, 20, 20});
    Tick(5);
    EventLockGuard lock(EventLock());
    EXPECT_EQ(Ports().Text(3, row), "3");
    EXPECT_EQ(Ports().Cell(3, row).fontColour, Colour::Black);
}

TEST_F(MainWindowTest, TimerPublishesPacketCountsAndRemoteRatesOnTheirTicks) {
    HandPort* port = AddHandPort("ttyS0", true);
    CQVRBoard* board = AddBoard(port, 9);
    TAE_Object* remote = nullptr;
    {
        EventLockGuard lock(EventLock());
        board->packets = 77;
        remote = State().boardsCollection->FindMember("QVR_elsewhere_serialbus_ttyS1_4", true);
        remote->SetValue("busadres", "4");
        remote->SetValue("packetsreceived", "123");
    }
    Tick(9);
    EXPECT_EQ(Value(board, "packetsreceived"), "");
    Tick();
    EXPECT_EQ(Value(board, "packetsreceived"), "77");
    Tick(9);
    {
        EventLockGuard lock(EventLock());
        EXPECT_NE(remote->intTags[3], 123);
    }
    Tick();
    EventLockGuard lock(EventLock());
    EXPECT_EQ(remote->intTags[3], 123);
}

TEST_F(MainWindowTest, TimerReopensAFailedPortOnlyWhileTicked) {
    struct Case {
        const char* name;
        bool ticked;
        bool failed;
        bool reopened;
    };
    for (const Case& c : {Case{"ticked and failed", true, true, true}, Case{"unticked", false, true, false},
                          Case{"not failed", true, false, false}}) {
        SCOPED_TRACE(c.name);
        window = std::make_unique<MainWindow>(ui, dispatcher, dir.Path());
        HandPort* port = AddHandPort("ttyUSB3 USB", c.ticked);
        {
            EventLockGuard lock(EventLock());
            port->failed = c.failed;
        }
        Tick(4);
        EXPECT_TRUE(port->opened.empty());
        Tick();
        EventLockGuard lock(EventLock());
        if (c.reopened)
            EXPECT_THAT(port->opened, ElementsAre("ttyUSB3 USB"));
        else
            EXPECT_TRUE(port->opened.empty());
    }
}

TEST_F(MainWindowTest, BoardEventsReachTheirParts) {
    HandPort* port = AddHandPort("ttyS0", true);
    CQVRBoard* board = AddBoard(port, 17);
    struct Case {
        const char* name;
        int32_t code;
        int logLevel;
        std::string text;
        std::function<void()> prepare;
        std::function<void()> check;
    };
    auto logged = [&](const std::string& text) {
        auto texts = HistoryTexts();
        return std::count(texts.begin(), texts.end(), text);
    };
    const std::string nodeReport = std::string("\x00\x02\x00\x00\x04\x01\x02\x03\x04\x05\x06", 11);
    const Case cases[] = {
        {"100 registers the board", EventCode::BoardFound, 0, "", [] {},
         [&] {
             ASSERT_NE(board->treeObject, nullptr);
             EXPECT_EQ(board->treeObject->owner, State().boardsCollection);
             EXPECT_EQ(board->treeObject->GetValue("busadres"), "17");
         }},
        {"101 publishes the second time", EventCode::SecondTime, 0, "",
         [&] {
             board->clockStatus = 0x11;
             board->clock2Hours = 2, board->clock2Minutes = 5, board->clock2Seconds = 9;
             board->clock1Hours = 1, board->clock1Minutes = 0, board->clock1Seconds = 0;
         },
         [&] {
             EXPECT_EQ(Value(board, "clockwhite"), "2:05.09");
             EXPECT_NE(Value(board, "clockblack"), "1:00.00");
         }},
        {"102 publishes the first time", EventCode::FirstTime, 0, "", [] {},
         [&] { EXPECT_EQ(Value(board, "clockblack"), "1:00.00"); }},
        {"103 publishes both", EventCode::ClockStatus, 0, "",
         [&] { board->clock2Seconds = 8, board->clock1Seconds = 3; },
         [&] {
             EXPECT_EQ(Value(board, "clockwhite"), "2:05.08");
             EXPECT_EQ(Value(board, "clockblack"), "1:00.03");
         }},
        {"104 publishes the positions", EventCode::PositionUpdate, 0, "", [&] { board->updates = 12; },
         [&] { EXPECT_EQ(Value(board, "scancount"), "12\r\n"); }},
        {"105 logs, publishes and files the error", EventCode::BoardError, 0, "time-out 17",
         [&] { board->errors = 3; },
         [&] {
             EXPECT_EQ(Value(board, "errors"), "3");
             EXPECT_EQ(logged("[BOARDS] time-out 17"), 1);
             EXPECT_THAT(FileText(dir.Path() / "log_protocol.txt"), HasSubstr("[BOARDS ERROR] time-out 17\n"));
         }},
        {"107 is logged above level 3", EventCode::PacketReceived, 4, "packet 17", [] {},
         [&] { EXPECT_EQ(logged("[BOARDS] packet 17"), 1); }},
        {"107 is not logged at level 3", EventCode::PacketReceived, 3, "packet 18", [] {},
         [&] { EXPECT_EQ(logged("[BOARDS] packet 18"), 0); }},
        {"300 is logged above level 3", EventCode::StatusLine, 5, "300 SERIALIO_STATUS x", [] {},
         [&] { EXPECT_EQ(logged("[BOARDS] 300 SERIALIO_STATUS x"), 1); }},
        {"304 is not logged at level 0", EventCode::NewBoardFound, 0, "new board", [] {},
         [&] { EXPECT_EQ(logged("[BOARDS] new board"), 0); }},
        {"302 is a read line", EventCode::RawReceived, 4, "A\n", [] {},
         [&] {
             EXPECT_THAT(HistoryTexts(), Contains(HasSubstr("READ:  0x41 0x0a")));
             EXPECT_THAT(FileText(dir.Path() / "log_protocol.txt"), HasSubstr(" [BOARDS] READ:  0x41 0x0a\n"));
         }},
        {"303 is a write line", EventCode::RawWritten, 4, "\x87", [] {},
         [&] { EXPECT_THAT(HistoryTexts(), Contains(HasSubstr("WRITE:  0x87"))); }},
        {"109 fills the wireless grid", 109, 0, nodeReport, [] {},
         [&] { EXPECT_EQ(State().wirelessGrid.Text(0, 5), "010203040506"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventLockGuard lock(EventLock());
        State().logLevel = c.logLevel;
        c.prepare();
        Raise(c.code, board, port, c.text);
        c.check();
    }
}

TEST_F(MainWindowTest, BoardRemovalDropsTheReferencesToTheBoard) {
    HandPort* port = AddHandPort("ttyS0", true);
    CQVRBoard* board = AddBoard(port, 21);
    EventLockGuard lock(EventLock());
    TAE_Object* object = board->treeObject;
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->ptrTags[0], board);
    Raise(EventCode::BoardRemoved, board, port, "BOARD REMOVED");
    EXPECT_EQ(board->treeObject, nullptr);
    EXPECT_EQ(object->ptrTags[0], nullptr);
    EXPECT_EQ(object->GetValue("busadres"), "21");  // the object stays
}

TEST_F(MainWindowTest, ClientObjectDeletedByTheServerComesBackWithItsUid) {
    HandPort* port = AddHandPort("ttyS0", true);
    CQVRBoard* board = AddBoard(port, 21);
    std::string uid;
    {
        EventLockGuard lock(EventLock());
        uid = State().uid;
        State().root->Apply("delete MERK;");
        EXPECT_EQ(State().root->FindObject("MERK", false), nullptr);
        EXPECT_EQ(State().clientObject, nullptr);
        EXPECT_EQ(State().boardsCollection, nullptr);
        EXPECT_EQ(board->treeObject, nullptr);
        // Board events in the meantime find no collection and change nothing.
        Raise(EventCode::BoardFound, board, port, "");
        Tick(20);
    }
    dispatcher.ProcessPending();
    EventLockGuard lock(EventLock());
    ASSERT_NE(State().clientObject, nullptr);
    EXPECT_EQ(State().clientObject, State().root->FindObject("MERK", false));
    EXPECT_EQ(State().clientObject->GetValue("uid"), uid);
    EXPECT_EQ(State().uid, uid);
    EXPECT_EQ(State().boardsCollection, State().clientObject->FindCollection("[boards]", false));
    // The board registers again into the new collection.
    Raise(EventCode::BoardFound, board, port, "");
    ASSERT_NE(board->treeObject, nullptr);
    EXPECT_EQ(board->treeObject->owner, State().boardsCollection);
    EXPECT_EQ(Value(board, "busadres"), "21");
}

TEST_F(MainWindowTest, OtherBoardEventCodesChangeNothing) {
    HandPort* port = AddHandPort("ttyS0", true);
    EventLockGuard lock(EventLock());
    CQVRBoard* board = port->AddBoard(30);  // not registered
    State().logLevel = LogLevel::All;
    const size_t records = HistoryTexts().size();
    for (int32_t code : {EventCode::Version, 150, 299}) {
        SCOPED_TRACE(code);
        Raise(code, board, port, "ignored");
        EXPECT_EQ(board->treeObject, nullptr);
        EXPECT_EQ(State().boardsCollection->members.Count(), 0);
        EXPECT_EQ(HistoryTexts().size(), records);
    }
}

TEST_F(MainWindowTest, DecliningTheCloseQuestionKeepsRunning) {
    HandPort* port = AddHandPort("ttyS0", true);
    ui.answer = false;
    window->FormClose();
    EXPECT_THAT(ui.questions, ElementsAre(Pair("Close Quorvex", "Exit SORN Quorvex - Are you sure?")));
    Tick();
    EventLockGuard lock(EventLock());
    EXPECT_EQ(State().closing, 0);
    EXPECT_EQ(State().loggingStopped, 0);
    EXPECT_EQ(State().timerIntervalMs, 1000);
    EXPECT_EQ(State().tickCount, 1);
    EXPECT_TRUE(Ports().Cell(0, port->gridRow).checked);
    EXPECT_EQ(port->stops, 0);
    EXPECT_EQ(ui.quits, 0);
}

TEST_F(MainWindowTest, ConfirmedCloseStopsThePortsAndQuitsOnceAllHaveStopped) {
    HandPort* ticked = AddHandPort("ttyS0", true);
    HandPort* unticked = AddHandPort("ttyS1", false);
    CQVRBoard* board = AddBoard(ticked, 5);
    {
        EventLockGuard lock(EventLock());
        unticked->stopped = true;
        board->treeObject->SetValue("packetrate", "4");
    }
    ui.answer = true;
    window->FormClose();
    {
        EventLockGuard lock(EventLock());
        EXPECT_EQ(State().closing, 1);
        EXPECT_EQ(State().loggingStopped, 1);
        EXPECT_EQ(State().timerIntervalMs, 200);
        EXPECT_FALSE(Ports().Cell(0, ticked->gridRow).checked);
        EXPECT_EQ(ticked->stops, 1);
        EXPECT_EQ(unticked->stops, 0);
        EXPECT_EQ(board->treeObject->GetValue("packetrate"), "off");
    }
    // A port that will not stop keeps the program in the closing state.
    Tick(3);
    {
        EventLockGuard lock(EventLock());
        EXPECT_EQ(ui.quits, 0);
        EXPECT_EQ(State().tickCount, 0);
        EXPECT_TRUE(State().timerRunning);
        EXPECT_EQ(ticked->stops, 4);  // asked again on every tick
        ticked->stopped = true;
    }
    Tick();
    {
        EventLockGuard lock(EventLock());
        EXPECT_EQ(ui.quits, 1);
        EXPECT_FALSE(State().timerRunning);
        EXPECT_EQ(State().tickCount, 1);  // the last tick runs on
    }
    // Asking again while closing does nothing.
    window->FormClose();
    EXPECT_EQ(ui.questions.size(), 1u);
}

TEST_F(MainWindowTest, DoubleClickOpensOneBoardViewPerObject) {
    HandPort* port = AddHandPort("ttyS0", true);
    CQVRBoard* board = AddBoard(port, 8);
    int row = 0;
    {
        EventLockGuard lock(EventLock());
        row = board->treeObject->intTags[0];
        ASSERT_GE(row, 1);
    }
    window->AdvStringGrid2DblClick(0);
    window->AdvStringGrid2DblClick(row + 1);
    EXPECT_TRUE(ui.displays.empty());

    window->AdvStringGrid2DblClick(row);
    ASSERT_EQ(ui.displays.size(), 1u);
    {
        EventLockGuard lock(EventLock());
        EXPECT_NE(board->treeObject->ptrTags[5], nullptr);
    }
    EXPECT_EQ(ui.displays[0]->shows, 1);
    // The view was given its board: the first command (the position) went out.
    EXPECT_THAT(ui.displays[0]->variables, Contains(Pair("app_cmd", "1")));

    window->AdvStringGrid2DblClick(row);
    EXPECT_EQ(ui.displays.size(), 1u);
    EXPECT_EQ(ui.displays[0]->shows, 2);

    // An object that goes takes its view reference with it.
    EventLockGuard lock(EventLock());
    TAE_Object* object = board->treeObject;
    window->ForgetBoardObject(object);
    EXPECT_EQ(object->ptrTags[5], nullptr);
}

// A real serial bus on eboard-sim: boards found by the port worker reach the
// overview through the window, the timer counts them active, and a confirmed
// close stops the port and ends the program.
TEST_F(MainWindowTest, RealBusIsShownCountedAndStoppedOnClose) {
    ASSERT_TRUE(std::filesystem::exists(EBOARD_SIM)) << "build eboard-sim first";
    systemtest::SimProcess sim({"--bus", "2", "--addresses", "3,17"});
    ASSERT_TRUE(sim.Ready());
    int row = -1;
    {
        EventLockGuard lock(EventLock());
        row = window->Ports().AddPortByName(PseudoTerminalOf(sim));
        ASSERT_GE(row, 1) << PseudoTerminalOf(sim);
        window->Ports().AdvStringGrid1CheckBoxClick(0, row, true);
    }
    ASSERT_TRUE(systemtest::WaitFor([&] {
        int rows = 0;
        for (int r = 1; r < State().overviewGrid.RowCount(); ++r) rows += window->Records().RowObject(r) != nullptr;
        return rows == 2;
    }));
    // Rates are measured between fifth ticks; let packets arrive in between.
    bool allActive = false;
    for (int round = 0; round < 60 && !allActive; ++round) {
        Tick(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EventLockGuard lock(EventLock());
        allActive = Ports().Text(3, row) == "2" && Ports().Cell(3, row).fontColour == Colour::Black;
    }
    EXPECT_TRUE(allActive);

    ui.answer = true;
    window->FormClose();
    ASSERT_TRUE(systemtest::WaitFor([&] { return State().closing == 1; }, 5));
    for (int i = 0; i < 600 && ui.quits == 0; ++i) {
        Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(ui.quits, 1);
    EventLockGuard lock(EventLock());
    EXPECT_FALSE(Ports().Cell(0, row).checked);
    EXPECT_TRUE(State().boardInterface->StopPorts());
}

// The whole road with real parts: bus boards found by the port worker are
// published through the window's tree handler to the reference server, and
// the window is released while the port polls and the client is connected.
TEST_F(MainWindowTest, BusBoardsReachTheServerAndTheWindowGoesWhileAllRuns) {
    using namespace std::chrono_literals;
    ASSERT_TRUE(std::filesystem::exists(RumoServerProcess::BinaryPath())) << "build rumo-server first";
    ASSERT_TRUE(std::filesystem::exists(EBOARD_SIM)) << "build eboard-sim first";
    const std::filesystem::path treeFile = dir.Path() / "server-tree.txt";
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--tree-out", treeFile.string()}));
    systemtest::SimProcess sim({"--bus", "2", "--addresses", "3,17"});
    ASSERT_TRUE(sim.Ready());

    auto locked = [](auto&& body) {
        EventLockGuard lock(EventLock());
        return body();
    };
    locked([&] {
        State().serverAddress = "127.0.0.1";
        State().serverPort = std::to_string(server.Port());
        window->Server().ButtonConnectClick();
    });
    ASSERT_TRUE(dispatcher.RunUntil([&] { return locked([&] { return State().connectLabel == "Connected"; }); }, 60s));
    locked([&] {
        const int row = window->Ports().AddPortByName(PseudoTerminalOf(sim));
        ASSERT_GE(row, 1);
        window->Ports().AdvStringGrid1CheckBoxClick(0, row, true);
    });

    // The board object of bus address 17, as the window named it.
    std::string name;
    ASSERT_TRUE(dispatcher.RunUntil(
        [&] {
            return locked([&] {
                for (const TAE_Object* object : State().boardsCollection->members)
                    if (object->GetValue("busadres") == "17") name = object->name;
                return !name.empty();
            });
        },
        60s));
    auto serverValue = [&](const char* key) {
        TAE_Root tree;
        tree.Apply(FileText(treeFile));
        const TAE_Object* object = tree.FindObject(name, false);
        return object ? object->GetValue(key) : std::string();
    };
    EXPECT_TRUE(dispatcher.RunUntil([&] { return serverValue("busadres") == "17"; }, 60s)) << name;
    EXPECT_TRUE(dispatcher.RunUntil([&] { return !serverValue("sequence").empty(); }, 60s)) << name;

    window.reset();
    EXPECT_THAT(FileText(dir.Path() / "log_protocol.txt"), HasSubstr(" [BOARDS] WRITE:  0x"));
}

}  // namespace
}  // namespace app
