#include "componentclasses/tllist.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Counts live instances, so that a leak or a double free shows up as a wrong count
// (and under AddressSanitizer as a report).
struct Tracked {
  explicit Tracked(int v) : value(v) { ++live; }
  ~Tracked() { --live; }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;
  int value;
  static inline int live = 0;
};

std::vector<int> Values(const TLList<Tracked>& list) {
  std::vector<int> out;
  for (const Tracked* t : list) {
    out.push_back(t->value);
  }
  return out;
}

class TLListTest : public ::testing::Test {
 protected:
  void SetUp() override { Tracked::live = 0; }
  void TearDown() override { EXPECT_EQ(Tracked::live, 0); }
};

TEST_F(TLListTest, OwningListDestroysElementsNonOwningLeavesThem) {
  std::vector<std::unique_ptr<Tracked>> keep;
  {
    TLList<Tracked> owning(true);
    TLList<Tracked> borrowing(false);
    for (int i = 0; i < 5; ++i) {
      Tracked* t = owning.Append(std::make_unique<Tracked>(i));
      borrowing.Append(t);
      keep.push_back(std::make_unique<Tracked>(10 + i));
      borrowing.Append(keep.back().get());
    }
    EXPECT_EQ(Tracked::live, 10);
    borrowing.Clear();
    EXPECT_EQ(Tracked::live, 10);
    EXPECT_EQ(borrowing.Count(), 0);
  }
  EXPECT_EQ(Tracked::live, 5);
  keep.clear();
}

TEST_F(TLListTest, RemoveDestroysOnlyWhenOwningAndAsked) {
  struct Case {
    bool owns;
    bool destroy;
    int liveAfter;
  };
  for (const Case c : {Case{true, true, 1}, Case{true, false, 2}, Case{false, true, 2}, Case{false, false, 2}}) {
    auto a = std::make_unique<Tracked>(1);
    auto b = std::make_unique<Tracked>(2);
    Tracked* removed = b.get();
    {
      TLList<Tracked> list(c.owns);
      list.Append(c.owns ? a.release() : a.get());
      list.Append(c.owns ? b.release() : b.get());
      EXPECT_TRUE(list.Remove(removed, c.destroy));
      EXPECT_FALSE(list.Remove(removed, c.destroy));
      EXPECT_EQ(Tracked::live, c.liveAfter) << c.owns << c.destroy;
      EXPECT_EQ(list.Count(), 1);
      EXPECT_EQ(list.Last()->value, 1);
    }
    if (c.owns && !c.destroy) {
      delete removed;  // ownership went back to the caller
    }
  }
}

TEST_F(TLListTest, RemoveKeepsHeadTailAndCountConsistent) {
  // Remove each position of a five-element list, then append: order must hold.
  for (int victim = 0; victim < 5; ++victim) {
    TLList<Tracked> list(true);
    std::vector<Tracked*> items;
    for (int i = 0; i < 5; ++i) {
      items.push_back(list.Append(std::make_unique<Tracked>(i)));
    }
    ASSERT_TRUE(list.Remove(items[victim], true));
    list.Append(std::make_unique<Tracked>(9));
    std::vector<int> expected;
    for (int i = 0; i < 5; ++i) {
      if (i != victim) expected.push_back(i);
    }
    expected.push_back(9);
    EXPECT_EQ(Values(list), expected) << victim;
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.First()->value, expected.front());
    EXPECT_EQ(list.Last()->value, 9);
  }
}

TEST_F(TLListTest, RemoveTakesOnlyTheFirstItemOfADuplicate) {
  Tracked a(1), b(2);
  TLList<Tracked> list(false);
  list.Append(&a);
  list.Append(&b);
  list.Append(&a);
  ASSERT_TRUE(list.Remove(&a, false));
  EXPECT_EQ(Values(list), (std::vector<int>{2, 1}));
  EXPECT_EQ(list.Find(&a), 1);
}

