// The hall program without a window, end to end: eboard-sim's bus on a
// pseudo-terminal, sornrumo reading it, rumo-server receiving the boards and
// reconstructing their games through librumo.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "objects/tree.h"
#include "tests/system/rumo_server_process.h"
#include "tests/system/sim_runner.h"
#include "tools/common/pdn_reader.h"
#include "tests/support/text_files.h"

namespace {

using testsupport::ReadFile;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kGames = std::string(RUMO_GAMES_DIR) + "/book-loi20.pdn";

template <typename Condition>
bool Eventually(Condition condition, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

#ifdef SORNRUMO
// sornrumo as a child process, its standard error in a file.
class ProgramProcess {
public:
    ProgramProcess(std::vector<std::string> arguments, const fs::path& errorFile) {
        arguments.insert(arguments.begin(), SORNRUMO);
        std::vector<char*> argv;
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, SORNRUMO, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ProgramProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // False once it has ended (its status is then kept for Wait).
    bool Running() {
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }
    bool Signal(int signal) const { return kill(pid_, signal) == 0; }
    // The exit status once the process ended within the time, else none.
    std::optional<int> Wait(std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Running()) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            std::this_thread::sleep_for(50ms);
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};
#endif

// The server's tree file as a tree.
std::unique_ptr<TAE_Root> TreeOf(const std::string& statements) {
    auto tree = std::make_unique<TAE_Root>();
    tree->Apply(statements);
    return tree;
}

// Bus addresses of the board objects that carry one.
std::vector<std::string> BusAddresses(TAE_Root& tree) {
    std::vector<std::string> addresses;
    TAE_Object* merk = tree.FindObject("MERK", false);
    TAE_KeyCollection* boards = merk ? merk->FindCollection("[boards]", false) : nullptr;
    if (!boards) return addresses;
    for (TAE_Object* board : boards->members)
        if (std::string address = board->GetValue("busadres"); !address.empty()) addresses.push_back(address);
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

// How many of the game's moves the PDN shows, in order.
std::size_t MovesInOrder(const std::string& pdn, const rumo_tools::PdnGame& game) {
    std::size_t at = 0;
    std::size_t found = 0;
    for (std::size_t ply = 0; ply < game.moves.size(); ++ply) {
        std::string move(1, ' ');
        move += rumo_tools::pdn_move_text(game.position_after(ply), game.moves[ply]);
        at = pdn.find(move, at);
        if (at == std::string::npos) break;
        at += move.size();
        ++found;
    }
    return found;
}

// The PDN files of the server's board games.
std::vector<std::string> GamesIn(const fs::path& folder) {
    std::vector<std::string> games;
    if (!fs::exists(folder)) return games;
    for (const auto& entry : fs::directory_iterator(folder)) games.push_back(ReadFile(entry.path()));
    return games;
}

TEST(SornrumoHeadless, PublishesABusOfBoardsAndItsGamesThenStopsOnTerm) {
#ifndef SORNRUMO
    GTEST_SKIP() << "sornrumo is not built (no Qt)";
#else
    char pattern[] = "/tmp/sornrumo-headless-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const fs::path logs = dir / "logs";
    fs::create_directories(dir / "pdn");

    // Two short games of the file, so that the run stays short.
    const auto games = rumo_tools::read_pdn_file(kGames);
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < games.size(); ++i)
        if (games[i].error.empty() && games[i].moves.size() >= 10) order.push_back(i);
    ASSERT_GE(order.size(), 2u);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return games[a].moves.size() < games[b].moves.size(); });
    const rumo_tools::PdnGame& first = games[order[0]];
    const rumo_tools::PdnGame& second = games[order[1]];

    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--tree-out", (dir / "tree.txt").string(), "--library",
                                 std::string(RUMO_BINARY_DIR) + "/library/librumo.so", "--pdn-dir",
                                 (dir / "pdn").string()}));
    systemtest::SimProcess sim({"--bus", "2", "--pdn", kGames, "--games",
                                std::to_string(order[0]) + "," + std::to_string(order[1]), "--speed", "40", "--hold",
                                "--clock", "30"});
    ASSERT_TRUE(sim.Ready());

    ProgramProcess program({"--headless", "--log-dir", logs.string(), "--open", sim.Port() + ":serialbus:2",
                            "--connect", "--server", "127.0.0.1", "--port", std::to_string(server.Port())},
                           dir / "stderr.txt");
    ASSERT_TRUE(program.Started());

    const bool announced = Eventually(
        [&] {
            return !program.Running() ||
                   BusAddresses(*TreeOf(ReadFile(dir / "tree.txt"))) == std::vector<std::string>{"1", "2"};
        },
        180s) && program.Running();
    EXPECT_TRUE(announced) << ReadFile(dir / "tree.txt") << "\n--- sornrumo:\n" << ReadFile(dir / "stderr.txt");

    // Each board's game, move by move, in librumo's reconstruction on the server.
    auto played = [&](const rumo_tools::PdnGame& game) {
        for (const auto& pdn : GamesIn(dir / "pdn"))
            if (MovesInOrder(pdn, game) == game.moves.size()) return true;
        return false;
    };
    const bool arrived =
        announced && Eventually([&] { return !program.Running() || (played(first) && played(second)); }, 400s) &&
        program.Running();
    EXPECT_TRUE(arrived) << "--- sornrumo:\n" << ReadFile(dir / "stderr.txt");
    if (announced) {
        const auto tree = TreeOf(ReadFile(dir / "tree.txt"));
        TAE_KeyCollection* boards = tree->FindObject("MERK", true)->FindCollection("[boards]", true);
        for (TAE_Object* board : boards->members) {
            EXPECT_EQ(board->GetValue("sequence").substr(0, 3), "@0:") << board->GetPath();
            EXPECT_FALSE(board->GetValue("clientid").empty()) << board->GetPath();
        }
    }

    ASSERT_TRUE(program.Running()) << ReadFile(dir / "stderr.txt");
    ASSERT_TRUE(program.Signal(SIGTERM));
    const auto status = program.Wait(120s);
    ASSERT_TRUE(status) << "sornrumo did not end\n" << ReadFile(dir / "stderr.txt");
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << "\n" << ReadFile(dir / "stderr.txt");

    const std::string traffic = ReadFile(logs / "log_protocol.txt");
    EXPECT_NE(traffic.find(" [BOARDS] READ: "), std::string::npos);
    EXPECT_NE(traffic.find(" [BOARDS] WRITE: "), std::string::npos);
    EXPECT_TRUE(fs::exists(logs / "zuva_client_log.txt"));
    fs::remove_all(dir);
#endif
}

}  // namespace
