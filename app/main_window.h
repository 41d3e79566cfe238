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

class MainWindow final : public WindowServices {
public:
    MainWindow(UserInterface& ui, platform::MainThreadDispatcher& dispatcher);
    // Releases in order: the server client, the board interface (ports,
    // protocols, boards), the port list, the log history, the tree.
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
    // ports and ends from the timer.
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
    UserInterface& ui_;
    platform::MainThreadDispatcher& dispatcher_;
    WindowState state_;
    std::unique_ptr<EventLog> log_;
    std::unique_ptr<BoardRecords> records_;
    std::unique_ptr<ServerConnection> server_;
    std::unique_ptr<ConnectPage> connectPage_;
    std::unique_ptr<DebugPage> debugPage_;
    std::vector<std::unique_ptr<BoardView>> boardViews_;
};

}  // namespace app
