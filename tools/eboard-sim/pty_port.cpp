#include "tools/eboard-sim/pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace eboardsim {

std::string PtyPort::Open() {
    Close();
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return std::string("openpty: ") + std::strerror(errno);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    devicePath_ = name;
    if (!linkPath_.empty()) {
        // Replace the link in one step so that a reader never sees it missing
        // while the cable is plugged in.
        const std::string temporary = linkPath_ + ".new";
        unlink(temporary.c_str());
        if (symlink(devicePath_.c_str(), temporary.c_str()) != 0 ||
            rename(temporary.c_str(), linkPath_.c_str()) != 0) {
            const std::string error = std::string("link ") + linkPath_ + ": " + std::strerror(errno);
            Close();
            return error;
        }
    }
    return {};
}

void PtyPort::Close() {
    if (master_ < 0) return;
    if (!linkPath_.empty()) {
        char target[256] = {};
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && devicePath_ == std::string(target, static_cast<size_t>(n))) unlink(linkPath_.c_str());
    }
    close(slave_);
    close(master_);
    master_ = slave_ = -1;
}

}  // namespace eboardsim
