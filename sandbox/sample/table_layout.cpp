#include "sandbox/sample/table_layout.h"

#include <stdexcept>

namespace sandbox::sample {

std::size_t TableLayout::IndexOf(std::string_view column) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i] == column) return i;
  }
  throw std::out_of_range("table " + name + " has no column " + std::string(column));
}

RowBuilder::RowBuilder(const TableLayout& layout) : layout_(&layout), row_(layout.columns.size()) {}

RowBuilder& RowBuilder::Set(std::string_view column, Cell value) {
  row_[layout_->IndexOf(column)] = std::move(value);
  return *this;
}

SampleRow RowBuilder::Take() {
  SampleRow row = std::move(row_);
  row_.assign(layout_->columns.size(), Cell{});
  return row;
}

const Cell& CellOf(const TableLayout& layout, const SampleRow& row, std::string_view column) {
  return row.at(layout.IndexOf(column));
}

}  // namespace sandbox::sample
