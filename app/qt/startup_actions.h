#pragma once
// What the command line asks of the window once it is shown: tick ports and
// connect to the server, as a user would on the pages.
#include <string>

#include "app/qt/program_options.h"

namespace app {
class MainWindow;
}

namespace app::qt {

// After FormShow, on the main thread. False with `error` when a port can be
// neither found nor added by its name.
bool ApplyStartupOptions(MainWindow& window, const ProgramOptions& options, std::string& error);

}  // namespace app::qt
