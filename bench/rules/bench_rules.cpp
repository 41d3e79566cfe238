// Speed of the move generators: leaves of the move tree per second.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "library/bitboard.h"
#include "library/fen.h"
#include "library/perft.h"

namespace {

const char* const initial = "W:W31-50:B1-20";
const char* const woldouby = "W:W25,27,28,30,32,33,34,35,37,38:B12,13,14,16,18,19,21,23,24,26";
// Twenty kings a side.
const char* const kings = "W:WK31-50:BK1-20";

// Published leaf counts, checked on every run.
std::uint64_t expected(const char* fen, int depth) {
  const std::string f = fen;
  if (f == initial) {
    switch (depth) {
      case 9: return 41022423;
      case 10: return 258895763;
      case 11: return 1665861398;
    }
  }
  if (f == woldouby && depth == 11) return 377436;
  return 0;
}

void BitboardPerft(benchmark::State& state, const char* fen) {
  const int depth = static_cast<int>(state.range(0));
  const dam::bitboard start = dam::to_bitboard(dam::read_fen(fen));
  dam::bitboard_perft perft;
  std::uint64_t leaves = 0;
  for (auto _ : state) {
    leaves = perft.run(start, depth);
    benchmark::DoNotOptimize(leaves);
  }
  if (const std::uint64_t want = expected(fen, depth); want != 0 && leaves != want)
    state.SkipWithError("wrong leaf count");
  state.counters["leaves"] = static_cast<double>(leaves);
  state.counters["leaves/s"] =
      benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsIterationInvariantRate);
}

void ArrayPerft(benchmark::State& state, const char* fen) {
  const int depth = static_cast<int>(state.range(0));
  const dam::Position start = dam::read_fen(fen);
  std::uint64_t leaves = 0;
  for (auto _ : state) {
    leaves = dam::perft_array(start, depth);
    benchmark::DoNotOptimize(leaves);
  }
  state.counters["leaves/s"] =
      benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BitboardPerft, initial, initial)->Arg(9)->Arg(10)->Arg(11)->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BitboardPerft, woldouby, woldouby)->Arg(11)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitboardPerft, twenty_kings, kings)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ArrayPerft, initial, initial)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
