// "ebs.config", read at every reset from the working directory, and what its values steer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "rumo_test_support.h"

namespace {

namespace fs = std::filesystem;
using rumo_test::code;
using rumo_test::game_map;
using rumo_test::reconstruct;

const std::string default_settings =
    "move reconstructor configuration\n"
    "STABLE_TIME                  3\n"
    "MAX_EVENTS                   16\n"
    "MAX_WAIT_TIME                5\n"
    "MAX_FIRST_DELAY_TIME         12\n"
    "MAX_LAST_DELAY_TIME          5\n"
    "MAX_MOVE_LENGTH              20\n"
    "EVENT_CHUNK_SIZE             7\n"
    "LOWEST_PIECE_COUNT_THRESHOLD 3\n"
    "RESET_IN_BEGIN_POSITION      1\n"
    "REPAIR_SETUP_DEPTH           4\n";

const std::string default_file =
    "STABLE_TIME=3\nMAX_EVENTS=16\nMAX_WAIT_TIME=5\nMAX_FIRST_DELAY_TIME=12\n"
    "MAX_LAST_DELAY_TIME=5\nMAX_MOVE_LENGTH=20\nEVENT_CHUNK_SIZE=7\n"
    "LOWEST_PIECE_COUNT_THRESHOLD=3\nRESET_IN_BEGIN_POSITION=1\nREPAIR_SETUP_DEPTH=4\n";

// The settings text with one line replaced.
std::string settings_with(const std::string& key, const std::string& value)
{
    std::string text = default_settings;
    const auto at = text.find("\n" + key + " ") + 1;
    const auto end = text.find('\n', at);
    std::string line = key;
    line.resize(29, ' ');
    return text.replace(at, end - at, line + value);
}

struct reset_output {
    std::string out;
    std::string err;
};

// Runs in a folder of its own, and leaves the process-wide settings at their defaults.
class Configuration : public testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        folder_ = fs::temp_directory_path() /
                  ("librumo_config_" + std::to_string(::getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        fs::current_path(folder_);
        restore_defaults();
    }

    void TearDown() override
    {
        restore_defaults();
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }

    void write_file(const std::string& text) { std::ofstream(folder_ / "ebs.config") << text; }

    reset_output reset_with(void* map, const char* board_id)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        reset_game(map, board_id, rumo_test::start_position.c_str(), 0, "1:30:00", "1:30:00", "",
                   "", "", false);
        reset_output output;
        output.out = testing::internal::GetCapturedStdout();
        output.err = testing::internal::GetCapturedStderr();
        return output;
    }

    reset_output reset_with_file(const std::string& text)
    {
        write_file(text);
        game_map map;
        return reset_with(map.get(), "1");
    }

private:
    void restore_defaults()
    {
        write_file(default_file);
        game_map map;
        reset_with(map.get(), "defaults");
    }

    fs::path previous_;
    fs::path folder_;
};

TEST_F(Configuration, DefaultsArePrintedInTableOrder)
{
    const auto output = reset_with_file(default_file);
    EXPECT_EQ(output.out, default_settings);
    EXPECT_EQ(output.err, "");
}

TEST_F(Configuration, MissingOrEmptyFileWarnsAndKeepsTheValues)
{
    ASSERT_EQ(reset_with_file("MAX_EVENTS=20\n").out, settings_with("MAX_EVENTS", "20"));
    const std::string warning =
        "Warning: could not read move reconstructor configuration from file ebs.config\n";
    for (const char* text : {"", "  \n\t\n"}) {
        SCOPED_TRACE(testing::Message() << "file [" << text << "]");
        EXPECT_EQ(reset_with_file(text).out, warning + settings_with("MAX_EVENTS", "20"));
    }
    fs::remove("ebs.config");
    EXPECT_EQ(reset_with_file("").out, warning + settings_with("MAX_EVENTS", "20"));
}

struct config_case {
    const char* file;
    const char* key;
    const char* printed; // the value printed after reading the file
    bool error;          // an "Error: " line on standard error
};

class ConfigurationLines : public Configuration,
                           public testing::WithParamInterface<config_case> {};

