// The bitboard perft once more, compiled for processors with a popcount
// instruction, which counting at the last ply uses heavily. The build stays
// portable: the caller picks this copy only where the processor has it.
#include "library/perft_popcount.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <vector>

#include "library/move.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__POPCNT__)
#define RUMO_POPCOUNT_VARIANT 1
#pragma GCC push_options
#pragma GCC target("popcnt")
#define RUMO_ISA_NAMESPACE with_popcount
#define RUMO_WITH_POPCOUNT 1
#include "library/perft_walk.h"

namespace dam {

std::uint64_t perft_with_popcount(const bitboard& p, int depth) {
  std::vector<bitboard_move_generator> generators(static_cast<std::size_t>(depth) + 1);
  return perft_walk(generators.data(), p, depth);
}

}  // namespace dam
#pragma GCC pop_options
#endif

namespace dam {

#if defined(RUMO_POPCOUNT_VARIANT)
bool popcount_instruction_available() {
  static const bool available = __builtin_cpu_supports("popcnt");
  return available;
}
#else
bool popcount_instruction_available() { return false; }
std::uint64_t perft_with_popcount(const bitboard&, int) { return 0; }
#endif

}  // namespace dam
