// The simulator's end of the cable: a pseudo-terminal in raw mode, reachable
// through a symbolic link. Pulling the cable closes it; putting it back makes
// a new one behind the same link.
#pragma once

#include <string>

namespace eboardsim {

class PtyPort {
public:
    explicit PtyPort(std::string linkPath) : linkPath_(std::move(linkPath)) {}
    ~PtyPort() { Close(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Returns an error text, empty on success.
    std::string Open();
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int Fd() const { return master_; }
    const std::string& DevicePath() const { return devicePath_; }
    // The link when one was asked for, else the device.
    const std::string& Path() const { return linkPath_.empty() ? devicePath_ : linkPath_; }

private:
    std::string linkPath_;
    std::string devicePath_;
    int master_ = -1;
    // Kept open so that the master does not hang up while the host has the
    // port closed.
    int slave_ = -1;
};

}  // namespace eboardsim
