#pragma once
// The computer's serial ports and the rules for their names. On Linux a port
// is named by its device under /dev without "/dev/": "ttyUSB0", "ttyS0",
// "ttyACM0", "pts/7".
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct SerialPortEntry {
    std::string name;
    std::string friendlyName;
    std::string description;
    std::string location;
    bool isUsb = false;
};

// Ports with a device behind them, from <sysRoot>/class/tty, ordered by name
// with numbers in numeric order. Virtual terminals and UARTs that the kernel
// reports as absent are left out. Tests pass a fixture tree as sysRoot.
std::vector<SerialPortEntry> ListSerialPorts(const std::string& sysRoot = "/sys");

// A name that can name a port, in any case, without path tricks: "tty"
// followed by a device name, "pts/" followed by a number, or a link in
// "serial/by-id/", "serial/by-path/" or "shm/".
bool IsPortName(std::string_view name);
// Port names compare without regard to case.
bool SamePortName(std::string_view a, std::string_view b);
// Offered when discovery finds nothing: ttyS0 to ttyS7.
std::vector<std::string> FallbackPortNames();
// The port name inside a port text: its first word ("ttyUSB0 USB" gives
// "ttyUSB0"); "" when the text holds no valid name.
std::string PortNameOfText(std::string_view portText);

}  // namespace platform
