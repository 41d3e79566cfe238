// The tree under a hall's load: 10,000 board objects, a 5 MB block of value
// statements applied to them, and the whole tree written out.
#include "objects/statements.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kBoards = 10000;
constexpr std::size_t kBlockBytes = 5 * 1024 * 1024;

// Joins by appending: g++ 12 warns falsely (-Wrestrict) on "literal" + string.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

std::string BoardName(int i) {
  // 40 bus ports of 250 boards: names share a long prefix, as in a real hall.
  return Cat("QVR_HALL3_serialbus_ttyS", std::to_string(i / 250), "_", std::to_string(i % 250 + 1));
}

struct Block {
  std::string text;
  std::int64_t statements = 0;
};

// Board values as the hall program writes them; `round` varies every text so
// that each application of the other round's block changes every value.
Block MakeBlock(int round) {
  static const char* const kKeys[] = {"clockwhite", "clockblack", "scancount", "errors", "packetrate", "sequence"};
  Block block;
  block.text.reserve(kBlockBytes + 256);
  for (std::int64_t n = 0; block.text.size() < kBlockBytes; ++n) {
    const int board = static_cast<int>(n % kBoards);
    const int key = static_cast<int>((n / kBoards) % std::size(kKeys));
    std::string value;
    switch (key) {
      case 0:
      case 1:
        value = Cat(std::to_string(round), ":", std::to_string(10 + n % 50), ".", std::to_string(10 + n % 49));
        break;
      case 5:
        value = Cat("@", std::to_string(n), ":", std::string(40, round % 2 ? 'w' : 'b'), "\r\n");
        break;
      default:
        value = Cat(std::to_string(n * 2 + round), "\r\n");
    }
    block.text += Cat(BoardName(board), ".", kKeys[key], "=", value, ";\r\n");
    ++block.statements;
  }
  return block;
}

void FillBoards(TAE_Root& tree) {
  std::string setup;
  for (int i = 0; i < kBoards; ++i) {
    const std::string name = BoardName(i);
    setup += Cat("MERK.[boards].", name, ";\r\n", name, ".busadres=", std::to_string(i % 250 + 1), ";\r\n", name,
                 ".connection->_uid;\r\n");
  }
  tree.Apply(setup);
}

struct StatementSink {
  std::size_t bytes = 0;
  void On(TAE_Event& e) { bytes += DescribeEvent(e, true).size(); }
};

void RunApply(benchmark::State& state, bool withHandler) {
  TAE_Root tree;
  FillBoards(tree);
  StatementSink sink;
  if (withHandler) {
    tree.AddHandler(&TAE_BoundMethod<StatementSink, &StatementSink::On>, &sink);
  }
  const Block blocks[2] = {MakeBlock(0), MakeBlock(1)};
  int round = 0;
  std::int64_t statements = 0, bytes = 0;
  for (auto _ : state) {
    const Block& block = blocks[round++ % 2];
    tree.Apply(block.text);
    statements += block.statements;
    bytes += static_cast<std::int64_t>(block.text.size());
  }
  benchmark::DoNotOptimize(sink.bytes);
  state.SetItemsProcessed(statements);  // items: statements
  state.SetBytesProcessed(bytes);
}

void BM_ApplyValueBlock(benchmark::State& state) { RunApply(state, false); }
void BM_ApplyValueBlockDescribingEvents(benchmark::State& state) { RunApply(state, true); }

void BM_WriteStatements(benchmark::State& state) {
  TAE_Root tree;
  FillBoards(tree);
  tree.Apply(MakeBlock(0).text);
  std::int64_t statements = 0, bytes = 0;
  for (auto _ : state) {
    const std::string text = tree.WriteStatements(true);
    benchmark::DoNotOptimize(text.data());
    bytes += static_cast<std::int64_t>(text.size());
    // One statement per line end of a terminator.
    for (std::size_t at = text.find(";\r\n"); at != std::string::npos; at = text.find(";\r\n", at + 3)) {
      ++statements;
    }
  }
  state.SetItemsProcessed(statements);  // items: statements
  state.SetBytesProcessed(bytes);
}

BENCHMARK(BM_ApplyValueBlock)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ApplyValueBlockDescribingEvents)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteStatements)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
