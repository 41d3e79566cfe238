#pragma once
// Test helpers: a real pseudo-terminal whose far end the test drives, and
// polling with generous time-outs.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace testing_serial {

template <typename F>
bool Eventually(F condition, int timeoutMs = 15000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The test holds the master side; the code under test opens the slave by
// its port name ("pts/N"). The slave stays open here too, so the line
// exists before and after the code under test opens it.
class PseudoTerminal {
public:
    PseudoTerminal() {
        char path[128] = {};
        if (openpty(&master_, &slave_, path, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = path;
        name_ = path_.substr(std::string("/dev/").size());
    }
    ~PseudoTerminal() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Path() const { return path_; }
    int SlaveFd() const { return slave_; }

    // Writes all bytes from the far end.
    bool Send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd waiter{master_, POLLOUT, 0};
                if (poll(&waiter, 1, 5000) <= 0) return false;
            } else {
                return false;
            }
        }
        return true;
    }

    // Reads at the far end until `count` bytes have come or the time is up.
    std::string Receive(std::size_t count, int timeoutMs = 15000) {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd waiter{master_, POLLIN, 0};
            if (poll(&waiter, 1, 50) <= 0) continue;
            char chunk[4096];
            const ssize_t n = read(master_, chunk, sizeof chunk);
            if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }

    // What the far end has received so far, without waiting.
    std::string Drain() {
        std::string got;
        char chunk[4096];
        ssize_t n;
        while ((n = read(master_, chunk, sizeof chunk)) > 0) got.append(chunk, static_cast<std::size_t>(n));
        return got;
    }

    // The cable is pulled: the far end goes away.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string name_;
};

}  // namespace testing_serial
