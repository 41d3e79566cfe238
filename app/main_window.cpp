#include "app/main_window.h"

#include <string>
#include <utility>

#include "app/board_records.h"
#include "app/board_view.h"
#include "app/connect_page.h"
#include "app/debug_page.h"
#include "app/event_log.h"
#include "app/protocol_log_file.h"
#include "app/safe_names.h"
#include "app/server_connection.h"
#include "boards/event_lock.h"
#include "platform/dispatcher.h"
#include "platform/tick.h"

namespace app {
namespace {

using QVRProjects::CQVR_Event_Data;
using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;
using QVRProjects::EventLockGuard;
namespace EventCode = QVRProjects::EventCode;

constexpr int kPortCol = 0;
constexpr int kProtocolCol = 1;
constexpr int kActiveCol = 3;

// A wireless node's report; no protocol of ours raises it.
constexpr std::int32_t kNodeReport = 109;

// Clock status bits of a board.
constexpr std::uint32_t kClockRunning = 0x01;
constexpr std::uint32_t kFirstSide = 0x02;
constexpr std::uint32_t kFirstTimeRuns = 0x08;
constexpr std::uint32_t kSecondTimeRuns = 0x10;
constexpr std::uint32_t kNoClock = 0x20;

// Rates below this many packets a second count as silent.
constexpr double kActiveRate = 0.1;

// Takes one second off a clock time; false when it stood at 0:00.00 already.
bool TakeOneSecond(std::uint32_t& hours, std::uint32_t& minutes, std::uint32_t& seconds) {
    if (seconds > 0) {
        --seconds;
    } else if (minutes > 0) {
        --minutes;
        seconds = 59;
    } else if (hours > 0) {
        --hours;
        minutes = 59;
        seconds = 59;
    } else {
        return false;
    }
    return true;
}

CQVRBoardProtocol* ProtocolOfRow(const StringGrid& grid, int row) {
    return static_cast<CQVRBoardProtocol*>(grid.Cell(kProtocolCol, row).ref);
}

}  // namespace

MainWindow::MainWindow(UserInterface& ui, platform::MainThreadDispatcher& dispatcher, std::filesystem::path logDir)
    : ui_(ui), dispatcher_(dispatcher), protocolLog_(std::make_unique<ProtocolLogFile>(logDir)) {
    EventLockGuard lock(QVRProjects::EventLock());
    state_.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
    state_.portEnumerator = std::make_unique<TScanComs>();
    // The parts exist before the tree, whose first change already reaches them.
    log_ = std::make_unique<EventLog>(state_, *this, *protocolLog_);
    records_ = std::make_unique<BoardRecords>(state_, *this);
    server_ = std::make_unique<ServerConnection>(state_, *this, ui_, dispatcher_,
                                                 (logDir / "zuva_client_log.txt").string());
    connectPage_ = std::make_unique<ConnectPage>(state_, *this);
    debugPage_ = std::make_unique<DebugPage>(state_, ui_);

    state_.root = std::make_unique<TAE_Root>();
    state_.root->AddHandler(&TAE_BoundMethod<MainWindow, &MainWindow::OnTreeEvent>, this);
    BuildClientObject();
}

void MainWindow::BuildClientObject() {
    state_.clientObject = state_.root->FindObject("MERK", true);
    state_.boardsCollection = state_.clientObject->FindCollection("[boards]", true);
    state_.connectionsCollection = state_.clientObject->FindCollection("[connections]", true);
    state_.gucsCollection = state_.clientObject->FindCollection("[gucs]", true);
    if (TAE_KeyValue* uid = state_.clientObject->FindValue("uid", false)) {
        state_.uid = uid->value;
        return;
    }
    // A fresh tree every start: the server sees a new client each time. A
    // rebuilt "MERK" keeps the uid of this run.
    if (state_.uid.empty()) state_.uid = state_.root->NewUniqueName("_") + "_";
    state_.clientObject->SetValue("uid", state_.uid);
}

void MainWindow::OnTreeEvent(TAE_Event& event) {
    // A server statement may delete "MERK" itself, and its collections with it:
    // nothing may keep pointing there, and the program needs them back.
    const bool clientObjectGoes =
        event.deleted && event.object != nullptr && event.object == state_.clientObject && !event.value && !event.key;
    server_->OnTreeEvent(event);
    if (!clientObjectGoes) return;
    state_.clientObject = nullptr;
    state_.boardsCollection = state_.connectionsCollection = state_.gucsCollection = nullptr;
    dispatcher_.Post(
        [this] {
            EventLockGuard lock(QVRProjects::EventLock());
            if (state_.root && !state_.clientObject) BuildClientObject();
        },
        this);
}

MainWindow::~MainWindow() {
    // The client calls back into the window from its thread; it goes first,
    // and is joined outside the lock.
    std::unique_ptr<TAEOS_Client> client;
    {
        EventLockGuard lock(QVRProjects::EventLock());
        client = std::move(state_.client);
    }
    client.reset();
    dispatcher_.Cancel(this);

    connectPage_->WaitForRetiredPorts();
    ReleaseBoardInterface();
    // A port worker may have posted to this window until it was joined.
    dispatcher_.Cancel(this);

    EventLockGuard lock(QVRProjects::EventLock());
    for (int row = 1; row < state_.portGrid.RowCount(); ++row)
        if (GridCell* cell = state_.portGrid.Edit(kPortCol, row)) cell->ref = nullptr;
    state_.portEnumerator.reset();
    log_.reset();
    state_.clientObject = nullptr;
    state_.boardsCollection = state_.connectionsCollection = state_.gucsCollection = nullptr;
    for (int row = 1; row < state_.overviewGrid.RowCount(); ++row)
        if (GridCell* cell = state_.overviewGrid.Edit(0, row)) cell->ref = nullptr;
    state_.root.reset();
}

void MainWindow::ReleaseBoardInterface() {
    // Only this thread changes the protocol list, so it may be read unlocked.
    if (!state_.boardInterface) return;
    for (CQVRBoardProtocol* protocol : state_.boardInterface->protocols) protocol->EndWorker();
    // No worker is left: the boards announce their removal on this thread.
    EventLockGuard lock(QVRProjects::EventLock());
    state_.boardInterface.reset();
    for (int row = 1; row < state_.portGrid.RowCount(); ++row)
        if (GridCell* cell = state_.portGrid.Edit(kProtocolCol, row)) cell->ref = nullptr;
}

template <class Body>
void MainWindow::Guarded(Body&& body) {
    try {
        body();
    } catch (const std::exception& error) {
        ShowError(error);
    }
}

void MainWindow::ShowError(const std::exception& error) {
    std::string text = error.what();
    if (dispatcher_.IsMainThread())
        ui_.ShowMessage(text);
    else
        dispatcher_.Post([this, text] { ui_.ShowMessage(text); }, this);
}

void MainWindow::FormShow() {
    Guarded([this] {
        EventLockGuard lock(QVRProjects::EventLock());
        state_.caption = std::string(kProgramTitle) + " ";
        AppendMemoLine(std::string(kProgramTitle) + " " + " running at " + SafeComputerName() + " (" +
                       SafeUserName() + ")");
        state_.activePage = Page::ConnectBoards;
        state_.debugTabVisible = false;
        connectPage_->FillPortGrid();
        TAE_Object* merk = state_.root->FindObject("MERK", true);
        if (std::string address = merk->GetValue("client_ip"); !address.empty()) state_.serverAddress = address;
        if (std::string port = merk->GetValue("client_port"); !port.empty()) state_.serverPort = port;
    });
}

void MainWindow::FormClose() {
    Guarded([this] {
        {
            EventLockGuard lock(QVRProjects::EventLock());
            if (state_.closing) return;
        }
        if (!ui_.AskYesNo(kCloseTitle, kCloseQuestion)) return;
        EventLockGuard lock(QVRProjects::EventLock());
        if (state_.closing) return;
        state_.closing = 1;
        StopAll();
        state_.timerIntervalMs = kClosingTimerIntervalMs;
    });
}

void MainWindow::Timer1Timer() {
    Guarded([this] {
        EventLockGuard lock(QVRProjects::EventLock());
        if (state_.closing) {
            if (!state_.boardInterface->StopPorts()) return;
            state_.timerRunning = false;
            ui_.Quit();
        }
        ++state_.tickCount;
        for (int row = 1; row < state_.portGrid.RowCount(); ++row)
            if (CQVRBoardProtocol* protocol = ProtocolOfRow(state_.portGrid, row)) TickPort(row, *protocol);
        if (state_.tickCount % 20 == 0) records_->UpdateRemoteRates();
    });
}

void MainWindow::TickPort(int row, CQVRBoardProtocol& protocol) {
    const bool fifthTick = state_.tickCount % 5 == 0;
    if (fifthTick && state_.portGrid.Cell(kPortCol, row).checked && protocol.HasFailed())
        protocol.Open(state_.portGrid.Text(kPortCol, row));

    int active = 0;
    int count = 0;
    for (CQVRBoard* board : protocol) {
        ++count;
        CountClocksDown(*board);
        if (!fifthTick) continue;
        const platform::Tick now = platform::TickCount();
        const platform::Tick elapsed = now - board->rateTick;
        const double rate = elapsed > 0 ? (board->packets - board->rateBase) * 1000.0 / elapsed : 0.0;
        board->rateTick = now;
        board->rateBase = board->packets;
        if (rate >= kActiveRate) ++active;
        records_->SetPacketRate(board, rate);
        if (state_.tickCount % 10 == 0) records_->PublishPacketCount(board);
    }

    const std::string activeText = std::to_string(active);
    if (count > 0 && fifthTick && state_.portGrid.Text(kActiveCol, row) != activeText) {
        GridCell* cell = state_.portGrid.Edit(kActiveCol, row);
        cell->fontColour = active == count ? Colour::Black : Colour::Red;
        cell->text = activeText;
    }
}

void MainWindow::CountClocksDown(CQVRBoard& board) {
    const std::uint32_t status = board.clockStatus;
    if (board.clockCountdown != 1 || (status & kNoClock)) return;
    if ((status & kClockRunning) && !(status & kFirstSide) && (status & kSecondTimeRuns) &&
        TakeOneSecond(board.clock2Hours, board.clock2Minutes, board.clock2Seconds))
        records_->PublishClock2(&board);
    if ((status & kClockRunning) && (status & kFirstSide) && (status & kFirstTimeRuns) &&
        TakeOneSecond(board.clock1Hours, board.clock1Minutes, board.clock1Seconds))
        records_->PublishClock1(&board);
}

void MainWindow::OnBoardEvent(CQVR_Event_Data* event) {
    if (!event) return;
    Guarded([this, event] {
        EventLockGuard lock(QVRProjects::EventLock());
        DispatchBoardEvent(*event);
    });
}

void MainWindow::DispatchBoardEvent(CQVR_Event_Data& event) {
    CQVRBoard* board = event.board;
    const bool verbose = state_.logLevel > LogLevel::ClientServer;
    switch (event.code) {
        case EventCode::BoardFound:
            records_->RegisterBoard(&event);
            break;
        case EventCode::SecondTime:
            if (board) records_->PublishClock2(board);
            break;
        case EventCode::FirstTime:
            if (board) records_->PublishClock1(board);
            break;
        case EventCode::ClockStatus:
            if (board) {
                records_->PublishClock2(board);
                records_->PublishClock1(board);
            }
            break;
        case EventCode::PositionUpdate:
            if (board) records_->PublishPositions(board);
            break;
        case EventCode::BoardError:
            log_->Log(true, "[BOARDS] " + std::string(event.Text()));
            if (board) records_->PublishErrors(board);
            log_->OnBoardError(event);
            break;
        case EventCode::BoardRemoved:
            if (board) records_->BoardRemoved(board);
            break;
        case EventCode::PacketReceived:
            if (verbose) log_->Log(false, "[BOARDS] " + std::string(event.Text()));
            break;
        case kNodeReport:
            connectPage_->ShowNodeReport(event);
            break;
        case EventCode::RawReceived:
        case EventCode::RawWritten:
            log_->OnTraffic(event);
            break;
        default:
            if (event.code >= EventCode::StatusLine && verbose)
                log_->Log(false, "[BOARDS] " + std::string(event.Text()));
            break;
    }
}

void MainWindow::AdvStringGrid2DblClick(int row) {
    Guarded([this, row] {
        EventLockGuard lock(QVRProjects::EventLock());
        TAE_Object* object = records_->RowObject(row);
        if (!object) return;
        if (auto* open = static_cast<BoardViewWindow*>(object->ptrTags[5])) {
            open->Show();
            return;
        }
        std::unique_ptr<BoardDisplay> display = ui_.CreateBoardDisplay();
        if (!display) return;  // nothing to show it on
        auto view = std::make_unique<BoardView>(std::move(display));
        view->Show();
        object->ptrTags[5] = static_cast<BoardViewWindow*>(view.get());
        view->SetBoardObject(object);
        boardViews_.push_back(std::move(view));
    });
}

void MainWindow::StopAll() {
    EventLockGuard lock(QVRProjects::EventLock());
    state_.loggingStopped = 1;
    if (state_.disconnectEnabled) server_->ButtonDisconnectClick();
    for (int row = 1; row < state_.portGrid.RowCount(); ++row) {
        if (!state_.portGrid.Cell(kPortCol, row).checked) continue;
        state_.portGrid.Edit(kPortCol, row)->checked = false;
        if (CQVRBoardProtocol* protocol = ProtocolOfRow(state_.portGrid, row)) {
            connectPage_->ResetPortRates(protocol);
            protocol->Stop();
        }
    }
}

// The log goes before the tree and the parts; whatever reports after that is lost.
void MainWindow::Log(bool isError, std::string_view text) {
    if (log_) log_->Log(isError, text);
}

void MainWindow::AppendMemoLine(std::string_view text) {
    if (log_) log_->AppendMemoLine(text);
}

QVRProjects::CQVR_EventHandler MainWindow::BoardEventHandler() {
    return [this](CQVR_Event_Data* event) { OnBoardEvent(event); };
}

void MainWindow::ButtonDisconnectClick() { server_->ButtonDisconnectClick(); }

void MainWindow::ExecuteBoardCommand(TAE_Object* object, CQVRBoard* board, std::string_view word) {
    server_->ExecuteBoardCommand(object, board, word);
}

void MainWindow::UpdateOverviewRow(TAE_Event& event) { records_->UpdateOverviewRow(event); }

void MainWindow::SetPacketRate(CQVRBoard* board, double rate) { records_->SetPacketRate(board, rate); }

void MainWindow::ForgetBoardObject(TAE_Object* object) {
    if (!object) return;
    if (void* open = object->ptrTags[5]) {
        for (auto& view : boardViews_)
            if (static_cast<BoardViewWindow*>(view.get()) == open) view->ForgetBoardObject();
        object->ptrTags[5] = nullptr;
    }
    records_->ForgetBoardObject(object);
}

void MainWindow::ResetPortRates(CQVRBoardProtocol* protocol) { connectPage_->ResetPortRates(protocol); }

}  // namespace app
