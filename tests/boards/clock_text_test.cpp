#include "boards/clock_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace QVRProjects {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encoded(std::string_view text, int option = 0) {
    CXL encoder;
    const CXL::Output out = encoder.Encode(text, option);
    return Bytes(out.begin(), out.end());
}

struct ClockTextCase {
    const char* name;
    std::string text;
    int option;
    Bytes expected;
};

class ClockTextTest : public testing::TestWithParam<ClockTextCase> {};

TEST_P(ClockTextTest, EncodesByteForByte) {
    const ClockTextCase& c = GetParam();
    EXPECT_EQ(Encoded(c.text, c.option), c.expected) << c.text;
}

// Output order: 03 01, positions 4 3 1, positions 10 9 7, flags, mode.
INSTANTIATE_TEST_SUITE_P(
    Texts, ClockTextTest,
    testing::Values(
        ClockTextCase{"Busy", "bUSY", 0, {0x03, 0x01, 0x6D, 0x3E, 0x7C, 0x00, 0x00, 0x6E, 0x00, 0x01}},
        // Both leading ones and both colons: flags 0x20 | 0x10 | 0x04 | 0x02.
        ClockTextCase{"TwoTimes", "12:34 15:00", 0,
                      {0x03, 0x01, 0x66, 0x4F, 0x5B, 0x3F, 0x3F, 0x6D, 0x36, 0x01}},
        ClockTextCase{"PositiveOptionSelectsMode3", "bUSY", 2,
                      {0x03, 0x01, 0x6D, 0x3E, 0x7C, 0x00, 0x00, 0x6E, 0x00, 0x03}},
        ClockTextCase{"NegativeOptionSelectsMode1", "", -5,
                      {0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}},
        // A raw pattern after "%" skips the leading-one position.
        ClockTextCase{"RawPattern", "%99", 0, {0x03, 0x01, 0x00, 0x00, 99, 0x00, 0x00, 0x00, 0x00, 0x01}},
        ClockTextCase{"RawPatternWithoutDigits", "%x", 0,
                      {0x03, 0x01, 0x00, 0x76, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}},
        // Dots: "," on the left and "|" (dot and colon) on the right; no leading ones.
        ClockTextCase{"DotSeparators", "7,45 8|30", 0,
                      {0x03, 0x01, 0x6D, 0x66, 0x07, 0x3F, 0x4F, 0x7F, 0x08 | 0x01 | 0x02, 0x01}},
        // A blank at position 0 is a "1"-like character but shows nothing.
        ClockTextCase{"BlankLeadingOne", " 9:59", 0,
                      {0x03, 0x01, 0x6F, 0x6D, 0x6F, 0x00, 0x00, 0x00, 0x10, 0x01}},
        // Position 5 takes no blank here: "7" is read again at position 6.
        ClockTextCase{"NoGapBlank", "1234567", 0,
                      {0x03, 0x01, 0x66, 0x4F, 0x5B, 0x07, 0x7D, 0x6D, 0x20, 0x01}},
        ClockTextCase{"BeyondElevenPositionsIgnored", "12:34 15:0099999", 0,
                      {0x03, 0x01, 0x66, 0x4F, 0x5B, 0x3F, 0x3F, 0x6D, 0x36, 0x01}},
        ClockTextCase{"UnknownCharacterShowsADG", "@@", 0,
                      {0x03, 0x01, 0x00, 0x49, 0x49, 0x00, 0x00, 0x00, 0x00, 0x01}},
        // Latin-1: 0xF6 is a table entry, 0xCC a "1"-like character.
        ClockTextCase{"Latin1", "\xCC\xF6", 0,
                      {0x03, 0x01, 0x00, 0x00, 0x5D, 0x00, 0x00, 0x00, 0x20, 0x01}}),
    [](const testing::TestParamInfo<ClockTextCase>& p) { return std::string(p.param.name); });

TEST(ClockTextTest, EncoderKeepsDigitsAndOutputOfLastText) {
    CXL encoder;
    encoder.Encode("12:34 15:00", 0);
    EXPECT_EQ(encoder.digits[1], 0x5B);
    EXPECT_EQ(encoder.digits[10], 0x3F);
    EXPECT_EQ(encoder.output[8], 0x36);
    encoder.Encode("", 0);
    EXPECT_EQ(encoder.digits[1], 0x00);
    EXPECT_EQ(encoder.output[8], 0x00);
}

TEST(ClockTextTest, SharedEncoderSurvivesRelease) {
    const CXL::Output before = CXL::EncodeShared("bUSY", 0);
    CXL::ReleaseShared();
    EXPECT_EQ(CXL::EncodeShared("bUSY", 0), before);
    EXPECT_EQ(before, CXL().Encode("bUSY", 0));
}

}  // namespace
}  // namespace QVRProjects
