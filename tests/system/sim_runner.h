#pragma once
// Runs eboard-sim as a child process with its link under /dev/shm, where the
// serial layer can open it by the port name "shm/<name>".
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "boards/event_lock.h"

extern char** environ;

namespace systemtest {

// Polls `condition` inside the event lock until it holds or `seconds` pass.
inline bool WaitFor(const std::function<bool()>& condition, double seconds = 120) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        {
            QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
            if (condition()) return true;
        }
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Runs `body` inside the event lock, where boards may be read.
inline void Locked(const std::function<void()>& body) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    body();
}

class SimProcess {
public:
    // `arguments` without --link, which is added.
    explicit SimProcess(std::vector<std::string> arguments) {
        static int counter = 0;
        name_ = "eboard-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        link_ = "/dev/shm/" + name_;
        unlink(link_.c_str());
        arguments.insert(arguments.begin(), EBOARD_SIM);
        arguments.push_back("--link");
        arguments.push_back(link_);
        std::vector<char*> argv;
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        // The simulator prints its path; the tests know it already.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, EBOARD_SIM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        unlink(link_.c_str());
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Waits until the link stands; false when the simulator does not come up.
    bool Ready(double seconds = 20) const {
        struct stat info {};
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (lstat(link_.c_str(), &info) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // The port text for the board interface.
    std::string Port() const { return "shm/" + name_; }
    void PullCable() const { kill(pid_, SIGUSR1); }
    void PlugIn() const { kill(pid_, SIGUSR2); }

private:
    std::string name_;
    std::string link_;
    pid_t pid_ = -1;
};

}  // namespace systemtest
