#include "objects/statements.h"

#include "event_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using Lines = std::vector<std::string>;

// What a text does to an empty tree, as the whole tree written out.
struct ApplyCase {
  const char* what;
  std::string text;
  std::string tree;
};

TEST(Apply, StatementFormsAndSeparators) {
  const ApplyCase cases[] = {
      {"value keeps later '='", "X.a=b=c", "X;\r\nX;\r\nX.a=b=c;\r\n"},
      {"value keeps blanks", "X.a= b ", "X;\r\nX;\r\nX.a= b ;\r\n"},
      {"value keeps ';' not before a line end", "X.a=p;q;r", "X;\r\nX;\r\nX.a=p;q;r;\r\n"},
      {"value keeps '.', ',' and '->'", "X.a=1.5, x->y", "X;\r\nX;\r\nX.a=1.5, x->y;\r\n"},
      {"value keeps its line end", "X.scancount=12\r\n;\r\n", "X;\r\nX;\r\nX.scancount=12\r\n;\r\n"},
      {"link target is trimmed", "X.k-> Y \t", "X;\r\nY;\r\nX;\r\nX.k->Y;\r\nY;\r\n"},
      {"bare object", "X.a", "X;\r\nX;\r\n"},
      {"empty value and unlinked link are kept", "X.a=;\r\nX.k->", "X;\r\nX;\r\nX.a=;\r\nX.k->;\r\n"},
      {"member", "M.[c].X", "M;\r\nM;\r\nM.[c].X;\r\n"},
      {"one-character member at the end", "MERK.[boards].7", "MERK;\r\nMERK;\r\nMERK.[boards].7;\r\n"},
      {"';\\n' separates", "A.v=1;\nB.v=2", "A;\r\nB;\r\nA;\r\nA.v=1;\r\nB;\r\nB.v=2;\r\n"},
      {"';\\r' separates", "A.v=1;\rB.v=2", "A;\r\nB;\r\nA;\r\nA.v=1;\r\nB;\r\nB.v=2;\r\n"},
      {"gaps after the ';' are skipped", "A.v=1;\r\n \t;;\r\n\nB.v=2;", "A;\r\nB;\r\nA;\r\nA.v=1;\r\nB;\r\nB.v=2;\r\n"},
      {"text ends at NUL", std::string("A.v=1;\r\nB\0.v=2", 14), "A;\r\nB;\r\nA;\r\nA.v=1;\r\nB;\r\n"},
      {"empty statements", ";\r\n;\r\n", ""},
      {"a name may hold blanks", "my board.v=1", "my board;\r\nmy board;\r\nmy board.v=1;\r\n"},
      {"an operator alone names an object", "->", "->;\r\n->;\r\n"},
      {"last of several values wins", "X.a=1;\r\nX.a=2", "X;\r\nX;\r\nX.a=2;\r\n"},
  };
  for (const ApplyCase& c : cases) {
    TAE_Root root;
    root.Apply(c.text);
    EXPECT_EQ(root.WriteStatements(false), c.tree) << c.what;
  }
}

TEST(Apply, Deletions) {
  const char* setup = "X.a=1;\r\nX.a->Y;\r\nX.b=2;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N";
  const ApplyCase cases[] = {
      {"value and link of the name", "delete X.a", "X;\r\nY;\r\nX;\r\nX.b=2;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N;\r\nY;\r\n"},
      {"space instead of '.'", "delete X a", "X;\r\nY;\r\nX;\r\nX.b=2;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N;\r\nY;\r\n"},
      {"collection with its members", "delete X.[c]",
       "X;\r\nY;\r\nX;\r\nX.a=1;\r\nX.b=2;\r\nX.a->Y;\r\nX.[d].N;\r\nY;\r\n"},
      {"whole object", "delete X", "Y;\r\nY;\r\n"},
      {"blanks around", "delete   X   b  ", "X;\r\nY;\r\nX;\r\nX.a=1;\r\nX.a->Y;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N;\r\nY;\r\n"},
      {"member object by name", "delete M", "X;\r\nY;\r\nX;\r\nX.a=1;\r\nX.b=2;\r\nX.a->Y;\r\nX.[d].N;\r\nY;\r\n"},
      {"missing object", "delete Q", "X;\r\nY;\r\nX;\r\nX.a=1;\r\nX.b=2;\r\nX.a->Y;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N;\r\nY;\r\n"},
      {"missing member", "delete X.zz", "X;\r\nY;\r\nX;\r\nX.a=1;\r\nX.b=2;\r\nX.a->Y;\r\nX.[c].M;\r\nM.v=3;\r\nX.[d].N;\r\nY;\r\n"},
  };
  for (const ApplyCase& c : cases) {
    TAE_Root root;
    root.Apply(setup);
    root.Apply(c.text);
    EXPECT_EQ(root.WriteStatements(false), c.tree) << c.what;
  }
}

