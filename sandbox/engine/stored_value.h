#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// SQLite's storage classes, as sqlite3_column_type gives them.
enum class Storage { kInteger = 1, kFloat = 2, kText = 3, kBlob = 4, kNull = 5 };

namespace stored_value_detail {

std::string FormatDecimal(double value, int scale);
std::string Rescale(const std::string& text, int scale);

}  // namespace stored_value_detail

/// A value as SQLite stores it, in the stored form of a result column's type (what a client
/// is sent). Source gives Type() (a Storage), Int(), Double(), Text() (the value as text;
/// only asked for text and for numbers stored as text) and Bytes() (blobs).
template <typename Source>
Value StoredValue(const Source& source, const ColumnType& type) {
  using stored_value_detail::FormatDecimal;
  using stored_value_detail::Rescale;
  const Storage storage = source.Type();
  if (storage == Storage::kNull) return std::monostate{};
  const SqlType t = type.type;
  if (IsIntegerType(t)) {
    if (storage == Storage::kFloat) return static_cast<std::int64_t>(std::trunc(source.Double()));
    if (storage == Storage::kText) {
      return static_cast<std::int64_t>(
          std::strtoll(std::string(source.Text()).c_str(), nullptr, 10));
    }
    std::int64_t v = source.Int();
    return t == SqlType::Bit ? std::int64_t{v != 0} : v;
  }
  if (t == SqlType::Real || t == SqlType::Float) {
    if (storage == Storage::kText) return std::strtod(std::string(source.Text()).c_str(), nullptr);
    return source.Double();
  }
  if (IsExactNumericType(t)) {
    int scale = t == SqlType::Money || t == SqlType::SmallMoney ? 4 : type.scale;
    if (storage == Storage::kInteger) return Rescale(std::to_string(source.Int()), scale);
    if (storage == Storage::kFloat) return FormatDecimal(source.Double(), scale);
    return Rescale(std::string(source.Text()), scale);
  }
  if (IsBinaryType(t)) return Blob{std::string(source.Bytes())};
  return std::string(source.Text());
}

}  // namespace sandbox
