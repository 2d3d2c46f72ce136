#pragma once

#include <cstdint>
#include <random>

namespace sandbox::sample {

// The standard distributions are free to differ between standard libraries; these do not,
// so a seed gives the same sample everywhere (std::mt19937_64 itself is fully specified).

/// A uniformly drawn integer in [low, high]; low must not exceed high.
std::int64_t UniformInt(std::mt19937_64& rng, std::int64_t low, std::int64_t high);

/// True with the probability numerator / denominator.
bool Chance(std::mt19937_64& rng, std::uint64_t numerator, std::uint64_t denominator);

/// A well-mixed 64-bit value derived from value (SplitMix64's finaliser): per-item traits
/// and per-table seeds without a shared generator.
std::uint64_t Mix(std::uint64_t value);

}  // namespace sandbox::sample
