// The stand-in's readers of client messages (PRELOGIN, LOGIN7, SQL batch, transaction
// manager request, RPC procedure name) and its text conversions on any payload: each reader
// returns or throws ProtocolError (anything else escapes and stops the run), never reads
// outside the payload, and every text it returns is valid UTF-8.
//
// Input: the payload.

#include <array>

#include "fuzz/fuzz_support.h"
#include "sandbox/tds/messages.h"
#include "sandbox/tds/text_encoding.h"

namespace {

using devir::fuzz::Escaped;
using namespace sandbox::tds;

// Well-formed UTF-8 by RFC 3629, written apart from the stand-in's own decoder.
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || text.size() - i < static_cast<std::size_t>(length)) return false;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    const char32_t least = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

void CheckText(const char* what, const std::string& text) {
  FUZZ_CHECK(IsUtf8(text), std::string(what) + ": " + Escaped(text));
}

// The versions a LOGIN7 may name: before 7.2 requests carry no ALL_HEADERS.
constexpr std::array<std::uint32_t, 4> kVersions = {0x71000001, kTds72, kTds73, kTds74};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> payload(data, size);
  const std::string raw(reinterpret_cast<const char*>(data), size);

  try {
    const PreloginRequest prelogin = ParsePrelogin(payload);
    FUZZ_CHECK(prelogin.instance.find('\0') == std::string::npos, Escaped(prelogin.instance));
  } catch (const ProtocolError&) {
  }

  try {
    const LoginRequest login = ParseLogin7(payload);
    CheckText("host", login.host_name);
    CheckText("user", login.user);
    CheckText("password", login.password);
    CheckText("application", login.app_name);
    CheckText("server", login.server_name);
    CheckText("library", login.library);
    CheckText("language", login.language);
    CheckText("database", login.database);
  } catch (const ProtocolError&) {
  }

  for (std::uint32_t version : kVersions) {
    try {
      CheckText("batch", ParseSqlBatch(payload, version));
    } catch (const ProtocolError&) {
    }
    try {
      const TransactionRequest request = ParseTransactionRequest(payload, version);
      (void)request;
    } catch (const ProtocolError&) {
    }
    CheckText("procedure", RpcProcedureName(payload, version));
  }

  // Conversions: UTF-16 read back from what they wrote; code page 1254 both ways.
  const std::string utf8 = Utf16LeToUtf8(payload);
  CheckText("UTF-16", utf8);
  const Bytes utf16 = Utf8ToUtf16Le(raw);
  FUZZ_CHECK(utf16.size() % 2 == 0, Escaped(raw));
  FUZZ_CHECK(Utf16LeToUtf8(Utf8ToUtf16Le(utf8)) == utf8, Escaped(utf8));
  const std::string from_code_page = Cp1254ToUtf8(raw);
  CheckText("code page 1254", from_code_page);
  FUZZ_CHECK(Utf8ToCp1254(from_code_page) == raw, Escaped(raw));
  return 0;
}
