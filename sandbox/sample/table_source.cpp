#include "sandbox/sample/table_source.h"

#include <algorithm>

namespace sandbox::sample {

TableSource::TableSource(const TableLayout& layout, std::vector<SampleRow> fixed_rows,
                         std::size_t generated_rows, std::uint64_t seed, RowMaker make_row)
    : layout_(&layout),
      fixed_rows_(std::move(fixed_rows)),
      generated_rows_(generated_rows),
      rng_(seed),
      make_row_(std::move(make_row)) {}

bool TableSource::Next(std::vector<SampleRow>& out, std::size_t max_rows) {
  out.clear();
  const std::size_t end = std::min(TotalRows(), position_ + max_rows);
  for (; position_ < end; ++position_) {
    if (position_ < fixed_rows_.size()) {
      out.push_back(fixed_rows_[position_]);
    } else {
      out.push_back(make_row_(position_ - fixed_rows_.size(), rng_));
    }
  }
  return !out.empty();
}

}  // namespace sandbox::sample
