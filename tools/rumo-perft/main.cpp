// Counts the leaves of the move tree of a position, depth by depth, and the speed.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>

#include "library/bitboard.h"
#include "library/fen.h"
#include "library/perft.h"

namespace {

constexpr int max_depth = 30;

int usage(const std::string& why) {
  if (!why.empty()) std::cerr << "rumo-perft: " << why << "\n";
  std::cerr << "usage: rumo-perft [--generator bitboard|array] [--fen FEN] DEPTH\n"
               "  Prints \"perft D N\" for D = 1..DEPTH (N leaves, captures differing only in\n"
               "  their route counted once), then \"speed X nodes/s\" over processor time.\n"
               "  FEN as in PDN, e.g. W:W31-50:B1-20 (default: the initial position).\n";
  return 2;
}

double processor_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  std::string generator = "bitboard";
  std::string fen = "W:W31-50:B1-20";
  int depth = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--generator" || arg == "--fen") && i + 1 < argc) {
      (arg == "--fen" ? fen : generator) = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      usage("");
      return 0;
    } else if (depth == 0 && !arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos &&
               arg.size() <= 2) {
      depth = std::atoi(arg.c_str());
    } else {
      return usage("unexpected argument \"" + arg + "\"");
    }
  }
  if (depth < 1 || depth > max_depth) return usage("DEPTH must be 1 to " + std::to_string(max_depth));
  if (generator != "bitboard" && generator != "array") return usage("unknown generator \"" + generator + "\"");

  dam::Position start;
  try {
    start = dam::read_fen(fen);
  } catch (const std::exception& e) {
    return usage(e.what());
  }

  const dam::bitboard start_bits = dam::to_bitboard(start);
  dam::bitboard_perft bitboard_counter;
  std::uint64_t total = 0;
  double seconds = 0;
  for (int d = 1; d <= depth; ++d) {
    const double begin = processor_seconds();
    const std::uint64_t leaves =
        generator == "array" ? dam::perft_array(start, d) : bitboard_counter.run(start_bits, d);
    seconds += processor_seconds() - begin;
    total += leaves;
    std::cout << "perft " << d << " " << leaves << std::endl;
  }
  const double speed = seconds > 0 ? static_cast<double>(total) / seconds : 0.0;
  std::cout << "speed " << static_cast<std::uint64_t>(speed) << " nodes/s" << std::endl;
  return 0;
}
