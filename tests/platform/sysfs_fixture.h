#pragma once
// A small tree shaped like /sys for the port listing: a USB serial adapter,
// a USB modem-class port, a mainboard port, a UART slot without hardware and
// a virtual console.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace testing_platform {

class SysfsFixture {
public:
    SysfsFixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sysfs-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
    }
    ~SysfsFixture() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    SysfsFixture(const SysfsFixture&) = delete;
    SysfsFixture& operator=(const SysfsFixture&) = delete;

    std::string Root() const { return root_.string(); }

    void Dir(const std::string& path) { std::filesystem::create_directories(root_ / path); }
    void File(const std::string& path, const std::string& text) {
        Dir(std::filesystem::path(path).parent_path().string());
        std::ofstream(root_ / path) << text << "\n";
    }
    // A relative link, as sysfs has them.
    void Link(const std::string& from, const std::string& to) {
        const auto link = root_ / from;
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_directories(root_ / to);
        std::filesystem::create_directory_symlink(std::filesystem::relative(root_ / to, link.parent_path()), link);
    }
    // A tty class entry for `name` under device directory `device`.
    void Tty(const std::string& name, const std::string& device) {
        const std::string ttyDir = device + "/tty/" + name;
        Dir(ttyDir);
        Link(ttyDir + "/device", device);
        Link(ttyDir + "/subsystem", "class/tty");
        Link("class/tty/" + name, ttyDir);
    }

    void AddUsbAdapter() {
        const std::string usb = "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        Link(usb + "/subsystem", "bus/usb");
        File(usb + "/idVendor", "0403");
        File(usb + "/manufacturer", "FTDI");
        File(usb + "/product", "FT232R USB UART");
        const std::string interface = usb + "/1-2:1.0";
        Link(interface + "/subsystem", "bus/usb");
        File(interface + "/bInterfaceNumber", "00");
        const std::string port = interface + "/ttyUSB0";
        Link(port + "/subsystem", "bus/usb-serial");
        Tty("ttyUSB0", port);
    }
    // A modem-class port: its name says nothing of USB, its ancestry does.
    void AddUsbModemPort() {
        const std::string usb = "devices/pci0000:00/0000:00:14.0/usb1/1-3";
        Link(usb + "/subsystem", "bus/usb");
        File(usb + "/idVendor", "2341");
        const std::string interface = usb + "/1-3:1.0";
        Link(interface + "/subsystem", "bus/usb");
        File(interface + "/bInterfaceNumber", "00");
        File(interface + "/interface", "CDC Abstract Control Model (ACM)");
        Tty("ttyACM10", interface);
    }
    void AddMainboardPort() {
        const std::string pnp = "devices/pnp0/00:04";
        Link(pnp + "/subsystem", "bus/pnp");
        const std::string port = pnp + "/00:04:0/00:04:0.0";
        Link(port + "/subsystem", "bus/serial-base");
        Tty("ttyS0", port);
        File("devices/pnp0/00:04/00:04:0/00:04:0.0/tty/ttyS0/type", "4");
    }
    void AddEmptyUartSlot() {
        const std::string port = "devices/platform/serial8250/serial8250:0/serial8250:0.1";
        Link("devices/platform/serial8250/subsystem", "bus/platform");
        Link(port + "/subsystem", "bus/serial-base");
        Tty("ttyS1", port);
        File(port + "/tty/ttyS1/type", "0");
    }
    void AddVirtualConsole() {
        Dir("devices/virtual/tty/tty0");
        Link("class/tty/tty0", "devices/virtual/tty/tty0");
    }
    void AddAll() {
        AddUsbAdapter();
        AddUsbModemPort();
        AddMainboardPort();
        AddEmptyUartSlot();
        AddVirtualConsole();
    }

private:
    std::filesystem::path root_;
};

}  // namespace testing_platform
