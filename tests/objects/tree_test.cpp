#include "objects/tree.h"

#include "event_log.h"
#include "objects/statements.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

std::vector<std::string> Names(const TLList<TAE_Object>& list) {
  std::vector<std::string> out;
  for (const TAE_Object* o : list) {
    out.push_back(o->name);
  }
  return out;
}

class TreeTest : public ::testing::Test {
 protected:
  TAE_Object* Obj(std::string_view name) { return root.FindObject(name, false); }
  TAE_Object* Member(std::string_view owner, std::string_view collection, std::string_view name) {
    return root.FindObject(owner, true)->FindCollection(collection, true)->FindMember(name, true);
  }

  TAE_Root root;
  EventLog log{root};
};

// Each case runs an action on a small tree and lists the events it fires.
struct EventCase {
  const char* what;
  const char* setup;  // statements applied first; their events are dropped
  std::function<void(TAE_Root&)> action;
  Lines events;
};

TEST_F(TreeTest, OperationsFireTheirEventsInOrder) {
  const EventCase cases[] = {
      {"new value", "X", [](TAE_Root& r) { r.FindObject("X", false)->SetValue("a", "1"); }, {"X.a=1"}},
      {"same text", "X.a=1", [](TAE_Root& r) { r.FindObject("X", false)->SetValue("a", "1"); }, {}},
      {"other text", "X.a=1", [](TAE_Root& r) { r.FindObject("X", false)->SetValue("a", "2"); }, {"X.a=2"}},
      {"empty new value", "X", [](TAE_Root& r) { r.FindObject("X", false)->SetValue("a", ""); }, {}},
      {"lookup only", "X", [](TAE_Root& r) { r.FindObject("Y", false); }, {}},
      {"create object", "", [](TAE_Root& r) { r.FindObject("Y", true); }, {"+Y"}},
      {"link to missing target", "X",
       [](TAE_Root& r) { r.FindObject("X", false)->FindKey("k", true)->SetTarget("Y"); },
       {"+Y", "X.k->Y"}},
      {"retarget", "X.k->Y", [](TAE_Root& r) { r.FindObject("X", false)->FindKey("k", false)->SetTarget("Z"); },
       {"X.k-/>", "+Z", "X.k->Z"}},
      {"unlink", "X.k->Y", [](TAE_Root& r) { r.FindObject("X", false)->FindKey("k", false)->SetTarget(""); },
       {"X.k-/>"}},
      {"same target", "X.k->Y", [](TAE_Root& r) { r.FindObject("X", false)->FindKey("k", false)->SetTarget("Y"); },
       {}},
      {"adopt top-level", "X.a=1;\r\nM",
       [](TAE_Root& r) { r.FindObject("M", true)->FindCollection("[c]", true)->FindMember("X", true); },
       {"+X"}},
      {"remove value and link of one name", "X.m=1;\r\nX.m->Y", [](TAE_Root& r) { r.DeleteMember("X", "m"); },
       {"-X.m", "-X.m->"}},
      {"remove collection", "X.[c].A;\r\nA.v=1;\r\nX.[c].B", [](TAE_Root& r) { r.DeleteMember("X", "[c]"); },
       {"-A.v", "-A", "-B"}},
      {"delete object depth first", "X.v=1;\r\nX.k->Y;\r\nX.[c].A;\r\nA.[d].B;\r\nB.w=2;\r\nX.[c].C",
       [](TAE_Root& r) { r.DeleteMember("X", ""); },
       {"-B.w", "-B", "-A", "-C", "-X.v", "-X.k->", "-X"}},
      {"delete a link target", "X.k->T;\r\nT.j->T", [](TAE_Root& r) { r.DeleteMember("T", ""); },
       {"-T.j->", "-T", "X.k-/>"}},
      {"delete linked siblings", "H.[c].A;\r\nH.[c].B;\r\nA.k->B;\r\nB.k->A", [](TAE_Root& r) { r.DeleteMember("H", ""); },
       {"-A.k->", "-A", "B.k-/>", "-B.k->", "-B", "-H"}},
      {"delete missing", "X", [](TAE_Root& r) { r.DeleteMember("Q", ""); r.DeleteMember("X", "nothing"); }, {}},
  };
  for (const EventCase& c : cases) {
    TAE_Root r;
    r.Apply(c.setup);
    EventLog events(r);
    c.action(r);
    EXPECT_EQ(events.Take(), c.events) << c.what;
  }
}

