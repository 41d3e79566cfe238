#pragma once
// The state of the main window, shared by the parts that serve its pages.
// Plain data: whoever touches it holds the event lock. Views copy from it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/string_grid.h"
#include "boards/board_interface.h"
#include "objects/client.h"
#include "objects/tree.h"
#include "serial/scan_coms.h"

namespace app {

inline constexpr const char* kProgramTitle = "SORN RUMO Draughts 2.0";

// The Debug page's multi-line text box.
struct MemoBox {
    std::vector<std::string> lines;
    // The selection that brings the newest line into view.
    std::size_t selectionStart = 0;
    std::size_t selectionLength = 0;
    std::uint64_t revision = 0;
};

// Pages in the order of the page control.
enum class Page { ConnectBoards, Overview, Settings, Debug, Wireless };

struct WindowState {
    // Window, page control and timer.
    std::string caption = kProgramTitle;
    Page activePage = Page::ConnectBoards;
    bool debugTabVisible = true;  // hidden by FormShow
    int timerIntervalMs = 1000;
    bool timerRunning = true;

    // Settings page and status strip.
    std::string serverAddress = "auto";  // Edit1
    std::string serverPort = "default";  // Edit2
    std::string connectLabel = "Not connected (click connect)";
    bool connectEnabled = true;
    bool disconnectEnabled = false;

    // Debug page.
    int logLevel = 0;  // index into the log level list
    MemoBox memo;

    // Grids: port grid (Connect e-Boards), overview, wireless.
    StringGrid portGrid{4, 1};
    StringGrid overviewGrid{9, 1};
    StringGrid wirelessGrid{5, 10};

    std::uint8_t runningClockStyle = FontStyle::Underline;
    std::uint8_t idleClockStyle = 0;
    std::int32_t tickCount = 0;
    std::string uid;
    std::unique_ptr<TAE_Root> root;
    TAE_KeyCollection* boardsCollection = nullptr;
    TAE_KeyCollection* connectionsCollection = nullptr;
    TAE_KeyCollection* gucsCollection = nullptr;
    TAE_Object* clientObject = nullptr;
    std::unique_ptr<TAEOS_Client> client;
    std::uint8_t loggingStopped = 0;
    std::uint8_t closing = 0;
    std::unique_ptr<TScanComs> portEnumerator;
    std::int32_t editRow = 0;
    std::int32_t editCol = 0;
    std::unique_ptr<QVRProjects::CQVRBoardInterface> boardInterface;
};

}  // namespace app
