#pragma once

// UTF-8 reading and writing for the whole stand-in (engine and TDS side).

#include <cstddef>
#include <string>
#include <string_view>

namespace sandbox {

/// The code point starting at text[i]; moves i past it. An invalid sequence (bad lead or
/// continuation byte, cut off, overlong, surrogate, past U+10FFFF) gives U+FFFD and moves one
/// byte. i must be < text.size().
char32_t NextUtf8(std::string_view text, std::size_t& i);
/// As NextUtf8, but a byte that does not start a complete lead-plus-continuation sequence is
/// taken alone as Latin-1 (its own value), and overlong forms, surrogates and values past
/// U+10FFFF are not checked. For case folding and comparing, where bad bytes stay distinct.
char32_t NextUtf8OrLatin1(std::string_view text, std::size_t& i);

/// How many UTF-16 code units the text takes (a character beyond U+FFFF takes two), as
/// LEN and nvarchar lengths count it; read as NextUtf8OrLatin1 reads it.
std::size_t Utf16Length(std::string_view utf8);

/// All code points of UTF-8 text, as NextUtf8 reads them (invalid sequences give U+FFFD).
std::u32string DecodeUtf8(std::string_view utf8);
/// UTF-8 of the code points (no check that they are characters).
std::string EncodeUtf8(std::u32string_view text);
/// Appends the UTF-8 of one code point.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace sandbox
