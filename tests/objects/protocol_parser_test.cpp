#include "objects/protocol_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LineCase {
  std::string line;
  int code;
  std::string command;
  std::vector<std::string> args;
};

TEST(ParseLine, CodeCommandAndArguments) {
  const LineCase cases[] = {
      {"164 LOGIN name word", 164, "LOGIN", {"name", "word"}},
      {"701 HOST 192.168.1.5 50000", 701, "HOST", {"192.168.1.5", "50000"}},
      {"701 HOST h 50000 extra", 701, "HOST", {"h", "50000 extra"}},
      {"701 host  h\t  50000 \r\n", 701, "HOST", {"h", "50000"}},
      {"320 OBJECTUPDATE a.b=c d;", 320, "OBJECTUPDATE", {"a.b=c d;"}},
      {"321 objectupdate   X.v= 1 \r\n", 321, "OBJECTUPDATE", {"X.v= 1"}},
      {"321 OBJECTUPDATE", 321, "OBJECTUPDATE", {}},
      {"311 BLOCK 42", 311, "BLOCK", {"42"}},
      {"311 BLOCK   42 more", 311, "BLOCK", {"42 more"}},
      {"310 A b c d e", 310, "A", {"b", "c", "d e"}},
      {"310 A b", 310, "A", {"b"}},
      {"162 ID", 162, "ID", {}},
      {"162-ID x", 162, "ID", {"x"}},
      {"162  x", 162, "", {"x"}},
      {"162 ", 162, "UNKNOWN", {}},
      {"161", 161, "UNKNOWN", {}},
      {"161 WELCOME to the server", 161, "UNKNOWN", {}},
      {"390 NOT RECOGNISED", 390, "UNKNOWN", {}},
      {"hello", 0, "UNKNOWN", {}},
      {"12", 0, "UNKNOWN", {}},
      {"", 0, "UNKNOWN", {}},
      {"0001 X", 0, "UNKNOWN", {}},
      {std::string("164 LOGIN a\0b", 13), 164, "LOGIN", {"a", "b"}},
  };
  for (const LineCase& c : cases) {
    TAEOS_Parser parser;
    ParseLine(parser, c.line);
    EXPECT_EQ(parser.code, c.code) << c.line;
    EXPECT_EQ(parser.command, c.command) << c.line;
    EXPECT_EQ(parser.args, c.args) << c.line;
    EXPECT_EQ(parser.line, c.line);
  }
}

TEST(ParseLine, ResultsOfTheLastLineOnly) {
  TAEOS_Parser parser;
  EXPECT_EQ(parser.code, -1);
  EXPECT_EQ(parser.command, "");
  ParseLine(parser, "164 LOGIN name word");
  ParseLine(parser, "161");
  EXPECT_EQ(parser.code, 161);
  EXPECT_EQ(parser.command, "UNKNOWN");
  EXPECT_TRUE(parser.args.empty());
}

TEST(GetArg, AnswersUnknownOutsideTheArguments) {
  TAEOS_Parser parser;
  ParseLine(parser, "164 LOGIN name word");
  EXPECT_EQ(GetArg(parser, 0), "name");
  EXPECT_EQ(GetArg(parser, 1), "word");
  for (int i : {-1, 2, 5}) {
    EXPECT_EQ(GetArg(parser, i), "UNKNOWN") << i;
  }
}

TEST(ArgumentCount, ByCode) {
  const std::pair<int, int> cases[] = {{162, 1}, {170, 1}, {311, 1}, {164, 2}, {320, 2}, {321, 2},
                                       {701, 2}, {310, 3}, {161, 0}, {0, 0},   {-1, 0},  {999, 0}};
  for (const auto& [code, count] : cases) {
    EXPECT_EQ(ArgumentCount(code), count) << code;
  }
}

}  // namespace
