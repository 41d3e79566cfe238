#include "app/qt/startup_actions.h"

#include "app/connect_page.h"
#include "app/main_window.h"
#include "app/server_connection.h"
#include "boards/event_lock.h"

namespace app::qt {

namespace {

bool OpenPort(MainWindow& window, const PortToOpen& port, std::string& error) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    WindowState& state = window.State();
    // The port's row, added when the port list lacks it.
    const int row = window.Ports().AddPortByName(port.name);
    if (row <= 0) {
        error = "cannot use " + port.name + " as a serial port";
        return false;
    }
    // As the grid's editors would: the cabling first, since changing it resets the count.
    if (!port.cabling.empty() && state.portGrid.Text(1, row) != port.cabling) {
        state.portGrid.SetText(1, row, port.cabling);
        window.Ports().AdvStringGrid1EditChange(1, port.cabling, row);
    }
    if (!port.count.empty()) state.portGrid.SetText(2, row, port.count);
    if (GridCell* box = state.portGrid.Edit(0, row); box && !box->checked) {
        box->checked = true;
        window.Ports().AdvStringGrid1CheckBoxClick(0, row, true);
    }
    return true;
}

}  // namespace

bool ApplyStartupOptions(MainWindow& window, const ProgramOptions& options, std::string& error) {
    for (const PortToOpen& port : options.open)
        if (!OpenPort(window, port, error)) return false;
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        if (options.server) window.State().serverAddress = *options.server;
        if (options.port) window.State().serverPort = *options.port;
    }
    if (options.connect) {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        window.Server().ButtonConnectClick();
    }
    return true;
}

}  // namespace app::qt
