#include "app/qt/startup_actions.h"

#include <filesystem>

#include "app/connect_page.h"
#include "app/main_window.h"
#include "app/server_connection.h"
#include "boards/event_lock.h"
#include "platform/serial_ports.h"
#include "serial/scan_coms.h"

namespace app::qt {

namespace {

// The port grid row of the port, or 0.
int PortRow(const StringGrid& grid, const std::string& name) {
    for (int row = 1; row < grid.RowCount(); ++row) {
        const auto* port = static_cast<const TSerialPortInfo*>(grid.Cell(0, row).ref);
        if (port && platform::SamePortName(port->name, name)) return row;
    }
    return 0;
}

// The device behind a link such as /dev/serial/by-id/... or /dev/shm/<name>,
// as a port name ("ttyUSB0", "pts/7"); "" when there is none under /dev.
std::string DeviceBehind(const std::string& name) {
    std::error_code failed;
    const std::filesystem::path link = name.front() == '/' ? std::filesystem::path(name) : std::filesystem::path("/dev") / name;
    const std::string device = std::filesystem::canonical(link, failed).string();
    if (failed || device.rfind("/dev/", 0) != 0) return {};
    return device.substr(5);
}

int FindOrAddPort(MainWindow& window, const std::string& name) {
    const StringGrid& grid = window.State().portGrid;
    if (int row = PortRow(grid, name)) return row;
    if (platform::IsPortName(name)) return window.Ports().AddPortByName(name);
    const std::string device = DeviceBehind(name);
    if (device.empty()) return -1;
    if (int row = PortRow(grid, device)) return row;
    return window.Ports().AddPortByName(device);
}

bool OpenPort(MainWindow& window, const PortToOpen& port, std::string& error) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    WindowState& state = window.State();
    const int row = FindOrAddPort(window, port.name);
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
