#include "platform/serial_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kWriteWaitMs = 3000;

bool SpeedOf(std::uint32_t baud, speed_t& speed) {
    struct Rate {
        std::uint32_t baud;
        speed_t speed;
    };
    static constexpr Rate rates[] = {
        {50, B50},         {75, B75},         {110, B110},         {134, B134},
        {150, B150},       {200, B200},       {300, B300},         {600, B600},
        {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& rate : rates) {
        if (rate.baud == baud) {
            speed = rate.speed;
            return true;
        }
    }
    return false;
}

std::string OpenFailureReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied; add the user to the dialout group and log in again";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device";
    case EBUSY:
        return "in use by another program";
    default:
        return std::strerror(error);
    }
}

// Where the driver has it, asks for small receive latency; many drivers
// (and pseudo-terminals) do not, which is fine.
void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

SerialDevice::~SerialDevice() { Close(); }

std::string SerialDevice::DevicePath(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return {};
    return "/dev/" + std::string(name);
}

SerialDevice::OpenResult SerialDevice::Open(std::string_view name, std::uint32_t baudRate) {
    Close();
    const std::string path = DevicePath(name);
    if (path.empty()) return {OpenStatus::NotOpened, "not a device name"};

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {OpenStatus::NotOpened, OpenFailureReason(errno)};

    struct stat info{};
    termios settings{};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || tcgetattr(fd, &settings) != 0) {
        ::close(fd);
        return {OpenStatus::NotOpened, "not a serial device"};
    }
    // TIOCEXCL keeps out later opens (except by root); the lock also keeps
    // out root and every program that honours it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return {OpenStatus::NotOpened, "in use by another program"};
    }
    (void)ioctl(fd, TIOCEXCL);
    RequestLowLatency(fd);

    speed_t speed{};
    if (!SpeedOf(baudRate, speed)) {
        ::close(fd);
        return {OpenStatus::SettingsRefused, "baud rate " + std::to_string(baudRate) + " not supported"};
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // VMIN 1 with O_NONBLOCK: "nothing waiting" is EAGAIN, so a read of 0
    // can only mean that the line hung up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
        tcsetattr(fd, TCSANOW, &settings) != 0) {
        const int error = errno;
        ::close(fd);
        return {OpenStatus::SettingsRefused, std::string("line settings refused: ") + std::strerror(error)};
    }
    // Boards must not see DTR or RTS. Devices without modem lines (a
    // pseudo-terminal) refuse the request, which leaves nothing to switch off.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);

    fd_ = fd;
    return {OpenStatus::Opened, {}};
}

void SerialDevice::Close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

ssize_t SerialDevice::Read(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    if (size == 0) return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n > 0) return n;
        if (n == 0) return -1;  // hung up
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

SerialDevice::WaitResult SerialDevice::WaitReadable(std::uint32_t ms, int wakeFd) const {
    if (fd_ < 0) return WaitResult::Unavailable;
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const nfds_t count = wakeFd >= 0 ? 2 : 1;
    const int timeout = ms > 60000 ? 60000 : static_cast<int>(ms);
    int ready = 0;
    do {
        ready = ::poll(fds, count, timeout);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return WaitResult::Unavailable;
    if (ready == 0) return WaitResult::TimedOut;
    if (count == 2 && (fds[1].revents & POLLIN) != 0) return WaitResult::Woken;
    // A hung-up device stays "readable" for ever; its next read reports it.
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return WaitResult::Unavailable;
    return WaitResult::Readable;
}

bool SerialDevice::Write(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        pollfd waiter{fd_, POLLOUT, 0};
        const int ready = ::poll(&waiter, 1, kWriteWaitMs);
        if (ready <= 0 || (waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
    }
    return true;
}

}  // namespace platform
