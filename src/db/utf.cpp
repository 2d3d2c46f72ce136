#include "db/utf.h"

#include "db/database_error.h"

namespace devir::db {

std::u16string Utf8ToUtf16(std::string_view text) {
  // A byte gives at most one unit (four bytes give two): written through a pointer into room
  // for that many, then cut to what was written. Batches of a megabyte pass through here.
  std::u16string out(text.size(), u'\0');
  char16_t* at = out.data();
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      *at++ = lead;
      ++i;
      continue;
    }
    char32_t code = 0;
    std::size_t length = 0;
    if (lead < 0x80) {
      code = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F;
      length = 3;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07;
      length = 4;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms and values beyond U+10FFFF are not UTF-8. A surrogate in its three-byte
    // form is what Utf16ToUtf8 writes for an unpaired one, and goes back as that code unit.
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid) valid = code >= kMinimum[length] && code <= 0x10FFFF;
    if (!valid) {
      throw DatabaseError("The text is not valid UTF-8 (byte " + std::to_string(i + 1) + ").");
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      *at++ = static_cast<char16_t>(0xD800 + (code >> 10));
      *at++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      *at++ = static_cast<char16_t>(code);
    }
    i += length;
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf16AsUtf8(out, text);
  return out;
}

void AppendUtf16AsUtf8(std::string& out, std::u16string_view text) {
  // Written through a pointer into room for the longest result (three bytes a unit), then
  // cut to what was written: no size check per byte.
  const std::size_t start = out.size();
  out.resize(start + text.size() * 3);
  char* at = out.data() + start;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code < 0x80) {
      *at++ = static_cast<char>(code);
      continue;
    }
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    // An unpaired surrogate (nvarchar holds any UTF-16 code unit) keeps its value in the
    // three-byte form below, so that a value copied through this text comes out unchanged.
    if (code < 0x800) {
      *at++ = static_cast<char>(0xC0 | (code >> 6));
      *at++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *at++ = static_cast<char>(0xE0 | (code >> 12));
      *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *at++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {  // four bytes from two units
      *at++ = static_cast<char>(0xF0 | (code >> 18));
      *at++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *at++ = static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace devir::db
