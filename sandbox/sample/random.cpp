#include "sandbox/sample/random.h"

#include <stdexcept>

namespace sandbox::sample {

std::int64_t UniformInt(std::mt19937_64& rng, std::int64_t low, std::int64_t high) {
  if (low > high) throw std::invalid_argument("UniformInt: empty range");
  const std::uint64_t span = static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low);
  if (span == UINT64_MAX) return static_cast<std::int64_t>(rng());
  const std::uint64_t range = span + 1;
  // Rejecting the lowest (2^64 mod range) values leaves a multiple of range: no bias.
  const std::uint64_t threshold = (0 - range) % range;
  std::uint64_t draw = rng();
  while (draw < threshold) draw = rng();
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(low) + draw % range);
}

bool Chance(std::mt19937_64& rng, std::uint64_t numerator, std::uint64_t denominator) {
  return static_cast<std::uint64_t>(
             UniformInt(rng, 0, static_cast<std::int64_t>(denominator) - 1)) < numerator;
}

std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ULL;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
  return value ^ (value >> 31);
}

}  // namespace sandbox::sample