TEST_F(TreeTest, LookupCreatesOnlyWhenAsked) {
  EXPECT_EQ(root.FindObject("X", false), nullptr);
  TAE_Object* x = root.FindObject("X", true);
  EXPECT_EQ(x->FindCollection("[c]", false), nullptr);
  EXPECT_EQ(x->FindValue("v", false), nullptr);
  EXPECT_EQ(x->FindKey("k", false), nullptr);
  EXPECT_EQ(x->GetValue("v"), "");
  EXPECT_EQ(x->GetReferrers(false), nullptr);
  EXPECT_TRUE(x->values.Empty());
  EXPECT_EQ(x->FindCollection("[c]", true)->FindMember("m", false), nullptr);
  EXPECT_EQ(root.FindObject("m", false), nullptr);
  EXPECT_EQ(root.FindObject("", true), nullptr);
  EXPECT_EQ(root.objects.Count(), 1);
  EXPECT_EQ(x->GetPath(), "X");
  EXPECT_EQ(x->intTags[9], -1);
  EXPECT_EQ(x->ptrTags[0], nullptr);
}

TEST_F(TreeTest, AdoptedTopLevelObjectMovesWithItsValuesAndLinks) {
  root.Apply("X.a=1;\r\nX.k->Y;\r\nM");
  TAE_Object* x = Obj("X");
  TAE_Object* member = Member("M", "[c]", "X");
  EXPECT_EQ(member, x);
  EXPECT_THAT(Names(root.objects), ElementsAre("Y", "M"));
  EXPECT_EQ(x->GetValue("a"), "1");
  EXPECT_EQ(x->FindKey("k", false)->target, Obj("Y"));
  EXPECT_EQ(x->GetPath(), "M.[c].X");
}

TEST_F(TreeTest, ObjectNamedBySecondCollectionMovesThere) {
  TAE_Object* x = Member("A", "[one]", "X");
  Member("B", "[two]", "X");
  EXPECT_TRUE(Obj("A")->FindCollection("[one]", false)->members.Empty());
  EXPECT_THAT(Names(Obj("B")->FindCollection("[two]", false)->members), ElementsAre("X"));
  EXPECT_EQ(x->GetPath(), "B.[two].X");
  // The old collection's owner goes without taking X along.
  root.DeleteMember("A", "");
  EXPECT_EQ(Obj("X"), x);
  EXPECT_EQ(x->GetPath(), "B.[two].X");
}

TEST_F(TreeTest, AdoptionThatWouldLoopOrNestTooDeepIsRefused) {
  Member("X", "[c]", "Y");
  Member("Y", "[d]", "Z");
  log.Take();
  EXPECT_EQ(Member("X", "[self]", "X"), nullptr);
  EXPECT_EQ(Member("Z", "[e]", "X"), nullptr);
  EXPECT_EQ(Member("Y", "[e]", "X"), nullptr);
  EXPECT_THAT(log.Take(), IsEmpty());
  EXPECT_EQ(Obj("Z")->GetPath(), "X.[c].Y.[d].Z");
  EXPECT_THAT(Names(root.objects), ElementsAre("X"));

  // A chain as deep as allowed, and one more level refused.
  std::string name = "L1";
  root.FindObject(name, true);
  for (int depth = 2; depth <= kTreeMaxDepth; ++depth) {
    std::string next = "L";
    next += std::to_string(depth);
    ASSERT_NE(Member(name, "[c]", next), nullptr) << depth;
    name = next;
  }
  EXPECT_EQ(Obj(name)->Depth(), kTreeMaxDepth);
  EXPECT_EQ(Member(name, "[c]", "deeper"), nullptr);
  // Adopting the chain's top under X would push its bottom too deep as well.
  EXPECT_EQ(Member("Z", "[e]", "L1"), nullptr);
}

