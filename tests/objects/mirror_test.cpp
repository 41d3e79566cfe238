// The tree's two promises to the server, over long random runs:
// - mirror: a second tree that applies the statement of every public change
//   event of a first tree ends up writing the same public statements;
// - round trip: the statements of a whole tree, applied to an empty tree,
//   rebuild a tree that writes the same statements.
#include "objects/statements.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class RandomTreeWork {
 public:
  explicit RandomTreeWork(std::uint32_t seed) : random_(seed) {}

  // One random change of the tree. Values and links are never created empty:
  // creating an empty value or an unlinked link fires no event by design, so
  // it has no statement to mirror.
  void Step(TAE_Root& tree) {
    switch (Pick(12)) {
      case 0:
        tree.FindObject(AnyName(), true);
        break;
      case 1:
      case 2: {
        // Public members only: the mirror never learns where a private object
        // lives, so it could not follow a private object into a collection.
        TAE_Object* owner = tree.FindObject(AnyName(), true);
        if (TAE_KeyCollection* c = owner->FindCollection(Collection(), true)) {
          c->FindMember(PublicName(), true);
        }
        break;
      }
      case 3:
      case 4:
      case 5: {
        TAE_Object* object = tree.FindObject(AnyName(), true);
        const std::string name = ValueName();
        const std::string text = ValueText();
        if (object->FindValue(name, false) != nullptr || !text.empty()) {
          object->SetValue(name, text);
        }
        break;
      }
      case 6:
      case 7: {
        TAE_Object* object = tree.FindObject(AnyName(), true);
        const std::string name = LinkName();
        const std::string target = Pick(5) == 0 ? std::string() : Padded(AnyName());
        if (object->FindKey(name, false) != nullptr || !target.empty()) {
          object->FindKey(name, true)->SetTarget(std::string(TrimBlanks(target)));
        }
        break;
      }
      case 8:
        tree.DeleteMember(AnyName(), Pick(2) == 0 ? ValueName() : LinkName());
        break;
      case 9:
        tree.DeleteMember(AnyName(), Collection());
        break;
      case 10:
        if (Pick(3) == 0) {
          tree.DeleteMember(AnyName(), "");
        }
        break;
      case 11:
        ApplyStatement(tree);
        break;
    }
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  // Appends rather than "literal" + text, which g++ 12 misreads under -Werror=restrict.
  static std::string Numbered(const char* prefix, int n, const char* suffix = "") {
    std::string name(prefix);
    name += std::to_string(n);
    name += suffix;
    return name;
  }
  std::string PublicName() { return Numbered("O", Pick(40)); }
  std::string AnyName() { return Pick(8) == 0 ? Numbered("(P", Pick(4)) : PublicName(); }
  std::string Collection() { return Numbered("[c", Pick(3), "]"); }
  std::string ValueName() { return Numbered("v", Pick(6)); }
  std::string LinkName() { return Pick(6) == 0 ? ValueName() : Numbered("k", Pick(3)); }
  std::string Padded(const std::string& name) { return Pick(4) == 0 ? " " + name + " \t" : name; }

  // Texts with the characters the statement syntax uses itself.
  std::string ValueText() {
    static const char* const kPieces[] = {"a", " ", ";", "=", ".", "->", "-", ",", "x y", "1:05.09", "[b]", "*", ">"};
    std::string text;
    for (int n = Pick(6); n > 0; --n) {
      text += kPieces[Pick(std::size(kPieces))];
    }
    if (!text.empty() && text.back() != ';' && Pick(4) == 0) {
      text += "\r\n";
    }
    return text;
  }

  void ApplyStatement(TAE_Root& tree) {
    const std::string object = AnyName();
    switch (Pick(4)) {
      case 0: {
        const std::string text = ValueText();
        tree.Apply(object + "." + ValueName() + "=" + (text.empty() ? "z" : text) + ";\r\n");
        break;
      }
      case 1:
        tree.Apply(object + "." + LinkName() + "->" + Padded(AnyName()) + ";\r\n");
        break;
      case 2:
        tree.Apply(object + "." + Collection() + "." + PublicName() + ";\n");
        break;
      case 3: {
        std::string statement = "delete ";
        statement += object;
        if (Pick(2) == 0) {
          statement += ' ';
          statement += ValueName();
        }
        tree.Apply(statement);
        break;
      }
    }
  }

  std::mt19937 random_;
};

class StatementForwarder {
 public:
  explicit StatementForwarder(TAE_Root& from) {
    from.AddHandler(&TAE_BoundMethod<StatementForwarder, &StatementForwarder::On>, this);
  }
  void ApplyTo(TAE_Root& to) {
    for (const std::string& s : pending_) {
      to.Apply(s);
    }
    pending_.clear();
  }

 private:
  void On(TAE_Event& e) {
    std::string s = DescribeEvent(e, true);
    if (!s.empty()) {
      pending_.push_back(std::move(s));
    }
  }
  std::vector<std::string> pending_;
};

TEST(MirrorProperty, MirrorWritesWhatTheOriginalWrites) {
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    TAE_Root original, mirror;
    StatementForwarder forwarder(original);
    RandomTreeWork work(seed);
    for (int step = 1; step <= 4000; ++step) {
      work.Step(original);
      forwarder.ApplyTo(mirror);
      if (step % 25 == 0) {
        ASSERT_EQ(mirror.WriteStatements(true), original.WriteStatements(true)) << "seed " << seed << " step " << step;
      }
    }
    EXPECT_NE(original.WriteStatements(true), "") << seed;
  }
}

TEST(MirrorProperty, WholeTreeRoundTrip) {
  for (const std::uint32_t seed : {4u, 5u, 6u}) {
    TAE_Root original;
    RandomTreeWork work(seed);
    for (int step = 1; step <= 4000; ++step) {
      work.Step(original);
      if (step % 200 == 0) {
        const std::string written = original.WriteStatements(false);
        TAE_Root copy;
        copy.Apply(written);
        ASSERT_EQ(copy.WriteStatements(false), written) << "seed " << seed << " step " << step;
        ASSERT_EQ(copy.WriteStatements(true), original.WriteStatements(true)) << "seed " << seed << " step " << step;
      }
    }
    EXPECT_NE(original.WriteStatements(false), "") << seed;
  }
}

}  // namespace
