#include "app/safe_names.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeNames, NonAlphanumericCharactersBecomeLettersByPosition) {
    const struct {
        const char* raw;
        const char* safe;
    } cases[] = {
        {"MY-PC", "MYcPC"},
        {"hall3", "hall3"},
        {"", ""},
        {"a b_c", "abbdc"},
        // Position 26 wraps to "a" again; bytes above 127 are not letters.
        {"abcdefghijklmnopqrstuvwxyz.", "abcdefghijklmnopqrstuvwxyza"},
        {"\xC3\xA9t\xC3\xA9", "abtde"},
    };
    for (const auto& c : cases) EXPECT_EQ(app::MakeNameSafe(c.raw), c.safe) << c.raw;
}

TEST(SafeNames, SystemNamesComeBackSafe) {
    for (const std::string& name : {app::SafeComputerName(), app::SafeUserName()}) {
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(app::MakeNameSafe(name), name);
    }
}

}  // namespace
