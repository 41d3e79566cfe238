#pragma once
// The program without a window: the same window model, driven by the
// dispatcher's plain loop and a timer of its own.
#include <ostream>

namespace platform {
class MainThreadDispatcher;
}

namespace app {
class MainWindow;
}

namespace app::qt {

class HeadlessUserInterface;

// SIGINT and SIGTERM ask the program to close; a second one ends it at once.
void InstallCloseSignals();

// Runs until the window model ends the program (after a close request once
// every port has stopped). New Debug page lines and connection states are
// written to `out`.
void RunHeadless(MainWindow& window, HeadlessUserInterface& ui, platform::MainThreadDispatcher& dispatcher,
                 std::ostream& out);

}  // namespace app::qt
