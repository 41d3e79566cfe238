#pragma once

#include <boost/random/linear_congruential.hpp>
#include <cstdint>
#include <vector>

namespace dam {

// The library's one random generator (minimal standard, multiplier 48271),
// seeded from the clock when the library is loaded.
boost::random::minstd_rand& random_generator();

// The seed for a time in seconds: modulo 2^31 - 1, with 0 replaced by 1.
std::uint32_t random_seed(std::int64_t seconds);

// A uniform draw from [0, 1) of the shared generator.
double random_unit();

// A table of random numbers spread over the whole range of T, from the shared generator.
template <typename T>
class random_numbers {
 public:
  explicit random_numbers(std::size_t count) : values_(count) {
    const double range = static_cast<double>(static_cast<std::uint64_t>(T(~T(0))) + 1);
    for (auto& v : values_) v = static_cast<T>(random_unit() * range);
  }
  T operator[](std::size_t i) const { return values_[i]; }
  std::size_t size() const { return values_.size(); }

 private:
  std::vector<T> values_;
};

}  // namespace dam
