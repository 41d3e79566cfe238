#pragma once
// The main window as a model: it owns the object tree, the board interface,
// the port list and the server client, dispatches board events, drives the
// one-second timer and closes the program in order. The pages' own behaviour
// lives in their parts (board records, server connection, connect page, event
// log, debug page); this class owns them and hands each the calls of the
// others.
//
// Locking: the entry points of this class take the event lock themselves; a
// view that calls a part directly takes it around the call.
#include <exception>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "app/user_interface.h"
#include "app/window_services.h"
#include "app/window_state.h"

namespace platform {
class MainThreadDispatcher;
}

namespace app {

class BoardRecords;
class ServerConnection;
class ConnectPage;
class EventLog;
class DebugPage;
class BoardView;
class ProtocolLogFile;

class MainWindow final : public WindowServices {
public:
    static constexpr int kTimerIntervalMs = 1000;
    static constexpr int kClosingTimerIntervalMs = 200;
    static constexpr const char* kCloseTitle = "Close Quorvex";
    static constexpr const char* kCloseQuestion = "Exit SORN Quorvex - Are you sure?";

    // logDir: where "log_protocol.txt" and the client's log go; empty means
    // the working directory.
    MainWindow(UserInterface& ui, platform::MainThreadDispatcher& dispatcher, std::filesystem::path logDir = {});
    // Releases in order: the server client, the board interface (ports,
    // protocols, boards), the port list, the log history, the tree. Runs
    // outside the event lock: it waits for the port workers.
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    WindowState& State() { return state_; }
    BoardRecords& Records() { return *records_; }
    ServerConnection& Server() { return *server_; }
    ConnectPage& Ports() { return *connectPage_; }
    EventLog& Events() { return *log_; }
    DebugPage& Debug() { return *debugPage_; }

    void FormShow();
    // The close request is always refused; after a Yes the program stops its
    // ports and ends from the timer. Call it outside the event lock: the
    // question waits for the user while the ports run on.
    void FormClose();
    void Timer1Timer();
    void OnBoardEvent(QVRProjects::CQVR_Event_Data* event);
    // Opens (or shows again) the board view of an overview row.
    void AdvStringGrid2DblClick(int row);

    // WindowServices
    void Log(bool isError, std::string_view text) override;
    void AppendMemoLine(std::string_view text) override;
    void StopAll() override;
    QVRProjects::CQVR_EventHandler BoardEventHandler() override;
    void ButtonDisconnectClick() override;
    void ExecuteBoardCommand(TAE_Object* object, QVRProjects::CQVRBoard* board, std::string_view word) override;
    void UpdateOverviewRow(TAE_Event& event) override;
    void SetPacketRate(QVRProjects::CQVRBoard* board, double rate) override;
    void ForgetBoardObject(TAE_Object* object) override;
    void ResetPortRates(QVRProjects::CQVRBoardProtocol* protocol) override;

private:
    void DispatchBoardEvent(QVRProjects::CQVR_Event_Data& event);
    void TickPort(int row, QVRProjects::CQVRBoardProtocol& protocol);
    void CountClocksDown(QVRProjects::CQVRBoard& board);
    // Runs an entry point; an exception that escapes it is shown to the user
    // (from a port worker by way of the main thread) and the program goes on.
    template <class Body>
    void Guarded(Body&& body);
    void ShowError(const std::exception& error);
    // The release steps of the destructor.
    void ReleaseBoardInterface();
    // "MERK" with its three collections, and this program's uid in it.
    void BuildClientObject();
    // Every change of the tree; the server connection decides what is sent.
    void OnTreeEvent(TAE_Event& event);

    UserInterface& ui_;
    platform::MainThreadDispatcher& dispatcher_;
    WindowState state_;
    std::unique_ptr<ProtocolLogFile> protocolLog_;
    std::unique_ptr<EventLog> log_;
    std::unique_ptr<BoardRecords> records_;
    std::unique_ptr<ServerConnection> server_;
    std::unique_ptr<ConnectPage> connectPage_;
    std::unique_ptr<DebugPage> debugPage_;
    std::vector<std::unique_ptr<BoardView>> boardViews_;
};

}  // namespace app
