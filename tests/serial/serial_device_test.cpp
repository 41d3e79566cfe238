#include "platform/serial_device.h"
#include "platform/wake_signal.h"

#include "tests/serial/pseudo_terminal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

namespace {

using platform::SerialDevice;
using testing_serial::PseudoTerminal;
using OpenStatus = SerialDevice::OpenStatus;

TEST(SerialDevice, SetsRawEightNoneOneAtTheAskedRate) {
    struct Case {
        std::uint32_t baud;
        speed_t speed;
    };
    for (const Case c : {Case{9600, B9600}, Case{115200, B115200}, Case{1200, B1200}}) {
        SCOPED_TRACE(c.baud);
        PseudoTerminal pty;
        // Start from cooked settings that a raw line must undo.
        termios cooked{};
        ASSERT_EQ(tcgetattr(pty.SlaveFd(), &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_cflag |= PARENB | CSTOPB;
        cooked.c_iflag |= IXON | ICRNL;
        ASSERT_EQ(tcsetattr(pty.SlaveFd(), TCSANOW, &cooked), 0);

        SerialDevice device;
        ASSERT_EQ(device.Open(pty.Name(), c.baud).status, OpenStatus::Opened);
        termios line{};
        ASSERT_EQ(tcgetattr(pty.SlaveFd(), &line), 0);
        EXPECT_EQ(cfgetispeed(&line), c.speed);
        EXPECT_EQ(cfgetospeed(&line), c.speed);
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.c_iflag & (IXON | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
    }
}

TEST(SerialDevice, ReadsWithoutBlockingAndReportsAGoneFarEnd) {
    PseudoTerminal pty;
    SerialDevice device;
    ASSERT_EQ(device.Open(pty.Name(), 9600).status, OpenStatus::Opened);
    char buffer[16];
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 0);
    ASSERT_TRUE(pty.Send("hi"));
    ASSERT_TRUE(testing_serial::Eventually([&] {
        const ssize_t n = device.Read(buffer, sizeof buffer);
        return n == 2 && std::string(buffer, 2) == "hi";
    }));
    ASSERT_TRUE(device.Write("ok", 2));
    EXPECT_EQ(pty.Receive(2), "ok");
    pty.CloseMaster();
    EXPECT_EQ(device.Read(buffer, sizeof buffer), -1);
}

// The worker's pause ends on bytes, on a raised wake signal, and never spins on
// a hung-up line.
TEST(SerialDevice, WaitEndsOnBytesOnWakeAndNotOnAHungUpLine) {
    using Wait = SerialDevice::WaitResult;
    PseudoTerminal pty;
    SerialDevice device;
    platform::WakeSignal wake;
    ASSERT_GE(wake.Fd(), 0);
    EXPECT_EQ(device.WaitReadable(10, wake.Fd()), Wait::Unavailable);  // not open
    ASSERT_EQ(device.Open(pty.Name(), 9600).status, OpenStatus::Opened);
    EXPECT_EQ(device.WaitReadable(10, wake.Fd()), Wait::TimedOut);
    wake.Raise();
    wake.Raise();
    EXPECT_EQ(device.WaitReadable(60000, wake.Fd()), Wait::Woken);
    wake.Clear();
    EXPECT_EQ(device.WaitReadable(10, wake.Fd()), Wait::TimedOut);
    ASSERT_TRUE(pty.Send("x"));
    EXPECT_EQ(device.WaitReadable(60000, wake.Fd()), Wait::Readable);
    char buffer[4];
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 1);
    pty.CloseMaster();
    EXPECT_EQ(device.WaitReadable(60000, wake.Fd()), Wait::Unavailable);
}

TEST(SerialDevice, IsExclusive) {
    PseudoTerminal pty;
    SerialDevice first;
    ASSERT_EQ(first.Open(pty.Name(), 9600).status, OpenStatus::Opened);
    SerialDevice second;
    const auto refused = second.Open(pty.Name(), 9600);
    EXPECT_EQ(refused.status, OpenStatus::NotOpened);
    EXPECT_EQ(refused.reason, "in use by another program");
    first.Close();
    EXPECT_EQ(second.Open(pty.Name(), 9600).status, OpenStatus::Opened);
}

TEST(SerialDevice, UnsupportedBaudRateIsRefusedAfterOpening) {
    PseudoTerminal pty;
    SerialDevice device;
    const auto result = device.Open(pty.Name(), 12345);
    EXPECT_EQ(result.status, OpenStatus::SettingsRefused);
    EXPECT_EQ(result.reason, "baud rate 12345 not supported");
    EXPECT_FALSE(device.IsOpen());
    // Nothing is left holding the device.
    EXPECT_EQ(device.Open(pty.Name(), 9600).status, OpenStatus::Opened);
}

// Without the right to the device, the reason tells the user what to do.
TEST(SerialDevice, PermissionFailureNamesTheDialoutGroup) {
    PseudoTerminal pty;
    ASSERT_EQ(chmod(pty.Path().c_str(), 0600), 0);
    const pid_t child = fork();
    if (child == 0) {
        // Root passes every permission check: drop to an ordinary user.
        if (geteuid() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        } else if (chmod(pty.Path().c_str(), 0) != 0) {
            _exit(4);
        }
        SerialDevice device;
        const auto result = device.Open(pty.Name(), 9600);
        _exit(result.status == OpenStatus::NotOpened &&
                      result.reason.find("dialout group") != std::string::npos
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
