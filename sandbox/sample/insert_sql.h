#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "sandbox/sample/table_layout.h"

namespace sandbox::sample {

/// SQL Server accepts at most this many row value expressions in one INSERT ... VALUES.
inline constexpr std::size_t kMaxRowsPerInsert = 1000;

/// "INSERT INTO table(c1,c2) VALUES (v1,v2),(v1,v2)" for 1 to kMaxRowsPerInsert rows.
/// Throws std::invalid_argument for no rows, too many rows, or a row whose width is not the
/// layout's.
std::string InsertStatement(const TableLayout& table, std::span<const SampleRow> rows);

}  // namespace sandbox::sample
