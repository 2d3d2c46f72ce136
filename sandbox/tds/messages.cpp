#include "sandbox/tds/messages.h"

#include <array>

#include "sandbox/tds/text_encoding.h"

namespace sandbox::tds {
namespace {

constexpr std::uint8_t kOptionVersion = 0x00;
constexpr std::uint8_t kOptionEncryption = 0x01;
constexpr std::uint8_t kOptionInstance = 0x02;
constexpr std::uint8_t kOptionMars = 0x04;
constexpr std::uint8_t kOptionTerminator = 0xFF;
constexpr std::uint8_t kEncryptNotSupported = 0x02;
constexpr std::size_t kLogin7FixedSize = 86;  // up to AtchDBFile; 7.2 adds 8 bytes we skip

std::uint8_t UnscrambleByte(std::uint8_t b) {
  b ^= 0xA5;
  return static_cast<std::uint8_t>((b << 4) | (b >> 4));
}

}  // namespace

void SkipAllHeaders(WireReader& r, std::uint32_t tds_version) {
  if (tds_version < kTds72) return;
  const std::uint32_t total = r.U32();
  if (total < 4) throw ProtocolError("ALL_HEADERS length " + std::to_string(total));
  std::uint32_t seen = 4;
  while (seen < total) {
    const std::uint32_t length = r.U32();
    if (length < 6 || length > total - seen) {
      throw ProtocolError("ALL_HEADERS header length " + std::to_string(length));
    }
    r.Skip(length - 4);
    seen += length;
  }
}

PreloginRequest ParsePrelogin(std::span<const std::uint8_t> payload) {
  PreloginRequest out;
  WireReader r(payload);
  while (true) {
    const std::uint8_t token = r.U8();
    if (token == kOptionTerminator) break;
    const std::size_t offset = r.U16Be();
    const std::size_t length = r.U16Be();
    if (offset > payload.size() || length > payload.size() - offset) {
      throw ProtocolError("PRELOGIN option outside the message");
    }
    const auto data = payload.subspan(offset, length);
    if (token == kOptionEncryption && length >= 1) out.encryption = data[0];
    if (token == kOptionInstance) {
      for (std::uint8_t c : data) {
        if (c == 0) break;
        out.instance += static_cast<char>(c);
      }
    }
  }
  return out;
}

Bytes PreloginReply() {
  // Options VERSION, ENCRYPTION, INSTOPT, MARS; data starts after 4 * 5 + 1 bytes.
  const std::array<std::uint8_t, 6> version = {16, 0, 0x03, 0xE8, 0, 0};
  Bytes out;
  WireWriter w(out);
  std::uint16_t offset = 21;
  auto option = [&](std::uint8_t token, std::uint16_t length) {
    w.U8(token);
    w.U16Be(offset);
    w.U16Be(length);
    offset = static_cast<std::uint16_t>(offset + length);
  };
  option(kOptionVersion, 6);
  option(kOptionEncryption, 1);
  option(kOptionInstance, 1);
  option(kOptionMars, 1);
  w.U8(kOptionTerminator);
  w.Raw(version);
  w.U8(kEncryptNotSupported);
  w.U8(0);  // instance name accepted
  w.U8(0);  // MARS off
  return out;
}

LoginRequest ParseLogin7(std::span<const std::uint8_t> payload) {
  if (payload.size() < kLogin7FixedSize) throw ProtocolError("LOGIN7 shorter than its fixed part");
  WireReader r(payload);
  LoginRequest out;
  const std::uint32_t length = r.U32();
  if (length > payload.size()) throw ProtocolError("LOGIN7 length beyond the message");
  out.tds_version = r.U32();
  out.packet_size = r.U32();
  auto text = [&payload](std::size_t field_offset) {
    WireReader f(payload.subspan(field_offset, 4));
    const std::size_t offset = f.U16();
    const std::size_t chars = f.U16();
    if (offset > payload.size() || chars * 2 > payload.size() - offset) {
      throw ProtocolError("LOGIN7 field outside the message");
    }
    return payload.subspan(offset, chars * 2);
  };
  out.host_name = Utf16LeToUtf8(text(36));
  out.user = Utf16LeToUtf8(text(40));
  Bytes password;
  for (std::uint8_t b : text(44)) password.push_back(UnscrambleByte(b));
  out.password = Utf16LeToUtf8(password);
  out.app_name = Utf16LeToUtf8(text(48));
  out.server_name = Utf16LeToUtf8(text(52));
  // 56 is the FeatureExt pointer (a byte count, not characters): ignored.
  out.library = Utf16LeToUtf8(text(60));
  out.language = Utf16LeToUtf8(text(64));
  out.database = Utf16LeToUtf8(text(68));
  return out;
}

Bytes ScramblePassword(const std::string& utf8) {
  Bytes out = Utf8ToUtf16Le(utf8);
  for (auto& b : out) b = static_cast<std::uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
  return out;
}

std::string ParseSqlBatch(std::span<const std::uint8_t> payload, std::uint32_t tds_version) {
  WireReader r(payload);
  SkipAllHeaders(r, tds_version);
  if (r.Remaining() % 2 != 0) throw ProtocolError("SQL batch text has an odd byte count");
  return Utf16LeToUtf8(r.Rest());
}

TransactionRequest ParseTransactionRequest(std::span<const std::uint8_t> payload,
                                           std::uint32_t tds_version) {
  using Kind = TransactionRequest::Kind;
  WireReader r(payload);
  SkipAllHeaders(r, tds_version);
  TransactionRequest out;
  out.kind = r.U16();
  // A name is a byte count and that many bytes of UTF-16LE.
  auto name = [&r]() {
    const std::uint8_t bytes = r.U8();
    if (bytes % 2 != 0) throw ProtocolError("transaction name of an odd byte count");
    return Utf16LeToUtf8(r.Take(bytes));
  };
  switch (static_cast<Kind>(out.kind)) {
    case Kind::kBegin:
      r.U8();  // isolation level: the stand-in has one
      if (r.Remaining() > 0) out.name = name();
      break;
    case Kind::kCommit:
    case Kind::kRollback:
      out.name = name();
      if (r.Remaining() > 0) out.begin_after = (r.U8() & 0x01) != 0;
      if (out.begin_after && r.Remaining() > 0) {
        r.U8();  // the new transaction's isolation level
        if (r.Remaining() > 0) out.new_name = name();
      }
      break;
    case Kind::kSave:
      out.name = name();
      break;
  }
  return out;
}

std::string WellKnownProcedure(std::uint16_t id) {
  static const std::array<const char*, 16> kWellKnown = {"",
                                                         "sp_cursor",
                                                         "sp_cursoropen",
                                                         "sp_cursorprepare",
                                                         "sp_cursorexecute",
                                                         "sp_cursorprepexec",
                                                         "sp_cursorunprepare",
                                                         "sp_cursorfetch",
                                                         "sp_cursoroption",
                                                         "sp_cursorclose",
                                                         "sp_executesql",
                                                         "sp_prepare",
                                                         "sp_execute",
                                                         "sp_prepexec",
                                                         "sp_prepexecrpc",
                                                         "sp_unprepare"};
  return id > 0 && id < kWellKnown.size() ? kWellKnown[id] : "procedure " + std::to_string(id);
}

std::string RpcProcedureName(std::span<const std::uint8_t> payload, std::uint32_t tds_version) {
  try {
    WireReader r(payload);
    SkipAllHeaders(r, tds_version);
    const std::uint16_t length = r.U16();
    if (length == 0xFFFF) return WellKnownProcedure(r.U16());
    return Utf16LeToUtf8(r.Take(length * 2u));
  } catch (const ProtocolError&) {
    return {};
  }
}

}  // namespace sandbox::tds