TEST_P(ConfigurationLines, SetOrKeepTheValue)
{
    const config_case& c = GetParam();
    const auto output = reset_with_file(c.file);
    EXPECT_EQ(output.out, settings_with(c.key, c.printed));
    if (c.error)
        EXPECT_EQ(output.err.rfind("Error: ", 0), 0u) << output.err;
    else
        EXPECT_EQ(output.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Configuration, ConfigurationLines,
    testing::Values(
        config_case{"MAX_EVENTS=20\n", "MAX_EVENTS", "20", false},
        config_case{"  MAX_EVENTS \t=  20  \n", "MAX_EVENTS", "20", false},
        config_case{"MAX_EVENTS=+20\n", "MAX_EVENTS", "20", false},
        config_case{"MAX_EVENTS = abc\n", "MAX_EVENTS", "16", true},
        config_case{"MAX_EVENTS = -1\n", "MAX_EVENTS", "16", true},
        config_case{"MAX_EVENTS = 99999999999\n", "MAX_EVENTS", "16", true},
        config_case{"MAX_EVENTS\n", "MAX_EVENTS", "16", false},
        config_case{"MAX_EVENTS = 20 = 30\n", "MAX_EVENTS", "16", false},
        config_case{"max_events = 20\nNO_SUCH_KEY = 4\n", "MAX_EVENTS", "16", false},
        config_case{"# MAX_EVENTS = 20\n", "MAX_EVENTS", "16", false},
        config_case{"MAX_EVENTS = abc\nMAX_EVENTS = 18\n", "MAX_EVENTS", "18", true},
        config_case{"STABLE_TIME = 2.5\n", "STABLE_TIME", "2.5", false},
        config_case{"STABLE_TIME = soon\n", "STABLE_TIME", "3", true},
        config_case{"RESET_IN_BEGIN_POSITION = 0\n", "RESET_IN_BEGIN_POSITION", "0", false},
        config_case{"RESET_IN_BEGIN_POSITION = yes\n", "RESET_IN_BEGIN_POSITION", "1", true},
        config_case{"EVENT_CHUNK_SIZE = 0\n", "EVENT_CHUNK_SIZE", "7", true},
        config_case{"EVENT_CHUNK_SIZE = 1\n", "EVENT_CHUNK_SIZE", "1", false},
        config_case{"REPAIR_SETUP_DEPTH = 0\n", "REPAIR_SETUP_DEPTH", "0", false}));

TEST_F(Configuration, BadValueNamesTheConversionError)
{
    const auto output = reset_with_file("MAX_EVENTS = abc\n");
    EXPECT_EQ(output.err, "Error: bad lexical cast: source type value could not be interpreted "
                          "as target\n");
}

// Three extra pieces on the board mean the players set up a new game: the game takes no more
// events. With a higher threshold the same events overflow MAX_EVENTS and force a setup.
TEST_F(Configuration, PieceCountThresholdStopsTheIntake)
{
    auto play_refill = [this](const std::string& file) {
        write_file(file);
        game_map map;
        reset_with(map.get(), "9");
        std::string codes;
        double time = 10;
        auto change = [&](int square, char piece) {
            codes += code(square, piece);
            update_game_events(map.get(), "9", codes.c_str(), time, "1:30:00", "1:30:00");
            time += 0.1;
        };
        for (int square : {21, 22, 23})
            change(square, 'P');
        for (int square = 31; square <= 40; ++square) {
            change(square, '_');
            change(square, 'P');
        }
        testing::internal::CaptureStdout();
        const auto result = reconstruct(map.get(), "9", time);
        testing::internal::GetCapturedStdout();
        return result;
    };

    const auto refilled = play_refill("LOWEST_PIECE_COUNT_THRESHOLD = 3\n");
    EXPECT_EQ(refilled.text, rumo_test::start_fen_line);
    EXPECT_EQ(refilled.complete, 0);

    const auto counted = play_refill("LOWEST_PIECE_COUNT_THRESHOLD = 30\n");
    EXPECT_NE(counted.text.find("\n/FEN \""), std::string::npos) << counted.text;
}

} // namespace
