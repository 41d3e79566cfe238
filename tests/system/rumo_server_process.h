#pragma once
// Runs the built rumo-server on loopback for tests: started on a free port (or
// a given one), stopped or killed on request.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/text_files.h"

extern char** environ;

class RumoServerProcess {
public:
    static std::string BinaryPath() { return std::string(RUMO_BINARY_DIR) + "/tools/rumo-server/rumo-server"; }

    RumoServerProcess() = default;
    ~RumoServerProcess() { Kill(); }
    RumoServerProcess(const RumoServerProcess&) = delete;
    RumoServerProcess& operator=(const RumoServerProcess&) = delete;

    // Starts with --host-name 127.0.0.1 and the extra arguments; port 0 picks one.
    // False when the server does not report its port within the time-out.
    bool Start(int port, const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {BinaryPath(), "--port", std::to_string(port), "--host-name", "127.0.0.1"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(out[0]);
            return false;
        }
        port_ = ReadPort(out[0]);
        ::close(out[0]);
        return port_ > 0;
    }

    int Port() const { return port_; }
    bool Running() const { return pid_ > 0; }

    // SIGKILL: the server vanishes without closing anything itself.
    void Kill() { End(SIGKILL); }
    // SIGTERM: the server's own orderly stop. Returns its exit status.
    int Stop() { return End(SIGTERM); }

private:
    int ReadPort(int fd)
    {
        const std::string prefix = "listening on port ";
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0)
                break;
            text.append(chunk, static_cast<std::size_t>(n));
        }
        const auto at = text.find(prefix);
        return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + prefix.size());
    }

    int End(int signal)
    {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    pid_t pid_ = -1;
    int port_ = 0;
};

// The statements of the "320 OBJECTUPDATE" lines that the server logged (its
// --log file), in order.
inline std::vector<std::string> StatementsServerReceived(const std::filesystem::path& serverLog)
{
    std::vector<std::string> statements;
    std::istringstream lines(testsupport::ReadFile(serverLog));
    const std::string marker = " 320 OBJECTUPDATE ";
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(marker);
        if (at != std::string::npos && line.find(" << ") != std::string::npos)
            statements.push_back(line.substr(at + marker.size()));
    }
    return statements;
}
