#include "app/qt/program_options.h"

#include "platform/serial_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace app::qt {

const char* const kUsage =
    "usage: sornrumo [--headless] [--log-dir DIR] [--server ADDR] [--port N] [--connect]\n"
    "                [--open PORT[:CABLING[:COUNT]]]... [--yes]\n"
    "  --headless        run without a window: messages and log lines on standard error;\n"
    "                    SIGINT or SIGTERM closes the program once its ports have stopped\n"
    "  --log-dir DIR     where the log files go (log_protocol.txt, log_boards.txt,\n"
    "                    zuva_client_log.txt); default the working directory\n"
    "  --server ADDR     tournament server address or host name (\"auto\": find it by broadcast)\n"
    "  --port N          tournament server port (\"default\": 50000)\n"
    "  --connect         connect to the server at start\n"
    "  --open PORT[:CABLING[:COUNT]]\n"
    "                    tick a port at start, adding it when the port list lacks it;\n"
    "                    PORT is a device name under /dev (ttyUSB0, pts/7) or a stable link\n"
    "                    (serial/by-id/<name>, serial/by-path/<name>, shm/<name>)\n"
    "                    CABLING is serialbus, serial or usb; COUNT is auto or 1..12 boards\n"
    "                    on a serial bus\n"
    "  --yes             answer yes to every question (headless)\n"
    "  --help            this text\n";

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsBoardCount(const std::string& text) {
    if (text == "auto") return true;
    if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    const int n = std::atoi(text.c_str());
    return n >= 1 && n <= 12 && text.front() != '0';
}

std::optional<PortToOpen> ParsePortToOpen(const std::string& text, std::string& error) {
    // A port name may hold ":" itself (serial/by-path links), so the cabling
    // and the count are split off from the end.
    PortToOpen port;
    port.name = text;
    std::vector<std::string> tail;
    while (tail.size() < 2) {
        const auto colon = port.name.rfind(':');
        if (colon == std::string::npos) break;
        const std::string part = port.name.substr(colon + 1);
        if (!CablingOfText(part) && !IsBoardCount(Lower(part))) break;
        tail.insert(tail.begin(), part);
        port.name.erase(colon);
    }
    if (port.name.empty()) {
        error = "--open needs a port name";
        return std::nullopt;
    }
    if (port.name.find(':') != std::string::npos && !platform::IsPortName(port.name)) {
        error = "unknown cabling or count in " + text + " (cabling serialbus, serial or usb; count auto or 1..12)";
        return std::nullopt;
    }
    if (tail.empty()) return port;
    const auto known = CablingOfText(tail.front());
    if (!known) {
        error = "a board count needs a cabling before it: " + text;
        return std::nullopt;
    }
    port.cabling = *known;
    if (tail.size() == 1) return port;
    port.count = Lower(tail.back());
    if (!IsBoardCount(port.count)) {
        error = "board count must be auto or 1..12, not " + port.count;
        return std::nullopt;
    }
    if (port.count != "auto" && port.count != "1" && port.cabling != "Serial Bus") {
        error = "only a serial bus carries more than one board";
        return std::nullopt;
    }
    return port;
}

}  // namespace

std::optional<std::string> CablingOfText(const std::string& text) {
    const std::string lower = Lower(text);
    if (lower == "serialbus" || lower == "serial bus" || lower == "bus") return std::string("Serial Bus");
    if (lower == "serial") return std::string("Serial");
    if (lower == "usb") return std::string("USB");
    return std::nullopt;
}

std::optional<ProgramOptions> ParseProgramOptions(const std::vector<std::string>& arguments, std::string& error) {
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--headless") {
            options.headless = true;
        } else if (name == "--connect") {
            options.connect = true;
        } else if (name == "--yes") {
            options.yes = true;
        } else if (name == "--log-dir" || name == "--server" || name == "--port" || name == "--open" ||
                   name == "--screenshot") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (text->empty()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            if (name == "--log-dir") {
                options.logDir = *text;
            } else if (name == "--server") {
                options.server = *text;
            } else if (name == "--port") {
                if (*text != "default" && (!std::all_of(text->begin(), text->end(), ::isdigit) ||
                                           text->size() > 5 || std::atoi(text->c_str()) > 65535)) {
                    error = "--port needs a number up to 65535 or \"default\"";
                    return std::nullopt;
                }
                options.port = *text;
            } else if (name == "--screenshot") {
                options.screenshot = *text;
            } else {
                auto port = ParsePortToOpen(*text, error);
                if (!port) return std::nullopt;
                options.open.push_back(std::move(*port));
            }
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
    }
    if (options.headless && !options.screenshot.empty()) {
        error = "--screenshot needs the window";
        return std::nullopt;
    }
    return options;
}

}  // namespace app::qt
