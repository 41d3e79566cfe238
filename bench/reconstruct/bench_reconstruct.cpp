// Processor time of the reconstruction over whole real games, and the node
// rates that size the deterministic search budgets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "library/bitboard.h"
#include "library/match_result.h"
#include "library/move_reconstructor.h"
#include "library/path_selector.h"
#include "library/reconstructor_config.h"
#include "library/tree_walk.h"
#include "tools/common/pdn_reader.h"

namespace {

using dam::Move;
using dam::Position;

double process_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

const std::vector<rumo_tools::PdnGame>& games() {
  static const std::vector<rumo_tools::PdnGame> all = [] {
    std::vector<rumo_tools::PdnGame> list;
    for (const auto& entry : std::filesystem::directory_iterator(RUMO_GAMES_DIR)) {
      if (entry.path().extension() != ".pdn") continue;
      for (auto& game : rumo_tools::read_pdn_file(entry.path().string()))
        if (!game.moves.empty() && game.start.is_white_to_move()) list.push_back(std::move(game));
    }
    return list;
  }();
  return all;
}

class silent_reconstructor : public dam::move_reconstructor {
 public:
  using move_reconstructor::move_reconstructor;
  void on_play_move(const Move&) override {}
  void on_setup(const Position&) override {}
};

enum class handling { careful, sloppy };

// Feeds a game as a player shows it, seconds apart, and times every
// reconstruct call. A careful player lifts, places and takes the captured
// pieces; a sloppy one also touches pieces, takes captured pieces in any
// order, and now and then knocks a piece over and puts it back later.
void replay(const rumo_tools::PdnGame& game, handling hands, bool call_on_every_change,
            std::vector<double>& call_seconds) {
  std::mt19937 random(static_cast<unsigned>(game.first_line));
  std::string board = dam::board_printer::print(game.start).substr(0, 50);
  double time = 0;
  silent_reconstructor reconstructor(board, time);
  auto timed_reconstruct = [&] {
    const double start = process_seconds();
    reconstructor.reconstruct(time);
    call_seconds.push_back(process_seconds() - start);
  };
  auto change = [&](int square, char piece) {
    board[square - 1] = piece;
    reconstructor.add_unmatched_board_events(reconstructor.history.add_position(board, time));
    if (call_on_every_change) timed_reconstruct();
  };
  const bool sloppy = hands == handling::sloppy;
  for (const Move& move : game.moves) {
    time += sloppy ? 1.0 + static_cast<double>(random() % 12) : 4.0;
    if (sloppy && random() % 4 == 0) {
      change(move.from, '.');
      time += 0.3;
      change(move.from, dam::piece_char(move.piece));
    }
    change(move.from, '.');
    time += 0.5;
    auto captures = move.captures;
    if (sloppy && random() % 2 == 0) std::reverse(captures.begin(), captures.end());
    const bool captures_first = sloppy && random() % 3 == 0;
    if (!captures_first) change(move.to, dam::piece_char(move.result));
    for (const auto& capture : captures) {
      time += 0.5;
      change(capture.first, '.');
    }
    if (captures_first) change(move.to, dam::piece_char(move.result));
    if (sloppy && random() % 10 == 0) {
      const int square = 1 + static_cast<int>(random() % 50);
      const char piece = board[square - 1];
      if (piece != '.') {
        change(square, '.');
        time += 2.0;
        change(square, piece);
      }
    }
    if (!call_on_every_change) timed_reconstruct();
  }
  time += 10;
  timed_reconstruct();
}

double percentile(std::vector<double> sorted, double p) {
  if (sorted.empty()) return 0;
  std::sort(sorted.begin(), sorted.end());
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

void BM_ReconstructCall(benchmark::State& state) {
  const bool every_change = state.range(0) != 0;
  const handling hands = state.range(1) != 0 ? handling::sloppy : handling::careful;
  std::vector<double> call_seconds;
  for (auto _ : state) {
    call_seconds.clear();
    for (const auto& game : games()) replay(game, hands, every_change, call_seconds);
  }
  state.counters["calls"] = static_cast<double>(call_seconds.size());
  state.counters["median_ms"] = percentile(call_seconds, 0.5) * 1e3;
  state.counters["p99_ms"] = percentile(call_seconds, 0.99) * 1e3;
  state.counters["max_ms"] = percentile(call_seconds, 1.0) * 1e3;
}
BENCHMARK(BM_ReconstructCall)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->ArgNames({"every_change", "sloppy"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Candidate searches as deep as the reconstructor allows, on the events of
// the next plies of real games: nodes per second of processor time.
void BM_SearchNodeRate(benchmark::State& state) {
  const int plies_shown = static_cast<int>(state.range(0));
  std::uint64_t nodes = 0;
  double seconds = 0;
  for (auto _ : state) {
    for (const auto& game : games()) {
      for (std::size_t ply = 0; ply + plies_shown <= game.moves.size(); ply += 7) {
        Position p = game.position_after(ply);
        if (!p.is_white_to_move()) continue;
        std::vector<dam::indexed_event> events;
        for (int k = 0; k < plies_shown; ++k)
          for (const auto& e : dam::compute_events(game.moves[ply + k]))
            events.emplace_back(e, static_cast<int>(events.size()));
        const double start = process_seconds();
        dam::path_selector selector(p, events);
        for (int depth = 1; depth <= dam::configuration().max_candidate_moves; ++depth) {
          selector.max_depth = depth;
          selector.run();
          nodes += selector.nodes;
        }
        seconds += process_seconds() - start;
      }
    }
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes_per_s"] = static_cast<double>(nodes) / seconds;
  state.counters["budget_for_0.4s"] = 0.4 * static_cast<double>(nodes) / seconds;
}
BENCHMARK(BM_SearchNodeRate)->Arg(3)->Arg(5)->ArgName("plies_shown")->Iterations(1)->Unit(benchmark::kMillisecond);

// Setup repair walks from real positions towards the position a few plies
// later, deepening as the reconstructor does: nodes per second.
void BM_RepairWalkRate(benchmark::State& state) {
  const int plies = static_cast<int>(state.range(0));
  std::uint64_t nodes = 0;
  double seconds = 0;
  for (auto _ : state) {
    for (const auto& game : games()) {
      for (std::size_t ply = 0; ply + plies <= game.moves.size(); ply += 11) {
        const dam::bitboard from = dam::to_bitboard(game.position_after(ply));
        const dam::bitboard to = dam::to_bitboard(game.position_after(ply + plies));
        const double start = process_seconds();
        dam::transposition_table<dam::draughts_node, 14> table;
        for (int depth = 1; depth <= plies; ++depth) {
          dam::search_position_action action(to);
          dam::draughts_node root{from};
          dam::move_path path;
          dam::walk_tree(table, root, path, depth, action);
          nodes += action.nodes;
          if (!action.paths.empty()) break;
        }
        seconds += process_seconds() - start;
      }
    }
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes_per_s"] = static_cast<double>(nodes) / seconds;
  state.counters["budget_for_0.1s"] = 0.1 * static_cast<double>(nodes) / seconds;
}
BENCHMARK(BM_RepairWalkRate)->Arg(4)->ArgName("plies")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
