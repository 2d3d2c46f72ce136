// The wire forms of RPC parameters, transaction manager names, the DONE variants, the
// fixed-length NOT NULL forms and what older clients are sent, on byte vectors.
#include <gtest/gtest.h>

#include "sandbox/tds/messages.h"
#include "sandbox/tds/packet_codec.h"
#include "sandbox/tds/rpc_request.h"
#include "sandbox/tds/text_encoding.h"
#include "sandbox/tds/tokens.h"
#include "sandbox/tds/value_decoding.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

struct DecodeCase {
  const char* name;
  Bytes bytes;  // TYPE_INFO then the value
  ColumnType type;
  Value value;
};

class ParameterValues : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ParameterValues, DecodeToTheStoredForm) {
  const DecodeCase& c = GetParam();
  WireReader r(c.bytes);
  const TypedValue decoded = ReadTypedValue(r);
  EXPECT_EQ(decoded.type, c.type);
  EXPECT_EQ(decoded.value, c.value);
  EXPECT_EQ(r.Remaining(), 0u);
}

const Bytes kTurkish = {0x1F, 0x04, 0xD0, 0x00, 0x00};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Types, ParameterValues,
    ::testing::Values(
        DecodeCase{"IntN", {0x26, 4, 4, 0xFE, 0xFF, 0xFF, 0xFF}, {SqlType::Int}, std::int64_t{-2}},
        DecodeCase{"IntNull", {0x26, 8, 0}, {SqlType::BigInt}, Value{}},
        DecodeCase{"FixedTinyInt", {0x30, 0xFF}, {SqlType::TinyInt}, std::int64_t{255}},
        DecodeCase{"Bit", {0x68, 1, 1, 1}, {SqlType::Bit}, std::int64_t{1}},
        DecodeCase{"Float", {0x6D, 8, 8, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, {SqlType::Float}, 1.5},
        DecodeCase{"Decimal",
                   {0x6A, 5, 10, 2, 5, 0, 0x96, 0, 0, 0},
                   {SqlType::Decimal, 0, 10, 2},
                   std::string("-1.50")},
        DecodeCase{"Money",
                   {0x6E, 8, 8, 0, 0, 0, 0, 0x10, 0x27, 0, 0},
                   {SqlType::Money},
                   std::string("1.0000")},
        DecodeCase{"DateTime",
                   {0x6F, 8, 8, 0x57, 0xAD, 0, 0, 0xFF, 0x81, 0x8B, 0x01},
                   {SqlType::DateTime},
                   std::string("2021-06-30 23:59:59.997")},
        DecodeCase{"Date", {0x28, 3, 0xB6, 0x3D, 0x0B}, {SqlType::Date}, std::string("2018-01-01")},
        DecodeCase{"Time3",
                   {0x29, 3, 4, 0x01, 0x00, 0x00, 0x00},
                   {SqlType::Time, 0, 0, 3},
                   std::string("00:00:00.001")},
        DecodeCase{"DateTimeOffset",
                   {0x2B, 0, 8, 0x48, 0x21, 0, 0xB6, 0x3D, 0x0B, 0xB4, 0x00},
                   {SqlType::DateTimeOffset, 0, 0, 0},
                   std::string("2018-01-01 05:22:00 +03:00")},
        DecodeCase{"Guid",
                   {0x24, 16, 16, 0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4, 0x2D, 0x00,
                    0xC0, 0x4F, 0xC9, 0x64, 0xFF},
                   {SqlType::UniqueIdentifier},
                   std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF")},
        DecodeCase{"NVarChar",
                   Join({{0xE7, 20, 0}, kTurkish, {4, 0, 0x5F, 0x01, 0x1F, 0x01}}),
                   {SqlType::NVarChar, 10},
                   std::string("şğ")},
        DecodeCase{"VarCharCodePage",
                   Join({{0xA7, 10, 0}, kTurkish, {1, 0, 0xFE}}),
                   {SqlType::VarChar, 10},
                   std::string("ş")},
        DecodeCase{"NVarCharMaxInChunks",
                   Join({{0xE7, 0xFF, 0xFF}, kTurkish, {4,   0, 0, 0, 0, 0, 0,   0, 2, 0, 0, 0,
                                                        'a', 0, 2, 0, 0, 0, 'b', 0, 0, 0, 0, 0}}),
                   {SqlType::NVarChar, ColumnType::kMax},
                   std::string("ab")},
        DecodeCase{
            "VarBinaryNull", {0xA5, 0x40, 0x1F, 0xFF, 0xFF}, {SqlType::VarBinary, 8000}, Value{}},
        DecodeCase{"NText",
                   Join({{0x63, 0xFF, 0xFF, 0xFF, 0x7F}, kTurkish, {2, 0, 0, 0, 'x', 0}}),
                   {SqlType::NText},
                   std::string("x")}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ParameterValues, RefuseTypesTheStandInDoesNotTake) {
  const Bytes variant = {0x62, 0x10, 0, 0, 0, 0, 0, 0, 0};
  WireReader r(variant);
  EXPECT_THROW(ReadTypedValue(r), ValueError);
  const Bytes cut = {0x26, 4, 4, 1};
  WireReader s(cut);
  EXPECT_THROW(ReadTypedValue(s), ProtocolError);
}

Bytes Utf16(const std::string& text) {
  return Utf8ToUtf16Le(text);
}

TEST(RpcRequest, ReadsCallsByIdAndByNameWithTheirParameters) {
  Bytes payload = {0x16, 0, 0, 0, 0x12, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  auto add = [&payload](const Bytes& bytes) {
    payload.insert(payload.end(), bytes.begin(), bytes.end());
  };
  add({0xFF, 0xFF, 10, 0, 0, 0});  // sp_executesql by id, no options
  const Bytes statement = Utf16("SELECT @a");
  add({0, 0});  // unnamed, by value
  add(Join(
      {{0xE7, 0x40, 0x1F}, kTurkish, {static_cast<std::uint8_t>(statement.size()), 0}, statement}));
  const Bytes name = Utf16("@a");
  add(Join({{2}, name, {0x01}, {0x26, 4, 0}}));  // @a OUTPUT, NULL
  add({0xFF});                                   // batch separator
  const Bytes procedure = Utf16("master..sp_detach_db");
  add(Join({{static_cast<std::uint8_t>(procedure.size() / 2), 0}, procedure, {0, 0}}));
  add(Join({{0, 0x02}, {0x26, 4, 0}}));  // a DEFAULT parameter
  const std::vector<ProcedureCall> calls = ParseRpcRequest(payload, kTds74);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].procedure, "sp_executesql");
  ASSERT_EQ(calls[0].arguments.size(), 2u);
  EXPECT_EQ(calls[0].arguments[0].value, Value{std::string("SELECT @a")});
  EXPECT_EQ(calls[0].arguments[1].name, "@a");
  EXPECT_TRUE(calls[0].arguments[1].output);
  EXPECT_EQ(calls[1].procedure, "sp_detach_db");
  EXPECT_TRUE(calls[1].arguments.at(0).is_default);
  payload.resize(payload.size() - 2);
  EXPECT_THROW(ParseRpcRequest(payload, kTds74), ProtocolError);
}

TEST(TransactionRequest, NamesAreCountedInBytes) {
  const Bytes name = Utf16("işlem");
  Bytes commit = {7, 0, static_cast<std::uint8_t>(name.size())};
  commit.insert(commit.end(), name.begin(), name.end());
  commit.push_back(0x01);  // and begin a new, unnamed one
  commit.insert(commit.end(), {0, 0});
  const TransactionRequest request = ParseTransactionRequest(commit, kTds71);
  EXPECT_EQ(request.kind, 7);
  EXPECT_EQ(request.name, "işlem");
  EXPECT_TRUE(request.begin_after);
  const Bytes begin = Join({{5, 0, 0, static_cast<std::uint8_t>(name.size())}, name});
  EXPECT_EQ(ParseTransactionRequest(begin, kTds71).name, "işlem");
  const Bytes odd = {8, 0, 3, 'a', 0, 'b'};
  EXPECT_THROW(ParseTransactionRequest(odd, kTds71), ProtocolError);
}

TEST(Tokens, DoneFormsCarryTheCommandAndTheVersionsCount) {
  Bytes in_proc;
  WireWriter w(in_proc);
  WriteDone(w, kDoneCount | kDoneMore, 3, 0xC1, kDoneInProcToken, kTds74);
  EXPECT_EQ(in_proc, (Bytes{0xFF, 0x11, 0, 0xC1, 0, 3, 0, 0, 0, 0, 0, 0, 0}));
  Bytes old;
  WireWriter o(old);
  WriteDone(o, kDoneFinal, 3, 0xE0, kDoneProcToken, kTds71);
  EXPECT_EQ(old, (Bytes{0xFE, 0, 0, 0xE0, 0, 3, 0, 0, 0}));
}

TEST(Tokens, NotNullColumnsUseTheFixedLengthForms) {
  struct Case {
    SqlType type;
    Value value;
    Bytes expected;  // TYPE_INFO, then the value
  };
  for (const Case& c :
       {Case{SqlType::Int, std::int64_t{1}, {0x38, 1, 0, 0, 0}},
        Case{SqlType::BigInt, std::int64_t{1}, {0x7F, 1, 0, 0, 0, 0, 0, 0, 0}},
        Case{SqlType::Bit, std::int64_t{1}, {0x32, 1}},
        Case{SqlType::SmallMoney, std::string("1.0000"), {0x7A, 0x10, 0x27, 0, 0}},
        Case{SqlType::Real, 1.5, {0x3B, 0, 0, 0xC0, 0x3F}},
        Case{SqlType::Decimal, std::string("1"), {0x6A, 5, 1, 0, 5, 1, 1, 0, 0, 0}}}) {
    ColumnType type{c.type, 0, c.type == SqlType::Decimal ? 1 : 0, 0};
    Bytes out;
    WireWriter w(out);
    WriteTypeInfo(w, type, false);
    WriteValue(w, type, c.value, false);
    EXPECT_EQ(out, c.expected) << TypeName(c.type);
  }
}

TEST(Tokens, OlderClientsGetTheTypesTheyKnow) {
  const std::vector<ResultColumn> columns = {
      {"d", {SqlType::Date}, true, false},
      {"t", {SqlType::Time, 0, 0, 3}, true, false},
      {"o", {SqlType::DateTimeOffset, 0, 0, 7}, true, false},
      {"m", {SqlType::NVarChar, ColumnType::kMax}, true, false},
      {"x", {SqlType::Xml}, true, false}};
  const auto v72 = ForClient(columns, kTds72);
  EXPECT_EQ(v72[0].type, (ColumnType{SqlType::NVarChar, 10, 0, 0}));
  EXPECT_EQ(v72[1].type, (ColumnType{SqlType::NVarChar, 12, 0, 0}));
  EXPECT_EQ(v72[2].type, (ColumnType{SqlType::NVarChar, 34, 0, 0}));
  EXPECT_EQ(v72[3].type, columns[3].type);
  const auto v71 = ForClient(columns, kTds71);
  EXPECT_EQ(v71[3].type.type, SqlType::NText);
  EXPECT_EQ(v71[4].type.type, SqlType::NText);
  EXPECT_EQ(ForClient(columns, kTds74)[0].type, columns[0].type);
}

TEST(MessageAssembler, KeepsTheResetAndIgnoreBits) {
  MessageAssembler assembler;
  const Bytes packets = {0x01, 0x08, 0, 9, 0, 0, 1, 0, 'a', 0x01, 0x03, 0, 9, 0, 0, 2, 0, 'b'};
  ASSERT_EQ(assembler.Feed(packets).status, DecodeStatus::kComplete);
  const Message message = assembler.TakeMessage();
  EXPECT_EQ(message.status, kStatusResetConnection);
  EXPECT_TRUE(message.ignored);
  EXPECT_EQ(message.payload, (Bytes{'a', 'b'}));
}

}  // namespace
}  // namespace sandbox::tds
