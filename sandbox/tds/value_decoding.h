#pragma once

#include <cstdint>

#include "sandbox/engine/sql_types.h"
#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// A typed value as a client sends it: the type it declares and the value in the stored form
/// of that type (sql_types.h).
struct TypedValue {
  ColumnType type;
  Value value;
};

/// Reads a TYPE_INFO and the value after it, as RPC parameters carry them (TDS 7.1 to 7.4:
/// fixed-length and nullable numbers, dates and times, (n)(var)char with collation, binary,
/// text/ntext/image, xml, and the (max) forms as PLP). Throws ProtocolError for bytes that
/// end early or do not fit the type, ValueError for types this server does not take
/// (sql_variant, UDT, table-valued).
TypedValue ReadTypedValue(WireReader& r);

/// The date of a number of days since 0001-01-01, as "yyyy-mm-dd".
std::string DateFromDays(std::int64_t days);

}  // namespace sandbox::tds
