#pragma once

#include <cstdint>
#include <vector>

#include "sandbox/sample/sample_counts.h"
#include "sandbox/sample/table_source.h"

namespace sandbox::sample {

/// The tables of the year database's sample, in the order they are filled: DEPO, STOK,
/// STOKHAREKET, HESAPKODU, DUZEYKODU1 to DUZEYKODU5. Each starts with its fixed rows; the
/// generated rows after them depend only on counts and seed.
std::vector<TableSource> YearSampleSources(const SampleCounts& counts, std::uint64_t seed);

/// STOKKODU of generated item number index (0-based): "STK-0000001" for 0.
std::string GeneratedItemCode(std::size_t index);

}  // namespace sandbox::sample
