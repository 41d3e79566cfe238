#include "library/simple_hash.h"

namespace dam {

const random_numbers<unsigned short>& simple_hash::table() {
  static const random_numbers<unsigned short> numbers(65536);
  return numbers;
}

std::uint32_t simple_hash::operator()(const bitboard& p) const {
  const auto& t = table();
  const std::uint64_t black_swapped = (p.black << 32) | (p.black >> 32);
  const std::uint64_t x = p.white ^ p.kings ^ black_swapped;
  const std::uint32_t low = static_cast<std::uint32_t>(x);
  const std::uint32_t high = static_cast<std::uint32_t>(x >> 32);
  const std::uint32_t a = ((low & 0xFFFF) + t[low >> 16]) & 0xFFFF;
  const std::uint32_t b = ((high >> 16) + t[a]) & 0xFFFF;
  return ((high >> 16) << 16) + (((high & 0xFFFF) + t[b]) & 0xFFFF);
}

}  // namespace dam
