#include "platform/host_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In a child with its own host name: the computer name stops at the first ".".
int ComputerNameInChild(const char* hostName, const char* expected) {
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWUTS) != 0) _exit(77);
        if (sethostname(hostName, std::strlen(hostName)) != 0) _exit(77);
        const auto name = platform::ComputerName();
        _exit(name.has_value() == (expected != nullptr) && (!name || *name == expected) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HostInfo, ComputerNameStopsAtTheFirstDot) {
    struct Case {
        const char* hostName;
        const char* expected;
    };
    const Case cases[] = {
        {"hall3.local", "hall3"},
        {"hall3", "hall3"},
        {"a.b.c", "a"},
        {".hidden", nullptr},
    };
    for (const auto& c : cases) {
        const int result = ComputerNameInChild(c.hostName, c.expected);
        if (result == 77) GTEST_SKIP() << "no right to set a host name here";
        EXPECT_EQ(result, 0) << c.hostName;
    }
}

TEST(HostInfo, UserAndSystemAreKnown) {
    const auto user = platform::UserName();
    ASSERT_TRUE(user.has_value());
    EXPECT_FALSE(user->empty());
    if (geteuid() == 0) {
        EXPECT_EQ(*user, "root");
    }
    const auto version = platform::OsVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->rfind("Linux ", 0), 0u);
}

}  // namespace
