#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "sandbox/sample/table_layout.h"

namespace sandbox::sample {

/// The rows of one sample table in insertion order: its fixed rows, then the generated ones,
/// made a chunk at a time so that a large sample never sits in memory whole.
class TableSource {
 public:
  /// Makes generated row number index (0-based); rows are made in order with one generator.
  using RowMaker = std::function<SampleRow(std::size_t index, std::mt19937_64& rng)>;

  TableSource(const TableLayout& layout, std::vector<SampleRow> fixed_rows,
              std::size_t generated_rows, std::uint64_t seed, RowMaker make_row);

  const TableLayout& Layout() const { return *layout_; }
  /// Fixed plus generated rows.
  std::size_t TotalRows() const { return fixed_rows_.size() + generated_rows_; }

  /// Replaces out's contents with the next rows, at most max_rows of them; returns false
  /// (and leaves out empty) once every row was handed out.
  bool Next(std::vector<SampleRow>& out, std::size_t max_rows);

 private:
  const TableLayout* layout_;
  std::vector<SampleRow> fixed_rows_;
  std::size_t generated_rows_;
  std::mt19937_64 rng_;
  RowMaker make_row_;
  std::size_t position_ = 0;
};

}  // namespace sandbox::sample
