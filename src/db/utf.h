#pragma once

#include <string>
#include <string_view>

namespace devir::db {

/// UTF-8 to UTF-16. A surrogate in three-byte form becomes that code unit (the form
/// Utf16ToUtf8 gives an unpaired one). Throws DatabaseError on bytes that are not UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);

/// UTF-16 to UTF-8; an unpaired surrogate is kept in the three-byte form, so that
/// Utf8ToUtf16 gives it back unchanged.
std::string Utf16ToUtf8(std::u16string_view text);

/// The same UTF-8 appended to out.
void AppendUtf16AsUtf8(std::string& out, std::u16string_view text);

}  // namespace devir::db
