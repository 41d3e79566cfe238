#include <gtest/gtest.h>

#include "app/qt/program_options.h"

namespace {

using app::qt::ParseProgramOptions;

TEST(ProgramOptions, ReadsEveryOption) {
    std::string error;
    const auto options = ParseProgramOptions({"--headless", "--log-dir", "/tmp/x", "--server", "127.0.0.1", "--port",
                                              "50123", "--connect", "--open", "shm/a:serialbus:2", "--open",
                                              "ttyUSB0:USB", "--open", "pts/3", "--yes"},
                                             error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->headless);
    EXPECT_TRUE(options->connect);
    EXPECT_TRUE(options->yes);
    EXPECT_EQ(options->logDir, "/tmp/x");
    EXPECT_EQ(options->server, "127.0.0.1");
    EXPECT_EQ(options->port, "50123");
    ASSERT_EQ(options->open.size(), 3u);
    EXPECT_EQ(options->open[0].name, "shm/a");
    EXPECT_EQ(options->open[0].cabling, "Serial Bus");
    EXPECT_EQ(options->open[0].count, "2");
    EXPECT_EQ(options->open[1].cabling, "USB");
    EXPECT_EQ(options->open[1].count, "");
    EXPECT_EQ(options->open[2].cabling, "");  // the grid's own choice
}

TEST(ProgramOptions, DefaultsLeaveTheSettingsPageAlone) {
    std::string error;
    const auto options = ParseProgramOptions({}, error);
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->headless);
    EXPECT_FALSE(options->server);
    EXPECT_FALSE(options->port);
    EXPECT_TRUE(options->open.empty());
}

TEST(ProgramOptions, AcceptsTheGridsCablingNamesAndCounts) {
    struct Case {
        std::string text, name, cabling;
    };
    const std::vector<Case> cases = {
        {"p:serial bus:auto", "p", "Serial Bus"}, {"p:BUS:12", "p", "Serial Bus"}, {"p:Serial:1", "p", "Serial"},
        {"p:usb:auto", "p", "USB"},
        // A udev path name holds ":" itself; cabling and count come off the end.
        {"serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0:usb", "serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0",
         "USB"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = ParseProgramOptions({"--open", c.text}, error);
        ASSERT_TRUE(options) << c.text << ": " << error;
        EXPECT_EQ(options->open[0].name, c.name) << c.text;
        EXPECT_EQ(options->open[0].cabling, c.cabling) << c.text;
    }
}

TEST(ProgramOptions, RefusesWhatCannotWork) {
    const std::vector<std::vector<std::string>> cases = {
        {"--frobnicate"},
        {"--server"},
        {"--log-dir", ""},
        {"--port", "70000"},
        {"--port", "50x"},
        {"--open", ":serialbus"},
        {"--open", "p:ambient"},     // opens nothing
        {"--open", "p:serialbus:13"},
        {"--open", "p:serialbus:0"},
        {"--open", "p:serialbus:02"},
        {"--open", "p:usb:3"},       // one board per cable
        {"--open", "p:4"},           // a count without its cabling
        {"--open", "ttyS0:bus:3:4"},
        {"--headless", "--screenshot", "x.png"},
    };
    for (const auto& arguments : cases) {
        std::string error;
        EXPECT_FALSE(ParseProgramOptions(arguments, error)) << arguments.back();
        EXPECT_FALSE(error.empty()) << arguments.back();
    }
}

}  // namespace
