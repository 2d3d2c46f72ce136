#pragma once

// How the proof shows a value: short enough for a line, exact enough to see the difference.

#include <string>

#include "db/field.h"

namespace devir::check {

/// NULL; text in quotes (cut after 60 characters); floats with every digit that tells them
/// apart; date-times to the nanosecond; binary in hex (cut after 32 bytes).
std::string ValueText(const db::FieldValue& value);

/// The order the proof streams keys in, and the server's binary collation gives: by code
/// point (bytewise over UTF-8).
inline int CompareKeys(const std::string& a, const std::string& b) {
  return a.compare(b);
}

/// ORDER BY text that sorts a column as CompareKeys does.
inline std::string ByCodePoint(const std::string& column) {
  return column + " COLLATE Latin1_General_BIN2";
}

}  // namespace devir::check
