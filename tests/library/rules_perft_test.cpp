// Leaf counts of the move tree against the published figures.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "library/fen.h"
#include "library/perft.h"

namespace dam {
namespace {

const char* const woldouby = "W:W25,27,28,30,32,33,34,35,37,38:B12,13,14,16,18,19,21,23,24,26";

const std::vector<std::uint64_t> initial_counts = {9, 81, 658, 4265, 27117, 167140, 1049442, 6483961, 41022423};
const std::vector<std::uint64_t> woldouby_counts = {6, 12, 30, 73, 215, 590, 1944, 6269, 22369, 88050, 377436};

TEST(Perft, ArrayGeneratorMatchesPublishedCounts) {
  const Position start = initial_position();
  for (int depth = 1; depth <= 6; ++depth) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(perft_array(start, depth), initial_counts[depth - 1]);
  }
  const Position wold = read_fen(woldouby);
  for (int depth = 1; depth <= 8; ++depth) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(perft_array(wold, depth), woldouby_counts[depth - 1]);
  }
}

}  // namespace
}  // namespace dam