TEST_F(TreeTest, DeletedObjectLeavesNoLinkPointingAtIt) {
  root.Apply("A.k->T;\r\nB.k->T;\r\nB.j->T;\r\nT.self->T;\r\nHolder.[c].T");
  TAE_Object* t = Obj("T");
  EXPECT_EQ(t->referrers.Count(), 4);
  root.DeleteMember("T", "");
  EXPECT_EQ(Obj("T"), nullptr);
  for (const char* name : {"A", "B"}) {
    for (TAE_KeyObject* key : Obj(name)->keys) {
      EXPECT_EQ(key->target, nullptr) << name;
      EXPECT_EQ(key->targetName, "") << name;
    }
  }
  // A new object of that name is not picked up by the old links.
  root.FindObject("T", true);
  EXPECT_EQ(Obj("A")->FindKey("k", false)->target, nullptr);
}

TEST_F(TreeTest, DestroyedLinkOwnerLeavesTheTargetsReferrers) {
  root.Apply("Holder.[c].A;\r\nA.k->T;\r\nA.j->T;\r\nB.k->T");
  TAE_Object* t = Obj("T");
  root.DeleteMember("A", "j");
  EXPECT_THAT(Names(t->referrers), ElementsAre("A", "B"));
  root.DeleteMember("Holder", "");
  EXPECT_THAT(Names(t->referrers), ElementsAre("B"));
  root.Apply("B.k->U");
  EXPECT_TRUE(t->referrers.Empty());
  EXPECT_THAT(Names(Obj("U")->referrers), ElementsAre("B"));
}

TEST_F(TreeTest, RemovedCollectionEmptiesItsMembersOutOfTheIndex) {
  root.Apply("X.[c].A;\r\nA.[d].B;\r\nX.[c].*.v=1");
  TAE_KeyCollection* c = Obj("X")->FindCollection("[c]", false);
  root.DeleteMember("X", "[c]");
  EXPECT_EQ(Obj("A"), nullptr);
  EXPECT_EQ(Obj("B"), nullptr);
  // The collection object stays, empty, so a pointer held to it stays good.
  EXPECT_EQ(Obj("X")->FindCollection("[c]", false), c);
  EXPECT_TRUE(c->members.Empty());
  EXPECT_EQ(c->starObject, nullptr);
  EXPECT_EQ(root.WriteStatements(false), "X;\r\nX;\r\n");
  // Names come back as new objects.
  EXPECT_EQ(Member("X", "[c]", "A")->GetPath(), "X.[c].A");
}

TEST_F(TreeTest, NamesSharingLongPrefixesAreToldApart) {
  const std::vector<std::string> names = {"QVR_HALL3_serialbus_COM4_1", "QVR_HALL3_serialbus_COM4_10",
                                          "QVR_HALL3_serialbus_COM4_2", "0123456789", "0123456789a", "012345678"};
  for (const std::string& n : names) {
    root.FindObject(n, true)->SetValue("id", n);
  }
  for (const std::string& n : names) {
    ASSERT_NE(Obj(n), nullptr) << n;
    EXPECT_EQ(Obj(n)->GetValue("id"), n);
  }
  EXPECT_EQ(Obj("QVR_HALL3_serialbus_COM4_3"), nullptr);
  EXPECT_EQ(root.index.count, names.size());
}

