#include "serial/scan_coms.h"

#include "tests/platform/sysfs_fixture.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const TScanComs& coms) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < coms.Count(); ++i) names.push_back(coms.At(i)->name);
    return names;
}

TEST(ScanComs, FillsFromTheSystemAndAddsPseudoTerminalsByName) {
    testing_platform::SysfsFixture sys;
    sys.AddUsbAdapter();
    sys.AddMainboardPort();
    sys.AddVirtualConsole();
    TScanComs coms(sys.Root());
    coms.Fill();
    ASSERT_EQ(Names(coms), (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
    EXPECT_EQ(coms.At(0)->isUsb, 0);
    EXPECT_EQ(coms.At(1)->isUsb, 1);
    EXPECT_EQ(coms.At(1)->friendlyName, "FTDI FT232R USB UART (ttyUSB0)");
    EXPECT_EQ(coms.At(1)->location, "USB 1-2:1.0");

    TSerialPortInfo* pts = coms.AddPort("pts/4");
    ASSERT_NE(pts, nullptr);
    EXPECT_EQ(pts->isUsb, 0);
    EXPECT_TRUE(pts->friendlyName.empty());
    EXPECT_EQ(coms.FindPort("PTS/4"), pts);
    // The list is not refreshed while it holds entries.
    coms.Fill();
    EXPECT_EQ(Names(coms), (std::vector<std::string>{"ttyS0", "ttyUSB0", "pts/4"}));
}

TEST(ScanComs, WithoutPortsOffersTheFallbackList) {
    testing_platform::SysfsFixture sys;
    sys.AddVirtualConsole();
    sys.AddEmptyUartSlot();
    TScanComs coms(sys.Root());
    coms.Fill();
    EXPECT_EQ(Names(coms),
              (std::vector<std::string>{"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS4", "ttyS5", "ttyS6", "ttyS7"}));
}

TEST(ScanComs, AddAndFindCompareWithoutCaseAndRefuseOtherNames) {
    TScanComs coms("/nonexistent");
    TSerialPortInfo* upper = coms.AddPort("ttyUSB5");
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(coms.AddPort("TTYusb5"), upper);
    EXPECT_EQ(coms.FindPort("ttyusb5"), upper);
    EXPECT_EQ(upper->name, "ttyUSB5");
    for (const char* invalid : {"CO5", "LPT1", "COM5", "tty", "pts/x", "../ttyS0", ""}) {
        EXPECT_EQ(coms.AddPort(invalid), nullptr) << invalid;
        EXPECT_EQ(coms.FindPort(invalid), nullptr) << invalid;
    }
    EXPECT_EQ(coms.FindPort("ttyUSB6"), nullptr);
    EXPECT_EQ(coms.Count(), 1u);
}

}  // namespace
