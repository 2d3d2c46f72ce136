#pragma once

#include <string>
#include <string_view>

namespace sandbox {

/// Compares two UTF-8 texts as the Turkish_CI_AS collation does for equality and order:
/// case-insensitive with Turkish casing (i/İ and ı/I are pairs), trailing blanks ignored.
/// Returns <0, 0 or >0.
int CompareTurkishCi(std::string_view a, std::string_view b);

/// Bytes whose order (memcmp, shorter first) is CompareTurkishCi's: equal exactly when the
/// texts compare equal. For keying and ordering texts without calling the comparison.
std::string TurkishSortKey(std::string_view text);

/// Upper / lower case with Turkish rules (i -> İ, ı -> I).
std::string TurkishUpper(std::string_view utf8);
std::string TurkishLower(std::string_view utf8);

/// Number of characters (code points) of UTF-8 text.
size_t Utf8Length(std::string_view utf8);

}  // namespace sandbox
