// The exported functions as such: buffers, refused calls, the cipher, the exported names and
// the trace lines of the log and the standard streams.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rumo_test_support.h"

namespace {

namespace fs = std::filesystem;
using rumo_test::game_map;

const std::string empty_game = "[FEN \"W:W:B\"] {[%clock W0:00:00 b0:00:00]}\n";

struct buffer_case {
    int size_offset; // buffer size relative to the text length
    bool copied;
};

class BufferSize : public testing::TestWithParam<buffer_case> {};

TEST_P(BufferSize, CopiesOnlyWhenTheTextFitsWithRoomToSpare)
{
    game_map map;
    const int length = static_cast<int>(empty_game.size());
    const int size = length + GetParam().size_offset;
    std::vector<char> buffer(static_cast<std::size_t>(length) + 64, '#');
    int complete = -1;
    EXPECT_EQ(reconstruct_game(map.get(), "b", 1, size, buffer.data(), &complete), length);
    const std::string seen(buffer.begin(), buffer.begin() + length);
    if (GetParam().copied) {
        EXPECT_EQ(seen, empty_game);
        EXPECT_EQ(complete, 1);
    } else {
        EXPECT_EQ(seen, std::string(static_cast<std::size_t>(length), '#'));
        EXPECT_EQ(complete, 0);
    }
    // No terminating NUL, nothing beyond the text.
    EXPECT_TRUE(std::all_of(buffer.begin() + length, buffer.end(), [](char c) { return c == '#'; }));
}

INSTANTIATE_TEST_SUITE_P(Interface, BufferSize,
                         testing::Values(buffer_case{-1, false}, buffer_case{0, false},
                                         buffer_case{1, true}, buffer_case{40, true}));

TEST(Interface, CallerErrorsAreRefusedWithoutHarm)
{
    game_map map;
    const char* start = rumo_test::start_position.c_str();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();

    int complete = -1;
    char byte = '#';
    EXPECT_EQ(reconstruct_game(map.get(), "x", 1, -5, &byte, &complete),
              static_cast<int>(empty_game.size()));
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(reconstruct_game(map.get(), "x", 1, 100, nullptr, &complete),
              static_cast<int>(empty_game.size()));
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(reconstruct_game(map.get(), "x", 1, 100, nullptr, nullptr),
              static_cast<int>(empty_game.size()));
    EXPECT_EQ(byte, '#');

    EXPECT_EQ(reconstruct_game(nullptr, "x", 1, 100, &byte, &complete), -1);
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(reconstruct_game(map.get(), nullptr, 1, 100, &byte, &complete), -1);
    reset_game(nullptr, "x", start, 0, "", "", "", "", "", false);
    reset_game(map.get(), nullptr, start, 0, "", "", "", "", "", false);
    update_game_events(nullptr, "x", "I_", 1, "", "");
    update_game_events(map.get(), nullptr, "I_", 1, "", "");

    // A null text leaves the game as it was: here the start position with its clocks.
    reset_game(map.get(), "x", start, 0, "1:30:00", "1:30:00", "", "", "", false);
    reset_game(map.get(), "x", nullptr, 0, "1:00:00", "1:00:00", "", "", "", false);
    reset_game(map.get(), "x", start, 0, nullptr, "1:00:00", "", "", "", false);
    reset_game(map.get(), "x", start, 0, "1:00:00", "1:00:00", "", nullptr, "", false);
    update_game_events(map.get(), "x", nullptr, 1, "1:00:00", "1:00:00");
    update_game_events(map.get(), "x", "I_", 1, nullptr, "1:00:00");
    update_game_events(map.get(), "x", "I_", 1, "1:00:00", nullptr);

    testing::internal::GetCapturedStdout();
    const std::string errors = testing::internal::GetCapturedStderr();
    std::istringstream lines(errors);
    int error_lines = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("Error: ", 0), 0u) << line;
        ++error_lines;
    }
    EXPECT_EQ(error_lines, 12);
    EXPECT_EQ(rumo_test::reconstruct(map.get(), "x", 2).text, rumo_test::start_fen_line);
}

TEST(Interface, UnknownCodesAreRefusedAndTheGameKeepsItsState)
{
    game_map map;
    testing::internal::CaptureStdout();
    reset_game(map.get(), "u", rumo_test::start_position.c_str(), 0, "1:30:00", "1:30:00", "",
               "", "", false);
    testing::internal::GetCapturedStdout();
    // "w" lies outside the square codes; "I_" before it is valid but must not be taken alone.
    testing::internal::CaptureStderr();
    update_game_events(map.get(), "u", "I_wB", 1, "1:29:59", "1:30:00");
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    update_game_events(map.get(), "u", "I_", 2, "1:29:58", "1:30:00");
    update_game_events(map.get(), "u", "I_MP", 3, "1:29:57", "1:30:00");
    EXPECT_EQ(rumo_test::reconstruct(map.get(), "u", 10).text,
              rumo_test::start_fen_line + "  1. 32-28 {[%clock w1:29:57 B1:30:00]}");
}

TEST(Interface, DestroyWritesItsLineEvenForANullHandle)
{
    testing::internal::CaptureStderr();
    void* map = create_rumo_game_map();
    destroy_rumo_game_map(map);
    destroy_rumo_game_map(nullptr);
    const std::string lines = testing::internal::GetCapturedStderr();
    std::ostringstream address;
    address << map;
    EXPECT_EQ(lines, "create_rumo_game_map " + address.str() + "\ndestroy_rumo_game_map " +
                         address.str() + "\ndestroy_rumo_game_map 0\n");
}

