#include "boards/board_interface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "boards/serial_port_owner.h"

namespace QVRProjects {
namespace {

TEST(BoardInterface, CreatesAProtocolPerCablingName) {
    struct Case {
        const char* cabling;
        bool bus;
        const char* name;  // nullptr: nothing is made
    };
    const Case cases[] = {
        {"Serial Bus", true, "serialbus"}, {"SERIALBUS", true, "serialbus"}, {"USB", false, "USB"},
        {"serial", false, "serial"},       {"auto", false, nullptr},         {"", false, nullptr},
    };
    CQVRBoardInterface boards;
    int32_t made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cabling);
        CQVRBoardProtocol* protocol = boards.Create(c.cabling, nullptr);
        if (!c.name) {
            EXPECT_EQ(protocol, nullptr);
            continue;
        }
        ASSERT_NE(protocol, nullptr);
        ++made;
        EXPECT_EQ(protocol->cabling, c.name);
        EXPECT_EQ(protocol->portName, "unknown");
        EXPECT_EQ(dynamic_cast<CQVRSerialBus*>(protocol) != nullptr, c.bus);
        EXPECT_EQ(dynamic_cast<CQVRSerialCable*>(protocol) != nullptr, !c.bus);
    }
    EXPECT_EQ(boards.protocols.Count(), made);
    EXPECT_FALSE(boards.computerName.empty());
}

TEST(BoardInterface, PortNameIsTheFirstWord) {
    const std::pair<const char*, const char*> cases[] = {
        {"ttyUSB0 USB", "ttyUSB0"}, {"ttyS3", "ttyS3"}, {"  pts/7\tx", "pts/7"}, {"", ""}, {"   ", ""}};
    for (const auto& [text, name] : cases) EXPECT_EQ(PortNameOf(text), name) << '"' << text << '"';
    CQVRBoardInterface boards;
    EXPECT_FALSE(boards.Create("usb", nullptr)->Open("  "));
}

TEST(BoardInterface, StopPortsWaitsForEveryPortToStop) {
    CQVRBoardInterface boards;
    EXPECT_TRUE(boards.StopPorts());
    std::atomic<int> failedOpens{0};
    CQVRBoardProtocol* cable = boards.Create("usb", [&](CQVR_Event_Data* e) {
        if (e->Text() == "301 SERIALIO_STATUSPORT KO") ++failedOpens;
    });
    EXPECT_TRUE(boards.StopPorts()) << "a port never opened is stopped";
    // A port that cannot open keeps trying until it is stopped.
    ASSERT_TRUE(cable->Open("ttyNoSuchPort9 USB"));
    EXPECT_EQ(cable->portName, "ttyNoSuchPort9");
    auto waitFor = [](const std::function<bool()>& condition) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    };
    ASSERT_TRUE(waitFor([&] { return failedOpens > 0; }));
    EXPECT_FALSE(boards.StopPorts());
    EXPECT_TRUE(waitFor([&] { return boards.StopPorts(); }));
    EXPECT_TRUE(cable->IsStopped());
    EXPECT_FALSE(cable->HasFailed());
}

}  // namespace
}  // namespace QVRProjects
