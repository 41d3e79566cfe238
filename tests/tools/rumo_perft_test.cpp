// The rumo-perft command line, run as a program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct PerftRun {
  int status = -1;
  std::string out;
};

PerftRun run_perft(const std::string& args) {
  PerftRun run;
  const std::string command = std::string(RUMO_PERFT_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(RumoPerft, PrintsEveryDepthAndTheSpeed) {
  const char* const woldouby = "'[FEN \"W:W25,27,28,30,32,33,34,35,37,38:B12,13,14,16,18,19,21,23,24,26\"]'";
  for (const std::string generator : {"bitboard", "array"}) {
    SCOPED_TRACE(generator);
    const PerftRun run = run_perft("--generator " + generator + " --fen " + woldouby + " 6");
    EXPECT_EQ(run.status, 0);
    const std::string counts = "perft 1 6\nperft 2 12\nperft 3 30\nperft 4 73\nperft 5 215\nperft 6 590\nspeed ";
    EXPECT_EQ(run.out.substr(0, counts.size()), counts);
    EXPECT_EQ(run.out.substr(run.out.size() - 9), " nodes/s\n");
  }
  const PerftRun start = run_perft("4");
  EXPECT_EQ(start.out.substr(0, 45), "perft 1 9\nperft 2 81\nperft 3 658\nperft 4 4265");
}

TEST(RumoPerft, RefusesBadArguments) {
  for (const char* args : {"", "0", "31", "x", "3 4", "--generator fast 3", "--fen 'W:W51' 3", "--fen", "--depth 3"}) {
    SCOPED_TRACE(args);
    const PerftRun run = run_perft(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("usage: rumo-perft"), std::string::npos);
    EXPECT_EQ(run.out.find("perft 1"), std::string::npos);
  }
}

}  // namespace
