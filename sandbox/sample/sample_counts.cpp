#include "sandbox/sample/sample_counts.h"

#include <cmath>
#include <stdexcept>

#include "sandbox/sample/fixed_rows.h"

namespace sandbox::sample {
namespace {

// Generated rows needed so that the table holds about total * scale rows, never fewer than
// its fixed rows.
std::size_t Generated(double total, double scale, std::size_t fixed) {
  const long long wanted = std::llround(total * scale);
  return wanted > static_cast<long long>(fixed) ? static_cast<std::size_t>(wanted) - fixed : 0;
}

}  // namespace

SampleCounts CountsFor(const SeedOptions& options) {
  const double scale = options.scale;
  if (!std::isfinite(scale) || scale <= 0 || scale > 1000) {
    throw std::runtime_error("scale must be a number above 0 (and at most 1000)");
  }
  const FixedRowCounts fixed = CountFixedRows();
  SampleCounts counts;
  if (options.sample == "small") {
    counts.stock_cards = Generated(42, scale, fixed.stock_cards);
    counts.movements = Generated(300, scale, fixed.movements);
    // Depots, accounts and level codes are the fixed rows alone: the edge cases need exactly
    // those, and DUZEYKODU5 stays empty.
    return counts;
  }
  if (options.sample == "large") {
    counts.depots = Generated(20, scale, fixed.depots);
    counts.stock_cards = Generated(100'000, scale, fixed.stock_cards);
    counts.movements = Generated(2'000'000, scale, fixed.movements);
    counts.account_codes = Generated(10'000, scale, fixed.account_codes);
    for (int level = 1; level <= 5; ++level) {
      counts.level_codes[level - 1] = Generated(1'000, scale, fixed.level_codes[level - 1]);
    }
    return counts;
  }
  throw std::runtime_error("unknown sample \"" + options.sample +
                           "\" (expected \"small\" or \"large\")");
}

}  // namespace sandbox::sample
