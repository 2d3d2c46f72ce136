#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

#include "script/system_code_page.h"

namespace devir::script {

namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

// The character set of the locale the user's environment names, read without changing the
// program's own locale.
std::string LocaleCharset() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    // The environment names a locale that is not installed: the C library uses "C" then.
    locale = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }
  if (locale == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";
  std::string name = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return name;
}

// Compared by ASCII, not by the locale's case rules (a Turkish locale lowers 'I' to 'ı').
std::string AsciiUpper(const std::string& name) {
  std::string upper;
  for (char c : name) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper;
}

bool IsUtf8(const std::string& name) {
  const std::string upper = AsciiUpper(name);
  return upper == "UTF-8" || upper == "UTF8";
}

// The names the C library gives the character set of the C and POSIX locales.
bool IsPlainAscii(const std::string& name) {
  const std::string upper = AsciiUpper(name);
  return upper == "ANSI_X3.4-1968" || upper == "ASCII" || upper == "US-ASCII" || upper == "646";
}

// A locale of plain ASCII would turn every Turkish letter into '?': UTF-8 keeps them.
std::string TraceCharset() {
  const std::string locale = LocaleCharset();
  return IsPlainAscii(locale) ? std::string("UTF-8") : locale;
}

// Bytes of the UTF-8 character (or broken sequence) that starts at text[0]; at least 1.
std::size_t CharacterLength(const char* text, std::size_t available) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t length = 1;
  while (length < expected && length < available &&
         (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length;
}

}  // namespace

struct SystemCodePage::Converter {
  iconv_t handle = kNoConversion;  // none for UTF-8, which needs no conversion
  ~Converter() {
    if (handle != kNoConversion) iconv_close(handle);
  }
};

SystemCodePage::SystemCodePage() : SystemCodePage(TraceCharset()) {}

SystemCodePage::SystemCodePage(int windows_code_page)
    : SystemCodePage("CP" + std::to_string(windows_code_page)) {}

SystemCodePage::SystemCodePage(const std::string& charset)
    : name_(charset), converter_(std::make_unique<Converter>()) {
  if (IsUtf8(charset)) return;
  converter_->handle = iconv_open(charset.c_str(), "UTF-8");
  if (converter_->handle == kNoConversion) {
    const int error = errno;
    throw std::runtime_error("Character set " + charset + ": " +
                             std::generic_category().message(error));
  }
}

SystemCodePage::~SystemCodePage() = default;

std::string SystemCodePage::FromUtf8(std::string_view utf8) {
  if (converter_->handle == kNoConversion) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  char buffer[4096];
  char* in = const_cast<char*>(utf8.data());  // iconv does not write through it
  std::size_t in_left = utf8.size();
  while (in_left > 0) {
    char* out_pos = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t result = iconv(converter_->handle, &in, &in_left, &out_pos, &out_left);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(out_pos - buffer));
    if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    // A character the set lacks, or broken UTF-8: the code page's default character.
    out += '?';
    ++replaced_;
    const std::size_t skip = CharacterLength(in, in_left);
    in += skip;
    in_left -= skip;
  }
  char* out_pos = buffer;
  std::size_t out_left = sizeof buffer;
  iconv(converter_->handle, nullptr, nullptr, &out_pos, &out_left);  // ends a shift state
  out.append(buffer, static_cast<std::size_t>(out_pos - buffer));
  return out;
}

}  // namespace devir::script
