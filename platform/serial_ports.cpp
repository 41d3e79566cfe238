#include "platform/serial_ports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    if (!in || !std::getline(in, value)) return {};
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

std::string LinkName(const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool IsInsideRoot(const fs::path& path, const fs::path& root) {
    auto [rootEnd, pathIt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

// Natural order: "ttyS2" before "ttyS10".
bool NameLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
            const std::string numA = a.substr(i, endA - i);
            const std::string numB = b.substr(j, endB - j);
            const auto trimmedA = numA.substr(std::min(numA.find_first_not_of('0'), numA.size()));
            const auto trimmedB = numB.substr(std::min(numB.find_first_not_of('0'), numB.size()));
            if (trimmedA.size() != trimmedB.size()) return trimmedA.size() < trimmedB.size();
            if (trimmedA != trimmedB) return trimmedA < trimmedB;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// What the device's ancestry tells about one port.
struct Ancestry {
    fs::path usbInterface;  // empty when not on USB
    fs::path usbDevice;
    fs::path busDevice;     // the first ancestor on a hardware bus
};

Ancestry WalkAncestry(const fs::path& device, const fs::path& devicesRoot) {
    Ancestry found;
    for (fs::path dir = device; IsInsideRoot(dir, devicesRoot) && dir != devicesRoot; dir = dir.parent_path()) {
        const std::string subsystem = LinkName(dir / "subsystem");
        if (subsystem == "usb") {
            if (Exists(dir / "bInterfaceNumber")) {
                if (found.usbInterface.empty()) found.usbInterface = dir;
            } else if (Exists(dir / "idVendor")) {
                if (found.usbDevice.empty()) found.usbDevice = dir;
            }
        }
        // serial-base and usb-serial are the tty layer's own port devices.
        if (found.busDevice.empty() && !subsystem.empty() && subsystem != "serial-base" &&
            subsystem != "usb-serial" && subsystem != "tty")
            found.busDevice = dir;
    }
    return found;
}

SerialPortEntry Describe(const std::string& name, const fs::path& device, const fs::path& devicesRoot) {
    SerialPortEntry entry;
    entry.name = name;
    const Ancestry ancestry = WalkAncestry(device, devicesRoot);
    entry.isUsb = !ancestry.usbInterface.empty() || !ancestry.usbDevice.empty();
    if (entry.isUsb) {
        const fs::path usb = ancestry.usbDevice.empty() ? ancestry.usbInterface : ancestry.usbDevice;
        const std::string manufacturer = ReadAttribute(usb / "manufacturer");
        std::string product = ReadAttribute(usb / "product");
        if (product.empty() && !ancestry.usbInterface.empty())
            product = ReadAttribute(ancestry.usbInterface / "interface");
        if (product.empty()) product = "USB serial port";
        entry.description = manufacturer.empty() ? product : manufacturer + " " + product;
        const fs::path where = ancestry.usbInterface.empty() ? ancestry.usbDevice : ancestry.usbInterface;
        entry.location = "USB " + where.filename().string();
    } else {
        entry.description = "Serial port";
        if (!ancestry.busDevice.empty())
            entry.location =
                LinkName(ancestry.busDevice / "subsystem") + " " + ancestry.busDevice.filename().string();
    }
    entry.friendlyName = entry.description + " (" + name + ")";
    return entry;
}

}  // namespace

std::vector<SerialPortEntry> ListSerialPorts(const std::string& sysRoot) {
    std::vector<SerialPortEntry> ports;
    const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
    std::error_code error;
    const fs::path devicesRoot = fs::weakly_canonical(fs::path(sysRoot) / "devices", error);
    if (error) return ports;
    fs::directory_iterator it(classDir, error);
    if (error) return ports;
    for (const auto& item : it) {
        const std::string name = item.path().filename().string();
        // Only entries with a device are hardware; virtual terminals have none.
        std::error_code linkError;
        const fs::path device = fs::canonical(item.path() / "device", linkError);
        if (linkError || !IsInsideRoot(device, devicesRoot)) continue;
        // A UART type of 0 is the kernel's "no such UART" (ttyS ports that
        // exist only as slots).
        if (ReadAttribute(item.path() / "type") == "0") continue;
        if (!IsPortName(name)) continue;
        ports.push_back(Describe(name, device, devicesRoot));
    }
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return NameLess(a.name, b.name); });
    return ports;
}

bool IsPortName(std::string_view name) {
    if (name.size() < 4 || name.find("..") != std::string_view::npos) return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '_' && c != '-' && c != '.' && c != '/' && c != ':') return false;
    }
    auto startsWith = [&](std::string_view prefix) {
        return SamePortName(name.substr(0, std::min(prefix.size(), name.size())), prefix);
    };
    if (startsWith("pts/")) {
        const std::string_view number = name.substr(4);
        return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        });
    }
    // Links that keep a port's name stable: udev's names of USB adapters, and
    // links to pseudo-terminals in /dev/shm. Opening checks that a terminal is behind.
    for (const std::string_view folder : {"serial/by-id/", "serial/by-path/", "shm/"}) {
        if (!startsWith(folder)) continue;
        const std::string_view link = name.substr(folder.size());
        return !link.empty() && link.find('/') == std::string_view::npos;
    }
    return startsWith("tty") && name.find('/') == std::string_view::npos && name.find(':') == std::string_view::npos;
}

bool SamePortName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> FallbackPortNames() {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) names.push_back("ttyS" + std::to_string(i));
    return names;
}

std::string PortNameOfText(std::string_view portText) {
    const std::size_t begin = portText.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    const std::size_t end = portText.find_first_of(" \t", begin);
    const std::string_view name = portText.substr(begin, end == std::string_view::npos ? end : end - begin);
    return IsPortName(name) ? std::string(name) : std::string();
}

}  // namespace platform
