#pragma once
// The window's side of the server link: the Connect and Disconnect buttons,
// the connection label driven by the client's status texts, the rule that
// decides which tree changes go to the server, and the board commands that
// arrive as "command" values of board objects.
//
// Locking: every operation expects the event lock to be held by its caller;
// the client's status texts arrive on the main thread inside it (the event
// lock is the client's model lock).
#include <string>
#include <string_view>

#include "app/user_interface.h"
#include "app/window_services.h"
#include "app/window_state.h"
#include "boards/board.h"
#include "objects/tree.h"

namespace platform {
class MainThreadDispatcher;
}

namespace app {

class ServerConnection {
public:
    static constexpr const char* kLoginUser = "MERK";
    static constexpr const char* kLoginPassword = "wqrtpz2817hmx908576";
    static constexpr int kDefaultPort = 50000;

    // The client is made at the first Connect and writes its log to clientLogPath.
    ServerConnection(WindowState& state, WindowServices& services, UserInterface& ui,
                     platform::MainThreadDispatcher& dispatcher,
                     std::string clientLogPath = "zuva_client_log.txt");
    // The client calls back into this object, so it goes first (if still there).
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    void ButtonConnectClick();
    void ButtonDisconnectClick();
    // A status text of the client (main thread).
    void OnClientStatus(const std::string& line);
    // Every change of the tree; register with
    // root->AddHandler(&TAE_BoundMethod<ServerConnection, &ServerConnection::OnTreeEvent>, this).
    void OnTreeEvent(TAE_Event& event);
    // A "command" value of a board object with a local e-board.
    void ExecuteBoardCommand(TAE_Object* object, QVRProjects::CQVRBoard* board, std::string_view word);

private:
    void SendLoginObjects();

    WindowState& state_;
    WindowServices& services_;
    UserInterface& ui_;
    platform::MainThreadDispatcher& dispatcher_;
    std::string clientLogPath_;
};

}  // namespace app
