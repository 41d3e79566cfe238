#include "platform/serial_ports.h"

#include "tests/platform/sysfs_fixture.h"

#include <gtest/gtest.h>

namespace {

using platform::SerialPortEntry;

TEST(SerialPorts, ListsHardwarePortsWithUsbJudgementFromAncestry) {
    testing_platform::SysfsFixture sys;
    sys.AddAll();
    const auto ports = platform::ListSerialPorts(sys.Root());
    const SerialPortEntry expected[] = {
        {"ttyACM10", "CDC Abstract Control Model (ACM) (ttyACM10)", "CDC Abstract Control Model (ACM)",
         "USB 1-3:1.0", true},
        {"ttyS0", "Serial port (ttyS0)", "Serial port", "pnp 00:04", false},
        {"ttyUSB0", "FTDI FT232R USB UART (ttyUSB0)", "FTDI FT232R USB UART", "USB 1-2:1.0", true},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(ports[i].name, expected[i].name);
        EXPECT_EQ(ports[i].friendlyName, expected[i].friendlyName);
        EXPECT_EQ(ports[i].description, expected[i].description);
        EXPECT_EQ(ports[i].location, expected[i].location);
        EXPECT_EQ(ports[i].isUsb, expected[i].isUsb);
    }
}

TEST(SerialPorts, TreesWithoutPortsListNothing) {
    testing_platform::SysfsFixture sys;
    EXPECT_TRUE(platform::ListSerialPorts(sys.Root()).empty());
    EXPECT_TRUE(platform::ListSerialPorts(sys.Root() + "/missing").empty());
    sys.AddVirtualConsole();
    sys.AddEmptyUartSlot();
    EXPECT_TRUE(platform::ListSerialPorts(sys.Root()).empty());
}

TEST(SerialPorts, NumbersInNamesSortNumerically) {
    testing_platform::SysfsFixture sys;
    for (const char* name : {"ttyS10", "ttyS2", "ttyS1"}) {
        const std::string port = std::string("devices/pnp0/") + name;
        sys.Link(port + "/subsystem", "bus/pnp");
        sys.Tty(name, port);
    }
    const auto ports = platform::ListSerialPorts(sys.Root());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name, "ttyS1");
    EXPECT_EQ(ports[1].name, "ttyS2");
    EXPECT_EQ(ports[2].name, "ttyS10");
}

TEST(SerialPorts, NameRules) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        {"ttyUSB0", true}, {"ttyS0", true},    {"TTYs3", true},     {"ttyACM1", true},  {"pts/7", true},
        {"PTS/12", true},  {"tty", false},     {"COM3", false},     {"LPT1", false},    {"CO5", false},
        {"pts/", false},   {"pts/x", false},   {"pts/../sda", false}, {"tty/../sda", false},
        {"ttyS0 USB", false}, {"/dev/ttyS0", false}, {"", false},
        {"shm/eboard-bus", true}, {"serial/by-id/usb-FTDI_FT232R_A1-if00-port0", true},
        {"serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0", true}, {"shm/", false}, {"shm/a/b", false},
        {"serial/by-id/../../sda", false}, {"serial/sda", false}, {"ttyS:0", false},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::IsPortName(c.name), c.valid) << c.name;

    EXPECT_TRUE(platform::SamePortName("ttyUSB0", "TTYusb0"));
    EXPECT_FALSE(platform::SamePortName("ttyUSB0", "ttyUSB01"));
    EXPECT_EQ(platform::FallbackPortNames(),
              (std::vector<std::string>{"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS4", "ttyS5", "ttyS6", "ttyS7"}));
}

TEST(SerialPorts, PortNameOfTextIsTheFirstWord) {
    struct Case {
        const char* text;
        const char* name;
    };
    const Case cases[] = {
        {"ttyUSB0 USB", "ttyUSB0"}, {"  pts/3", "pts/3"}, {"ttyS1", "ttyS1"},
        {"COM3 (USB)", ""},         {"", ""},             {"USB ttyUSB0", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::PortNameOfText(c.text), c.name) << c.text;
}

}  // namespace