TEST(Apply, StatementLongerThanTheLimitIsRefusedWhole) {
  for (const std::size_t length : {kMaxStatementLength - 1, kMaxStatementLength, kMaxStatementLength + 1,
                                   std::size_t{100000}}) {
    const std::string prefix = "X.v=";
    const std::string value(length - prefix.size(), 'x');
    TAE_Root root;
    root.Apply("A.v=1;\r\n" + prefix + value + ";\r\nB.v=2");
    const bool accepted = length <= kMaxStatementLength;
    EXPECT_EQ(root.FindObject("X", false) != nullptr, accepted) << length;
    if (accepted) {
      EXPECT_EQ(root.FindObject("X", false)->GetValue("v"), value);
    }
    EXPECT_EQ(root.FindObject("A", false)->GetValue("v"), "1") << length;
    EXPECT_EQ(root.FindObject("B", false)->GetValue("v"), "2") << length;
  }
}

TEST(Apply, FiresTheEventsOfTheChanges) {
  TAE_Root root;
  EventLog log(root);
  root.Apply("MERK.[boards].B;\r\nB.busadres=3;\r\nB.busadres=3;\r\nB.connection->_u;\r\nB.connection->_u ;\r\n"
             "delete B.busadres;\r\ndelete B");
  EXPECT_EQ(log.Take(), (Lines{"+MERK", "+B", "B.busadres=3", "+_u", "B.connection->_u", "-B.busadres", "-B.connection->", "-B"}));
}

TEST(Apply, StarStatementsFillTheTemplateAndReadBackAsAMember) {
  TAE_Root root;
  root.Apply("MERK.[boards].*.v=1;\r\nMERK.[boards].A");
  const std::string written = root.WriteStatements(false);
  EXPECT_EQ(written, "MERK;\r\nMERK;\r\nMERK.[boards].star[boards];\r\nstar[boards].v=1;\r\nMERK.[boards].A;\r\n");
  TAE_Root copy;
  copy.Apply(written);
  TAE_Object* member = copy.FindObject("star[boards]", false);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->GetValue("v"), "1");
  EXPECT_EQ(member->GetPath(), "MERK.[boards].star[boards]");
  EXPECT_EQ(copy.FindObject("MERK", false)->FindCollection("[boards]", false)->starObject, nullptr);
}

struct TokenCase {
  std::string line;
  Lines tokens;      // taken until ""
  std::string rest;  // parser.line afterwards
};

TEST(NextToken, SplitsNamesOperatorsAndSeparators) {
  const TokenCase cases[] = {
      {"X.a=b", {"X", "a", "=", "b"}, ""},
      {"X.k->Y", {"X", "k", "->", "Y"}, ""},
      {"a-b.c", {"a-b", "c"}, ""},
      {"a-", {"a-"}, ""},
      {"-", {"-"}, ""},
      {"->", {"->"}, ""},
      {"7", {"7"}, ""},
      {" \r\n.;,", {}, " \r\n.;,"},
      {"", {}, ""},
      {"my name ,x", {"my name ", "x"}, ""},
      {"a=", {"a", "="}, ""},
      {"=a", {"=", "a"}, ""},
      {"A.[c].*", {"A", "[c]", "*"}, ""},
      {"a;b", {"a", "b"}, ""},
      {"..tail..", {"tail"}, ".."},
  };
  for (const TokenCase& c : cases) {
    TAEOS_Parser parser;
    parser.line = c.line;
    Lines tokens;
    for (std::string t = NextToken(parser); !t.empty(); t = NextToken(parser)) {
      tokens.push_back(t);
      ASSERT_LT(tokens.size(), 20u) << c.line;
    }
    EXPECT_EQ(tokens, c.tokens) << c.line;
    EXPECT_EQ(parser.line, c.rest) << c.line;
  }
}

