#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/sample/cell.h"

namespace sandbox::sample {

/// A table as the sample fills it: its name and the columns an INSERT names, in table order
/// (identity and timestamp columns, which the server fills, left out).
struct TableLayout {
  std::string name;
  std::vector<std::string> columns;

  /// Position of column in columns. Throws std::out_of_range for an unknown name.
  std::size_t IndexOf(std::string_view column) const;
};

/// One row: a cell per column of its layout, in the layout's order.
using SampleRow = std::vector<Cell>;

/// Builds a row by column name; columns not set stay NULL.
class RowBuilder {
 public:
  explicit RowBuilder(const TableLayout& layout);

  /// Sets column to value. Throws std::out_of_range for a column the layout lacks.
  RowBuilder& Set(std::string_view column, Cell value);
  /// The finished row; the builder is then empty.
  SampleRow Take();

 private:
  const TableLayout* layout_;
  SampleRow row_;
};

/// The cell of column in a row of layout. Throws std::out_of_range for an unknown column.
const Cell& CellOf(const TableLayout& layout, const SampleRow& row, std::string_view column);

}  // namespace sandbox::sample