TEST(Interface, CipherPadsEnciphersAndDeciphersInPlace)
{
    char text[16] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(set_white(text, 5), 8);
    EXPECT_NE(std::string(text, 5), "hello");
    EXPECT_EQ(set_black(text, 8), 8);
    EXPECT_EQ(std::string(text, 8), "hello\n\n\n");

    char twelve[16] = "abcdefghijkl";
    ASSERT_EQ(set_white(twelve, 8), 8);
    EXPECT_EQ(set_black(twelve, 12), 12);
    EXPECT_EQ(std::string(twelve, 12), "abcdefghijkl");

    // Equal blocks encipher alike: no chaining between them.
    char blocks[17] = "ABCDEFGHABCDEFGH";
    EXPECT_EQ(set_white(blocks, 16), 16);
    EXPECT_EQ(std::string(blocks, 8), std::string(blocks + 8, 8));

    testing::internal::CaptureStderr();
    EXPECT_EQ(set_white(nullptr, 0), 0);
    EXPECT_EQ(set_black(nullptr, 0), 0);
    EXPECT_EQ(set_white(nullptr, 4), -1);
    EXPECT_EQ(set_black(nullptr, 4), -1);
    EXPECT_EQ(set_white(text, -1), -1);
    EXPECT_EQ(set_black(text, -1), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
}

std::string read_output(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    ::pclose(pipe);
    return output;
}

TEST(Interface, ExportsExactlyTheNamesOfTheHeader)
{
    const std::string symbols =
        read_output(std::string("nm -D --defined-only '") + RUMO_LIBRARY_FILE + "'");
    std::set<std::string> names;
    std::istringstream lines(symbols);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind >> name;
        if (kind != "A") // version nodes, not symbols
            names.insert(name);
    }
    const std::set<std::string> exported = {
        "create_rumo_game_map", "destroy_rumo_game_map", "reset_game", "update_game_events",
        "reconstruct_game",     "set_white",             "set_black",  "_Z3logv"};
    EXPECT_EQ(names, exported) << symbols;
}

TEST(Interface, LogStreamIsReachable)
{
    std::ostream& stream = log();
    EXPECT_EQ(&stream, &log());
}

// Runs the C client in a folder of its own, where the library opens its log at load time.
struct client_run {
    int status = -1;
    std::string err;
    std::vector<std::string> log_lines;
    int log_files = 0;
};

client_run run_client(bool with_logs_folder)
{
    const fs::path folder = fs::temp_directory_path() /
                            ("librumo_log_" + std::to_string(::getpid()) +
                             (with_logs_folder ? "_logs" : "_none"));
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (with_logs_folder)
        fs::create_directories(folder / "logs");
    client_run run;
    const std::string command = "cd '" + folder.string() + "' && '" + RUMO_C_CLIENT +
                                "' >stdout.txt 2>stderr.txt";
    run.status = std::system(command.c_str());
    std::ifstream err(folder / "stderr.txt");
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    if (with_logs_folder) {
        for (const auto& entry : fs::directory_iterator(folder / "logs")) {
            ++run.log_files;
            std::ifstream log_file(entry.path());
            for (std::string line; std::getline(log_file, line);)
                run.log_lines.push_back(line);
        }
    }
    fs::remove_all(folder);
    return run;
}

TEST(Interface, LogFileHoldsOneLinePerGameCall)
{
    const client_run run = run_client(true);
    ASSERT_EQ(run.status, 0) << run.err;
    // The two lines of the load, then the map's own lines.
    std::istringstream err(run.err);
    std::string version, logfile;
    std::getline(err, version);
    std::getline(err, logfile);
    EXPECT_EQ(version, "rumo.dll version: 0.5");
    const std::string prefix = "rumo.dll logfile: logs/rumo_dll", suffix = ".txt";
    ASSERT_GT(logfile.size(), prefix.size() + suffix.size()) << run.err;
    EXPECT_EQ(logfile.substr(0, prefix.size()), prefix);
    EXPECT_EQ(logfile.substr(logfile.size() - suffix.size()), suffix);
    const std::string seconds =
        logfile.substr(prefix.size(), logfile.size() - prefix.size() - suffix.size());
    EXPECT_TRUE(std::all_of(seconds.begin(), seconds.end(), ::isdigit)) << logfile;
    ASSERT_EQ(run.log_files, 1);
    const std::vector<std::string> expected = {
        "7 12.5 reset  BBBBBBBBBBBBBBBBBBBB__________PPPPPPPPPPPPPPPPPPPP 1:30:00 1:30:00 "
        "round white black",
        "7 20 update I_ 1:29:52 1:30:00",
        "7 21 update I_MP 1:29:50 1:30:00",
        "7 30 update I_MPV_RB 1:29:50 1:29:40",
        "7 40 reconstruct",
    };
    EXPECT_EQ(run.log_lines, expected);
}

TEST(Interface, MissingLogFolderDropsTheLinesQuietly)
{
    const client_run run = run_client(false);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("rumo.dll logfile: logs/rumo_dll"), std::string::npos);
}

} // namespace
