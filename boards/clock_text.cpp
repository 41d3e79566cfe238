#include "boards/clock_text.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace QVRProjects {
namespace {

struct Glyph {
    uint8_t character;
    uint8_t pattern;
};

// Characters without an entry show segments a, d and g.
constexpr uint8_t kUnknownGlyph = 0x49;

constexpr Glyph kGlyphs[] = {
    {' ', 0x00},  {'!', 0x6B},  {'"', 0x22},  {'#', 0x5C},  {'$', 0x4C},  {'\'', 0x02}, {'(', 0x39},
    {')', 0x0F},  {'+', 0x70},  {',', 0x20},  {'-', 0x40},  {'.', 0x00},  {'/', 0x52},  {'0', 0x3F},
    {'1', 0x06},  {'2', 0x5B},  {'3', 0x4F},  {'4', 0x66},  {'5', 0x6D},  {'6', 0x7D},  {'7', 0x07},
    {'8', 0x7F},  {'9', 0x6F},  {';', 0x11},  {'<', 0x58},  {'=', 0x48},  {'>', 0x4C},  {'?', 0x53},
    {'A', 0x77},  {'B', 0x7F},  {'C', 0x39},  {'D', 0x5E},  {'E', 0x79},  {'F', 0x71},  {'G', 0x3D},
    {'H', 0x76},  {'I', 0x06},  {'J', 0x1E},  {'K', 0x76},  {'L', 0x38},  {'M', 0x33},  {'N', 0x37},
    {'O', 0x3F},  {'P', 0x73},  {'Q', 0x67},  {'R', 0x31},  {'S', 0x6D},  {'T', 0x78},  {'U', 0x3E},
    {'V', 0x3E},  {'W', 0x3C},  {'X', 0x76},  {'Y', 0x6E},  {'Z', 0x5B},  {'[', 0x39},  {'\\', 0x64},
    {']', 0x0F},  {'_', 0x08},  {'a', 0x77},  {'b', 0x7C},  {'c', 0x58},  {'d', 0x5E},  {'e', 0x79},
    {'f', 0x71},  {'g', 0x3D},  {'h', 0x74},  {'i', 0x04},  {'j', 0x0C},  {'k', 0x76},  {'l', 0x30},
    {'m', 0x33},  {'n', 0x54},  {'o', 0x5C},  {'p', 0x73},  {'q', 0x67},  {'r', 0x50},  {'s', 0x4C},
    {'t', 0x78},  {'u', 0x1C},  {'v', 0x1C},  {'w', 0x3C},  {'x', 0x76},  {'y', 0x6E},  {'z', 0x5B},
    {'{', 0x0F},  {'|', 0x30},  {'}', 0x39},  {'~', 0x01},  {0xA1, 0x6B}, {0xA4, 0x63}, {0xA8, 0x22},
    {0xAC, 0x44}, {0xAD, 0x40}, {0xB5, 0x72}, {0xBA, 0x63}, {0xCC, 0x30}, {0xCD, 0x30}, {0xCF, 0x30},
    {0xEC, 0x10}, {0xED, 0x10}, {0xEF, 0x10}, {0xF2, 0x5D}, {0xF3, 0x5D}, {0xF5, 0x5D}, {0xF6, 0x5D},
};

// Flag bits of the command's flag byte.
constexpr uint8_t kLeftOne = 0x20, kLeftDot = 0x08, kLeftColon = 0x10;
constexpr uint8_t kRightOne = 0x04, kRightDot = 0x01, kRightColon = 0x02;

bool IsOneLike(uint8_t c) {
    switch (c) {
        case 'I': case 'i': case '1': case '|': case 'l': case '!': case ' ':
        case 0xCC: case 0xCD: case 0xCF: case 0xEC: case 0xED: case 0xEF:
            return true;
        default:
            return false;
    }
}

bool IsDot(uint8_t c) { return c == '.' || c == ',' || c == '|'; }
bool IsColon(uint8_t c) { return c == ':' || c == ';' || c == '|'; }
bool IsSeparator(uint8_t c) { return IsDot(c) || IsColon(c) || c == ' '; }

// Positions that hold a "1" or a separator rather than a digit.
bool IsMarkPosition(int p) { return p == 0 || p == 2 || p == 6 || p == 8; }

bool IsDigitPosition(int p) {
    return p == 1 || p == 3 || p == 4 || p == 7 || p == 9 || p == 10;
}

std::mutex sharedMutex;
std::unique_ptr<CXL> sharedEncoder;

}  // namespace

CXL::CXL() {
    std::memset(segments, kUnknownGlyph, sizeof segments);
    for (const Glyph& g : kGlyphs) segments[g.character] = g.pattern;
    std::memset(digits, 0, sizeof digits);
    std::memset(output, 0, sizeof output);
}

CXL::Output CXL::Encode(std::string_view text, int option) {
    std::memset(digits, 0, sizeof digits);
    uint8_t flags = 0;
    int p = 0;
    size_t i = 0;
    while (i < text.size() && p < 11) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (p == 5) {
            // The gap between the displays swallows one blank.
            if (c == ' ') ++i;
            p = 6;
            continue;
        }
        ++i;
        if (c == '%') {
            // Up to two decimal digits give a raw segment pattern.
            int n = 0;
            for (int k = 0; k < 2 && i < text.size() && text[i] >= '0' && text[i] <= '9'; ++k, ++i)
                n = n * 10 + (text[i] - '0');
            if (IsMarkPosition(p)) ++p;
            digits[p] = static_cast<uint8_t>(n);
            ++p;
        } else if ((p == 0 || p == 6) && IsOneLike(c)) {
            if (c != ' ') flags |= (p == 0) ? kLeftOne : kRightOne;
            ++p;
        } else if ((p == 2 || p == 8) && IsSeparator(c)) {
            if (IsDot(c)) flags |= (p == 2) ? kLeftDot : kRightDot;
            if (IsColon(c)) flags |= (p == 2) ? kLeftColon : kRightColon;
            ++p;
        } else {
            if (IsMarkPosition(p)) ++p;
            if (IsDigitPosition(p)) digits[p] = segments[c];
            ++p;
        }
    }

    std::memset(output, 0, sizeof output);
    const uint8_t bytes[10] = {0x03,      0x01,      digits[4], digits[3], digits[1],
                               digits[10], digits[9], digits[7], flags,
                               static_cast<uint8_t>(option <= 0 ? 1 : 3)};
    std::memcpy(output, bytes, sizeof bytes);
    Output result;
    std::memcpy(result.data(), bytes, sizeof bytes);
    return result;
}

CXL::Output CXL::EncodeShared(std::string_view text, int option) {
    std::lock_guard<std::mutex> guard(sharedMutex);
    if (!sharedEncoder) sharedEncoder = std::make_unique<CXL>();
    return sharedEncoder->Encode(text, option);
}

void CXL::ReleaseShared() {
    std::lock_guard<std::mutex> guard(sharedMutex);
    sharedEncoder.reset();
}

}  // namespace QVRProjects
