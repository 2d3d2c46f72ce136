#include "sandbox/tds/messages.h"

#include <gtest/gtest.h>

#include "sandbox/tds/text_encoding.h"

namespace sandbox::tds {
namespace {

// A LOGIN7 payload as FreeTDS builds it: 94-byte fixed part, then the UTF-16LE fields.
struct Login7Fields {
  std::uint32_t tds_version = kTds74;
  std::uint32_t packet_size = 4096;
  std::string host = "worker";
  std::string user = "sa";
  std::string password = "qolvanet";
  std::string app = "TSQL";
  std::string server;
  std::string database;
};

Bytes BuildLogin7(const Login7Fields& f) {
  Bytes out(94, 0);
  auto put32 = [&out](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  auto field = [&out](std::size_t at, const Bytes& utf16) {
    const std::size_t offset = out.size();
    out[at] = static_cast<std::uint8_t>(offset);
    out[at + 1] = static_cast<std::uint8_t>(offset >> 8);
    out[at + 2] = static_cast<std::uint8_t>(utf16.size() / 2);
    out[at + 3] = static_cast<std::uint8_t>((utf16.size() / 2) >> 8);
    out.insert(out.end(), utf16.begin(), utf16.end());
  };
  put32(4, f.tds_version);
  put32(8, f.packet_size);
  field(36, Utf8ToUtf16Le(f.host));
  field(40, Utf8ToUtf16Le(f.user));
  field(44, ScramblePassword(f.password));
  field(48, Utf8ToUtf16Le(f.app));
  field(52, Utf8ToUtf16Le(f.server));
  field(60, Utf8ToUtf16Le("DB-Library"));
  field(64, Utf8ToUtf16Le(""));
  field(68, Utf8ToUtf16Le(f.database));
  put32(0, static_cast<std::uint32_t>(out.size()));
  return out;
}

TEST(Prelogin, ReplyRefusesEncryptionInTheLayoutFreeTdsAccepts) {
  const Bytes expected = {0x00, 0x00, 0x15, 0x00, 0x06, 0x01, 0x00, 0x1B, 0x00, 0x01,
                          0x02, 0x00, 0x1C, 0x00, 0x01, 0x04, 0x00, 0x1D, 0x00, 0x01,
                          0xFF, 0x10, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x02, 0x00, 0x00};
  EXPECT_EQ(PreloginReply(), expected);
}

TEST(Prelogin, ReadsEncryptionAndInstanceOfAClientRequest) {
  // VERSION, ENCRYPTION, INSTOPT "SQLEXPRESS\0", terminator.
  Bytes request = {0x00, 0x00, 0x10, 0x00, 0x06, 0x01, 0x00, 0x16, 0x00, 0x01, 0x02, 0x00,
                   0x17, 0x00, 0x0B, 0xFF, 9,    0,    0,    0,    0,    0,    0x00};
  for (char c : std::string("SQLEXPRESS")) request.push_back(static_cast<std::uint8_t>(c));
  request.push_back(0);
  const PreloginRequest parsed = ParsePrelogin(request);
  EXPECT_EQ(parsed.encryption, 0);
  EXPECT_EQ(parsed.instance, "SQLEXPRESS");
}

TEST(Prelogin, RejectsAnOptionOutsideTheMessage) {
  const Bytes request = {0x01, 0x00, 0x40, 0x00, 0x01, 0xFF};
  EXPECT_THROW(ParsePrelogin(request), ProtocolError);
}

TEST(Login7, ReadsTheFieldsAndDecodesThePassword) {
  Login7Fields f;
  f.user = "muhasebe";
  f.password = "Şifre-1ğ";
  f.database = "E2017";
  f.packet_size = 8192;
  const LoginRequest parsed = ParseLogin7(BuildLogin7(f));
  EXPECT_EQ(parsed.tds_version, kTds74);
  EXPECT_EQ(parsed.packet_size, 8192u);
  EXPECT_EQ(parsed.user, "muhasebe");
  EXPECT_EQ(parsed.password, "Şifre-1ğ");
  EXPECT_EQ(parsed.database, "E2017");
  EXPECT_EQ(parsed.app_name, "TSQL");
  EXPECT_EQ(parsed.library, "DB-Library");
}

TEST(Login7, AcceptsAnEmbeddedNulInTheServerName) {
  Login7Fields f;
  f.server = std::string("127.0.0.1\0SQLEXPRESS", 20);
  const LoginRequest parsed = ParseLogin7(BuildLogin7(f));
  EXPECT_EQ(parsed.server_name, f.server);
  EXPECT_EQ(parsed.user, "sa");
}

TEST(Login7, ScrambledPasswordMatchesTheWireExample) {
  // "a" is 0x61 0x00: nibbles swapped 0x16 ^ 0xA5 = 0xB3, 0x00 ^ 0xA5 = 0xA5.
  EXPECT_EQ(ScramblePassword("a"), (Bytes{0xB3, 0xA5}));
}

TEST(Login7, RejectsAFieldOffsetOutsideThePacket) {
  Bytes login = BuildLogin7({});
  login[40] = 0xF0;  // user name offset far past the end
  login[41] = 0x7F;
  EXPECT_THROW(ParseLogin7(login), ProtocolError);
}

TEST(Login7, RejectsATruncatedFixedPart) {
  Bytes login = BuildLogin7({});
  login.resize(60);
  EXPECT_THROW(ParseLogin7(login), ProtocolError);
}

Bytes AllHeaders() {
  return {0x16, 0, 0, 0, 0x12, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0};
}

TEST(SqlBatch, SkipsAllHeadersAndDecodesUtf16) {
  Bytes payload = AllHeaders();
  const Bytes text = Utf8ToUtf16Le("SELECT N'çğış' -- 𝄞");
  payload.insert(payload.end(), text.begin(), text.end());
  EXPECT_EQ(ParseSqlBatch(payload, kTds74), "SELECT N'çğış' -- 𝄞");
}

TEST(SqlBatch, RejectsBadHeadersAndOddText) {
  Bytes short_headers = {0x40, 0, 0, 0, 'S', 0};
  EXPECT_THROW(ParseSqlBatch(short_headers, kTds74), ProtocolError);
  Bytes odd = AllHeaders();
  odd.push_back('S');
  EXPECT_THROW(ParseSqlBatch(odd, kTds74), ProtocolError);
}

TEST(TransactionRequest, ReadsBeginCommitAndTheContinueFlag) {
  auto request = [](Bytes body) {
    Bytes payload = AllHeaders();
    payload.insert(payload.end(), body.begin(), body.end());
    return ParseTransactionRequest(payload, kTds74);
  };
  EXPECT_EQ(request({0x05, 0x00, 0x00, 0x00}).kind, 5);
  const auto commit = request({0x07, 0x00, 0x00, 0x00});
  EXPECT_EQ(commit.kind, 7);
  EXPECT_FALSE(commit.begin_after);
  const auto rollback_and_begin = request({0x08, 0x00, 0x00, 0x01, 0x00, 0x00});
  EXPECT_EQ(rollback_and_begin.kind, 8);
  EXPECT_TRUE(rollback_and_begin.begin_after);
}

TEST(Rpc, NamesWellKnownAndNamedProcedures) {
  Bytes by_id = AllHeaders();
  by_id.insert(by_id.end(), {0xFF, 0xFF, 0x0A, 0x00, 0x00, 0x00});
  EXPECT_EQ(RpcProcedureName(by_id, kTds74), "sp_executesql");
  Bytes by_name = AllHeaders();
  by_name.insert(by_name.end(), {0x02, 0x00, 'p', 0, '1', 0});
  EXPECT_EQ(RpcProcedureName(by_name, kTds74), "p1");
}

}  // namespace
}  // namespace sandbox::tds
