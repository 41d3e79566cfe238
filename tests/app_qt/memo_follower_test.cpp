#include <gtest/gtest.h>

#include "app/qt/memo_follower.h"

namespace {

using app::MemoBox;
using app::qt::MemoFollower;

void Add(MemoBox& memo, std::string line) {
    memo.lines.push_back(std::move(line));
    ++memo.revision;
}

TEST(MemoFollower, HandsOnlyWhatWasAdded) {
    MemoBox memo;
    MemoFollower follower;
    Add(memo, "a");
    auto change = follower.Take(memo);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->lines, std::vector<std::string>{"a"});
    EXPECT_FALSE(follower.Take(memo));  // nothing new
    Add(memo, "b");
    Add(memo, "c");
    change = follower.Take(memo);
    ASSERT_TRUE(change);
    EXPECT_FALSE(change->rewritten);
    EXPECT_EQ(change->lines, (std::vector<std::string>{"b", "c"}));
}

TEST(MemoFollower, ClearedOrRefilledBoxIsShownAnew) {
    MemoBox memo;
    MemoFollower follower;
    Add(memo, "a");
    Add(memo, "b");
    follower.Take(memo);

    memo.lines = {"x"};  // cleared, then one line (a Debug button)
    ++memo.revision;
    auto change = follower.Take(memo);
    ASSERT_TRUE(change);
    EXPECT_TRUE(change->rewritten);
    EXPECT_EQ(change->lines, std::vector<std::string>{"x"});

    memo.lines.clear();
    ++memo.revision;
    change = follower.Take(memo);
    ASSERT_TRUE(change);
    EXPECT_TRUE(change->rewritten);
    EXPECT_TRUE(change->lines.empty());
}

}  // namespace
