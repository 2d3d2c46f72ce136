#pragma once

#include <array>
#include <cstddef>

#include "sandbox/sample/seed.h"

namespace sandbox::sample {

/// How many generated rows each table of the sample gets on top of its fixed edge-case rows.
struct SampleCounts {
  std::size_t depots = 0;                    ///< beyond depots 01 to 05
  std::size_t stock_cards = 0;               ///< beyond the edge-case cards
  std::size_t movements = 0;                 ///< beyond the edge-case movements
  std::size_t account_codes = 0;             ///< beyond the fixed chart of accounts
  std::array<std::size_t, 5> level_codes{};  ///< beyond the fixed codes of DUZEYKODU1..5
};

/// The counts for options.sample ("small" or "large") times options.scale. Throws
/// std::runtime_error for another sample name or a scale that is not a positive number.
SampleCounts CountsFor(const SeedOptions& options);

}  // namespace sandbox::sample
