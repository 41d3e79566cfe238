#pragma once
// The command line of sornrumo.
#include <optional>
#include <string>
#include <vector>

namespace app::qt {

// A port to tick at start. Empty cabling or count keeps what the port grid offers.
struct PortToOpen {
    std::string name;
    std::string cabling;  // as the port grid shows it: "Serial Bus", "Serial", "USB"
    std::string count;    // "auto" or "1".."12"
};

struct ProgramOptions {
    bool help = false;
    bool headless = false;
    bool connect = false;
    bool yes = false;
    std::string logDir;
    std::optional<std::string> server;
    std::optional<std::string> port;
    std::vector<PortToOpen> open;
    // Saves a picture of the window shortly after it is shown, then ends.
    std::string screenshot;
};

extern const char* const kUsage;

// None with `error` set when the command line is wrong.
std::optional<ProgramOptions> ParseProgramOptions(const std::vector<std::string>& arguments, std::string& error);

// "serialbus", "serial bus", "bus", "serial", "usb" in any case; none for other text.
std::optional<std::string> CablingOfText(const std::string& text);

}  // namespace app::qt
