#include "library/random.h"

#include <boost/random/uniform_real_distribution.hpp>
#include <ctime>

namespace dam {

std::uint32_t random_seed(std::int64_t seconds) {
  constexpr std::int64_t modulus = 2147483647;
  std::int64_t seed = seconds % modulus;
  if (seed < 0) seed += modulus;
  return seed == 0 ? 1u : static_cast<std::uint32_t>(seed);
}

namespace {

// Built at load time, before any caller can draw from it.
boost::random::minstd_rand shared_generator(random_seed(static_cast<std::int64_t>(std::time(nullptr))));

}  // namespace

boost::random::minstd_rand& random_generator() { return shared_generator; }

double random_unit() {
  boost::random::uniform_real_distribution<double> unit(0.0, 1.0);
  return unit(shared_generator);
}

}  // namespace dam