TEST(NextToken, LeavesTheOperatorsRestForTheValue) {
  TAEOS_Parser parser;
  parser.line = ".a= b;c";
  EXPECT_EQ(NextToken(parser), "a");
  EXPECT_EQ(parser.line, "= b;c");
  EXPECT_EQ(NextToken(parser), "=");
  EXPECT_EQ(parser.line, " b;c");
}

TEST(DescribeEvent, OneStatementPerChange) {
  TAE_Root root;
  std::vector<std::string> publicStatements, allStatements;
  struct Describer {
    std::vector<std::string>* pub;
    std::vector<std::string>* all;
    void On(TAE_Event& e) {
      pub->push_back(DescribeEvent(e, true));
      all->push_back(DescribeEvent(e, false));
    }
  } describer{&publicStatements, &allStatements};
  root.AddHandler(&TAE_BoundMethod<Describer, &Describer::On>, &describer);
  root.Apply("MERK.[boards].B;\r\nB.[sub].C;\r\nB.v=x;\r\nB.k->T;\r\nB.k->U;\r\nB.k->;\r\n(P.w=1;\r\n"
             "delete B.v;\r\ndelete C;\r\n(P.[c].Q");
  EXPECT_EQ(publicStatements,
            (Lines{"MERK", "MERK.[boards].B", "B.[sub].C", "B.v=x;\r\n", "T", "B.k->T;\r\n", "", "U", "B.k->U;\r\n",
                   "B.k->;\r\n", "", "", "delete B.v", "delete C", "(P.[c].Q"}));
  EXPECT_EQ(allStatements[10], "(P");
  EXPECT_EQ(allStatements[11], "(P.w=1;\r\n");

  TAE_Event none;
  EXPECT_EQ(DescribeEvent(none, false), "");
}

TEST(WriteStatements, PublicOnlySkipsPrivateObjectsWithAllBelow) {
  TAE_Root root;
  root.Apply("A.v=1;\r\n(P.w=2;\r\n(P.[c].M;\r\nM.x=3;\r\nA.[d].(Q;\r\n(Q.y=4;\r\nA.k->(P");
  EXPECT_EQ(root.WriteStatements(true), "A;\r\nA;\r\nA.v=1;\r\nA.k->(P;\r\n");
  EXPECT_EQ(root.WriteStatements(false),
            "A;\r\n(P;\r\nA;\r\nA.v=1;\r\nA.k->(P;\r\nA.[d].(Q;\r\n(Q.y=4;\r\n(P;\r\n(P.w=2;\r\n(P.[c].M;\r\nM.x=3;\r\n");
  EXPECT_EQ(root.FindObject("(P", false)->WriteStatements(true), "");
}

TEST(WriteStatements, MemberHeaderUsesTheOwnersBareName) {
  TAE_Root root;
  root.Apply("MERK.[boards].B;\r\nB.[clocks].C;\r\nC.t=1:05.09");
  EXPECT_EQ(root.FindObject("C", false)->GetPath(), "MERK.[boards].B.[clocks].C");
  EXPECT_EQ(root.FindObject("B", false)->WriteStatements(true), "MERK.[boards].B;\r\nB.[clocks].C;\r\nC.t=1:05.09;\r\n");
  EXPECT_EQ(root.FindObject("MERK", false)->FindCollection("[boards]", false)->WriteStatements(true),
            "MERK.[boards].B;\r\nB.[clocks].C;\r\nC.t=1:05.09;\r\n");
}

TEST(WriteStatements, WholeTreeRoundTripsThroughApply) {
  // Forward links, adoptions, deletions and odd value texts in one tree.
  TAE_Root root;
  root.Apply("A.k->Z;\r\nW.v=1;\r\nZ.v=; = . -> ;x;\r\nH.[c].W;\r\nH.[c].M;\r\nM.k->A;\r\nM.j->Gone;\r\n"
             "delete Gone;\r\nH.[e].N;\r\ndelete H.[e];\r\nA.z= ");
  const std::string written = root.WriteStatements(false);
  TAE_Root copy;
  copy.Apply(written);
  EXPECT_EQ(copy.WriteStatements(false), written);
  EXPECT_EQ(copy.FindObject("M", false)->FindKey("k", false)->target, copy.FindObject("A", false));
}

}  // namespace
