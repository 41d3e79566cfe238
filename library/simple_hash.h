#pragma once

#include <cstdint>

#include "library/bitboard.h"
#include "library/random.h"

namespace dam {

// A 32-bit hash of the pieces (not the side to move) through a table of 65 536
// random 16-bit numbers, built once per process on first use.
class simple_hash {
 public:
  std::uint32_t operator()(const bitboard& p) const;
  static const random_numbers<unsigned short>& table();
};

}  // namespace dam