TEST_F(TLListTest, CursorWalksBothWays) {
  TLList<Tracked> list(true);
  for (int i = 0; i < 4; ++i) {
    list.Append(std::make_unique<Tracked>(i));
  }
  std::vector<int> forward;
  for (Tracked* t = list.First(); t != nullptr; t = list.Next(t)) {
    forward.push_back(t->value);
  }
  EXPECT_EQ(forward, (std::vector<int>{0, 1, 2, 3}));
  std::vector<int> backward;
  for (Tracked* t = list.Last(); t != nullptr; t = list.Previous(t)) {
    backward.push_back(t->value);
  }
  EXPECT_EQ(backward, (std::vector<int>{3, 2, 1, 0}));

  // Next of an element the cursor is not on searches from the head.
  Tracked* second = list.At(1);
  list.Last();
  EXPECT_EQ(list.Next(second)->value, 2);
  // The cursor moved to the result, so the following step is direct.
  EXPECT_EQ(list.Next(list.At(2))->value, 3);

  Tracked stranger(7);
  EXPECT_EQ(list.Next(&stranger), nullptr);
  EXPECT_EQ(list.Previous(&stranger), nullptr);
}

TEST_F(TLListTest, RemovingTheCursorElementDoesNotLeaveItDangling) {
  TLList<Tracked> list(true);
  Tracked* a = list.Append(std::make_unique<Tracked>(0));
  Tracked* b = list.Append(std::make_unique<Tracked>(1));
  list.Append(std::make_unique<Tracked>(2));
  EXPECT_EQ(list.Next(a), b);  // cursor now on b
  ASSERT_TRUE(list.Remove(b, true));
  EXPECT_EQ(list.Next(a)->value, 2);
}

TEST_F(TLListTest, FindAndAtAgreeThroughTheCacheAcrossRemovals) {
  TLList<Tracked> list(true);
  std::vector<Tracked*> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back(list.Append(std::make_unique<Tracked>(i)));
  }
  EXPECT_EQ(list.Find(items[4]), 4);
  EXPECT_EQ(list.At(4), items[4]);
  EXPECT_EQ(list.At(5), items[5]);
  EXPECT_EQ(list.At(0), items[0]);

  // A removal before the cached item shifts its index: the cache must not lie.
  EXPECT_EQ(list.Find(items[4]), 4);
  ASSERT_TRUE(list.Remove(items[1], true));
  EXPECT_EQ(list.At(4), items[5]);
  EXPECT_EQ(list.Find(items[4]), 3);
  // A removal after it leaves it right.
  ASSERT_TRUE(list.Remove(items[5], true));
  EXPECT_EQ(list.At(3), items[4]);

  Tracked stranger(9);
  EXPECT_EQ(list.Find(&stranger), -1);
  for (int bad : {-1, 4, 100}) {
    EXPECT_EQ(list.At(bad), nullptr) << bad;
  }
}

TEST_F(TLListTest, EmptyListAnswersNone) {
  TLList<Tracked> list(true);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_FALSE(list.Remove(nullptr, true));
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.begin(), list.end());
}

TEST_F(TLListTest, MoveTransfersOwnershipOnce) {
  TLList<Tracked> a(true);
  a.Append(std::make_unique<Tracked>(1));
  a.Append(std::make_unique<Tracked>(2));
  TLList<Tracked> b(std::move(a));
  EXPECT_EQ(Values(b), (std::vector<int>{1, 2}));
  TLList<Tracked> c(true);
  c.Append(std::make_unique<Tracked>(3));
  c = std::move(b);
  EXPECT_EQ(Tracked::live, 2);
  EXPECT_EQ(Values(c), (std::vector<int>{1, 2}));
  c.Append(std::make_unique<Tracked>(4));
  EXPECT_EQ(c.Last()->value, 4);
}

TEST_F(TLListTest, LongListClearsWithoutDeepRecursion) {
  TLList<Tracked> list(true);
  for (int i = 0; i < 500000; ++i) {
    list.Append(std::make_unique<Tracked>(i));
  }
  EXPECT_EQ(list.Count(), 500000);
}

}  // namespace