TEST_F(TreeTest, HandlersRunInOrderOnceEachAndSeeTheirOwnEvent) {
  struct Recorder {
    std::vector<std::string>* seen;
    std::string tag;
    TAE_Root* root;
    void On(TAE_Event& e) {
      seen->push_back(tag + ":" + DescribeEvent(e, false));
      // A nested change rewrites the shared record; later handlers must not notice.
      if (tag == "first" && e.value != nullptr && e.value->name == "command") {
        e.object->SetValue("ack", "1");
      }
    }
  };
  std::vector<std::string> seen;
  TAE_Root r;
  Recorder first{&seen, "first", &r}, second{&seen, "second", &r};
  EXPECT_TRUE(r.AddHandler(&TAE_BoundMethod<Recorder, &Recorder::On>, &first));
  EXPECT_TRUE(r.AddHandler(&TAE_BoundMethod<Recorder, &Recorder::On>, &second));
  EXPECT_FALSE(r.AddHandler(&TAE_BoundMethod<Recorder, &Recorder::On>, &first));
  r.FindObject("B", true);
  seen.clear();
  r.FindObject("B", false)->SetValue("command", "history");
  EXPECT_THAT(seen, ElementsAre("first:B.command=history;\r\n", "first:B.ack=1;\r\n", "second:B.ack=1;\r\n",
                                "second:B.command=history;\r\n"));
}

TEST_F(TreeTest, DisabledHandlersAndRootDestructionFireNothing) {
  std::vector<std::string> seen;
  {
    auto r = std::make_unique<TAE_Root>();
    struct Counter {
      std::vector<std::string>* seen;
      void On(TAE_Event& e) { seen->push_back(e.object->name); }
    } counter{&seen};
    r->Apply("X.[c].A;\r\nA.v=1;\r\nA.k->X");
    r->AddHandler(&TAE_BoundMethod<Counter, &Counter::On>, &counter);
    r->handlers.enabled = false;
    r->FindObject("X", false)->SetValue("v", "2");
    r->handlers.enabled = true;
    r.reset();
  }
  EXPECT_THAT(seen, IsEmpty());
}

TEST_F(TreeTest, StarObjectIsATemplateOutsideIndexAndMembers) {
  root.Apply("MERK.[boards].*.v=1;\r\nMERK.[boards].*.k->T;\r\nMERK.[boards].*.[x].Y");
  TAE_KeyCollection* boards = Obj("MERK")->FindCollection("[boards]", false);
  ASSERT_NE(boards->starObject, nullptr);
  TAE_Object* star = boards->starObject.get();
  EXPECT_EQ(star->name, "star[boards]");
  EXPECT_EQ(star->GetValue("v"), "1");
  EXPECT_TRUE(boards->members.Empty());
  EXPECT_EQ(Obj("star[boards]"), nullptr);
  EXPECT_EQ(Obj("Y"), nullptr);  // a template holds no collections
  EXPECT_THAT(log.Take(), ElementsAre("+MERK", "+star[boards]", "star[boards].v=1", "+T", "star[boards].k->T"));
  // Deleting the collection's members takes the template's link out of T's referrers.
  root.DeleteMember("MERK", "[boards]");
  EXPECT_TRUE(Obj("T")->referrers.Empty());
}

TEST_F(TreeTest, NewUniqueNameIsPrefixAndBase36Digits) {
  for (int i = 0; i < 20; ++i) {
    const std::string name = root.NewUniqueName("_");
    ASSERT_GE(name.size(), 2u);
    EXPECT_EQ(name[0], '_');
    EXPECT_EQ(name.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", 1), std::string::npos) << name;
  }
  EXPECT_EQ(root.NewUniqueName("").find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz"), std::string::npos);
}

TEST_F(TreeTest, DeferredUpdateIsAppliedAgainAfterTheOutermostApply) {
  struct Nested {
    TAE_Root* root;
    void On(TAE_Event& e) {
      if (e.value != nullptr && e.value->name == "go") {
        root->Apply("X.v=early");
      }
    }
  } nested{&root};
  root.AddHandler(&TAE_BoundMethod<Nested, &Nested::On>, &nested);
  root.Apply("X.go=1;\r\nX.v=late;\r\n");
  // Applied at once (early), overwritten by the outer text (late), applied again.
  EXPECT_THAT(log.Take(), ElementsAre("+X", "X.go=1", "X.v=early", "X.v=late", "X.v=early"));
  EXPECT_EQ(root.applyDepth, 0);
  EXPECT_TRUE(root.actions.Empty());
}

}  // namespace
