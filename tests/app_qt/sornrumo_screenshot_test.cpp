// The program's real window under a virtual X server: it comes up at its size
// and draws something.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Exit status, or -1 when the program had to be killed after the time-out.
int RunProgram(std::vector<std::string> arguments, std::chrono::seconds timeout) {
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    // X and font libraries keep their caches for the life of the process.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) environment.emplace_back(*e);
    environment.emplace_back("ASAN_OPTIONS=detect_leaks=0");
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    // A group of its own, so that a time-out also ends the X server that xvfb-run started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return -2;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SornrumoWindow, ComesUpAtItsSizeAndDrawsItsPages) {
    if (!OnPath("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    char pattern[] = "/tmp/sornrumo-screen-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const fs::path picture = dir / "window.png";

    const int status = RunProgram({"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", SORNRUMO, "--log-dir",
                            (dir / "logs").string(), "--screenshot", picture.string()},
                           std::chrono::seconds(300));
    ASSERT_EQ(status, 0);
    QImage image(QString::fromStdString(picture.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(785, 235));
    // Tabs, grid lines, buttons and text: many shades, not one flat colour.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 8u);
    EXPECT_TRUE(fs::exists(dir / "logs" / "log_protocol.txt"));
    fs::remove_all(dir);
}

}  // namespace
