#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "sandbox/sample/table_layout.h"

namespace sandbox::sample {

// The hand-written rows every sample starts with: the edge cases of sample_codes.h, the
// chart of accounts and the level codes. They do not depend on the random seed.

/// Depots 01 to 05.
std::vector<SampleRow> FixedDepots();
/// The edge-case stock cards.
std::vector<SampleRow> FixedStockCards();
/// The edge-case movements, dated through 2017.
std::vector<SampleRow> FixedMovements();
/// A small chart of accounts (HESAPKODU).
std::vector<SampleRow> FixedAccountCodes();
/// The codes of DUZEYKODUn, level 1 to 5; level 5 has none.
std::vector<SampleRow> FixedLevelCodes(int level);

/// How many fixed rows each table has.
struct FixedRowCounts {
  std::size_t depots = 0;
  std::size_t stock_cards = 0;
  std::size_t movements = 0;
  std::size_t account_codes = 0;
  std::array<std::size_t, 5> level_codes{};
};
FixedRowCounts CountFixedRows();

}  // namespace sandbox::sample
