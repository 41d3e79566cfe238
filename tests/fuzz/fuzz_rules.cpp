// Any text as a FEN or a board text: reading never fails badly, and both move
// generators agree on the position's moves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/fen.h"
#include "library/perft.h"
#include "library/position.h"

namespace {

using Key = std::tuple<int, int, std::vector<int>>;

void check_generators_agree(const dam::Position& p) {
  std::vector<Key> from_array;
  for (const auto& m : dam::distinct_moves(p.generate_moves()))
    from_array.emplace_back(m.from, m.to, dam::captured_squares(m));
  const dam::bitboard b = dam::to_bitboard(p);
  std::vector<Key> from_bits;
  for (const std::uint64_t mask : dam::bitboard_moves(b)) {
    const auto m = dam::convert_bitboard_moves(b, {mask}).at(0);
    from_bits.emplace_back(m.from, m.to, dam::captured_squares(m));
  }
  std::sort(from_array.begin(), from_array.end());
  std::sort(from_bits.begin(), from_bits.end());
  dam::bitboard_move_generator counter;
  if (from_array != from_bits || counter.count_moves(b) != from_bits.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const dam::Position p = dam::read_fen(text);
    if (dam::read_fen(dam::write_fen(p)) != p) std::abort();
    check_generators_agree(p);
  } catch (const std::invalid_argument&) {
  }
  const dam::Position board = dam::string2position(text);
  if (dam::to_position(dam::string2bitboard(dam::board_printer::print(board))) != board) std::abort();
  check_generators_agree(board);
  return 0;
}
