#include "sandbox/tds/value_encoding.h"

#include <gtest/gtest.h>

#include "sandbox/tds/messages.h"
#include "sandbox/tds/text_encoding.h"
#include "sandbox/tds/tokens.h"

namespace sandbox::tds {
namespace {

ColumnType Type(SqlType type, int length = 0, int precision = 0, int scale = 0) {
  return ColumnType{type, length, precision, scale};
}

Bytes Info(const ColumnType& type) {
  Bytes out;
  WireWriter w(out);
  WriteTypeInfo(w, type);
  return out;
}

Bytes Encoded(const ColumnType& type, const Value& value) {
  Bytes out;
  WireWriter w(out);
  WriteValue(w, type, value);
  return out;
}

struct EncodingCase {
  const char* name;
  ColumnType type;
  Value value;
  Bytes type_info;
  Bytes wire;
};

class ValueEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ValueEncoding, MatchesTheWireLayout) {
  const auto& c = GetParam();
  EXPECT_EQ(Info(c.type), c.type_info);
  EXPECT_EQ(Encoded(c.type, c.value), c.wire);
}

const Bytes kCollation(kTurkishCiAs.begin(), kTurkishCiAs.end());

Bytes With(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

INSTANTIATE_TEST_SUITE_P(
    Types, ValueEncoding,
    ::testing::Values(
        EncodingCase{"TinyInt", Type(SqlType::TinyInt), std::int64_t{255}, {0x26, 1}, {1, 0xFF}},
        EncodingCase{
            "SmallInt", Type(SqlType::SmallInt), std::int64_t{-2}, {0x26, 2}, {2, 0xFE, 0xFF}},
        EncodingCase{
            "Int", Type(SqlType::Int), std::int64_t{0x01020304}, {0x26, 4}, {4, 4, 3, 2, 1}},
        EncodingCase{"BigInt",
                     Type(SqlType::BigInt),
                     std::int64_t{-1},
                     {0x26, 8},
                     {8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"IntNull", Type(SqlType::Int), Value{}, {0x26, 4}, {0}},
        EncodingCase{"Bit", Type(SqlType::Bit), std::int64_t{1}, {0x68, 1}, {1, 1}},
        EncodingCase{"Real", Type(SqlType::Real), 1.5, {0x6D, 4}, {4, 0, 0, 0xC0, 0x3F}},
        EncodingCase{
            "Float", Type(SqlType::Float), -2.0, {0x6D, 8}, {8, 0, 0, 0, 0, 0, 0, 0, 0xC0}},
        EncodingCase{"DecimalNegative",
                     Type(SqlType::Decimal, 0, 18, 4),
                     std::string("-12.34"),
                     {0x6A, 9, 18, 4},
                     {9, 0, 0x08, 0xE2, 0x01, 0, 0, 0, 0, 0}},
        EncodingCase{"NumericWide",
                     Type(SqlType::Numeric, 0, 38, 4),
                     std::string("12345678901234567890123456789012.3456"),
                     {0x6C, 17, 38, 4},
                     {17, 1, 0xc0, 0xba, 0xdc, 0x72, 0x71, 0x41, 0xec, 0xea, 0xde, 0x0f, 0xd7, 0xbf,
                      0xe3, 0xc6, 0x17, 0x00}},
        EncodingCase{"DecimalSmall",
                     Type(SqlType::Decimal, 0, 5, 2),
                     std::string("1.5"),
                     {0x6A, 5, 5, 2},
                     {5, 1, 150, 0, 0, 0}},
        EncodingCase{"Money",
                     Type(SqlType::Money),
                     std::string("-12345.67"),
                     {0x6E, 8},
                     {8, 0xff, 0xff, 0xff, 0xff, 0x44, 0x33, 0xa4, 0xf8}},
        EncodingCase{"SmallMoney",
                     Type(SqlType::SmallMoney),
                     std::string("1.0001"),
                     {0x6E, 4},
                     {4, 0x11, 0x27, 0, 0}},
        EncodingCase{"DateTime",
                     Type(SqlType::DateTime),
                     std::string("2017-12-31 23:59:59.997"),
                     {0x6F, 8},
                     {8, 0x5a, 0xa8, 0, 0, 0xff, 0x81, 0x8b, 0x01}},
        EncodingCase{"SmallDateTime",
                     Type(SqlType::SmallDateTime),
                     std::string("1900-01-02 00:10:00"),
                     {0x6F, 4},
                     {4, 1, 0, 10, 0}},
        EncodingCase{
            "Date", Type(SqlType::Date), std::string("2018-01-01"), {0x28}, {3, 0xb6, 0x3d, 0x0b}},
        EncodingCase{"Time7",
                     Type(SqlType::Time, 0, 0, 7),
                     std::string("10:20:30.1234567"),
                     {0x29, 7},
                     {5, 0x87, 0x01, 0xe2, 0xae, 0x56}},
        EncodingCase{"Time3",
                     Type(SqlType::Time, 0, 0, 3),
                     std::string("10:20:30.123"),
                     {0x29, 3},
                     {4, 0x2b, 0x16, 0x38, 0x02}},
        EncodingCase{"DateTime2",
                     Type(SqlType::DateTime2, 0, 0, 3),
                     std::string("2018-01-01 10:20:30.123"),
                     {0x2A, 3},
                     {7, 0x2b, 0x16, 0x38, 0x02, 0xb6, 0x3d, 0x0b}},
        EncodingCase{"DateTimeOffsetIsUtcOnTheWire",
                     Type(SqlType::DateTimeOffset, 0, 0, 0),
                     std::string("2018-01-01 02:00:00 +03:00"),
                     {0x2B, 0},
                     {8, 0x70, 0x43, 0x01, 0xb5, 0x3d, 0x0b, 0xb4, 0x00}},
        EncodingCase{"VarCharIsCodePage1254",
                     Type(SqlType::VarChar, 10),
                     std::string("Şığ"),
                     With(With({0xA7, 10, 0}, kCollation), {}),
                     {3, 0, 0xDE, 0xFD, 0xF0}},
        EncodingCase{"CharIsPadded",
                     Type(SqlType::Char, 3),
                     std::string("a"),
                     With({0xAF, 3, 0}, kCollation),
                     {3, 0, 'a', ' ', ' '}},
        EncodingCase{"NVarChar",
                     Type(SqlType::NVarChar, 5),
                     std::string("İ"),
                     With({0xE7, 10, 0}, kCollation),
                     {2, 0, 0x30, 0x01}},
        EncodingCase{"NVarCharNull",
                     Type(SqlType::NVarChar, 5),
                     Value{},
                     With({0xE7, 10, 0}, kCollation),
                     {0xFF, 0xFF}},
        EncodingCase{"NCharIsPadded",
                     Type(SqlType::NChar, 2),
                     std::string("x"),
                     With({0xEF, 4, 0}, kCollation),
                     {4, 0, 'x', 0, ' ', 0}},
        EncodingCase{"NVarCharMaxIsPlp",
                     Type(SqlType::NVarChar, ColumnType::kMax),
                     std::string("ab"),
                     With({0xE7, 0xFF, 0xFF}, kCollation),
                     {4, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 0, 0}},
        EncodingCase{"VarCharMaxEmpty",
                     Type(SqlType::VarChar, ColumnType::kMax),
                     std::string(),
                     With({0xA7, 0xFF, 0xFF}, kCollation),
                     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        EncodingCase{"VarBinaryMaxNull",
                     Type(SqlType::VarBinary, ColumnType::kMax),
                     Value{},
                     {0xA5, 0xFF, 0xFF},
                     Bytes(8, 0xFF)},
        EncodingCase{
            "Xml", Type(SqlType::Xml), std::string("<a/>"), {0xF1, 0}, {8,   0, 0,   0, 0,   0,
                                                                        0,   0, 8,   0, 0,   0,
                                                                        '<', 0, 'a', 0, '/', 0,
                                                                        '>', 0, 0,   0, 0,   0}},
        EncodingCase{
            "VarBinary", Type(SqlType::VarBinary, 4), Blob{"\x01\x02"}, {0xA5, 4, 0}, {2, 0, 1, 2}},
        EncodingCase{"BinaryIsPadded",
                     Type(SqlType::Binary, 3),
                     Blob{"\x01"},
                     {0xAD, 3, 0},
                     {3, 0, 1, 0, 0}},
        EncodingCase{"Timestamp",
                     Type(SqlType::Timestamp),
                     Blob{std::string("\0\0\0\0\0\0\x07\xD1", 8)},
                     {0xAD, 8, 0},
                     {8, 0, 0, 0, 0, 0, 0, 0, 0x07, 0xD1}},
        EncodingCase{"GuidIsMixedEndian",
                     Type(SqlType::UniqueIdentifier),
                     std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                     {0x24, 16},
                     {16, 0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4, 0x2D, 0x00, 0xC0,
                      0x4F, 0xC9, 0x64, 0xFF}},
        EncodingCase{"TextNull",
                     Type(SqlType::Text),
                     Value{},
                     With(With({0x23, 0xFF, 0xFF, 0xFF, 0x7F}, kCollation), {0}),
                     {0}}),
    [](const auto& test) { return test.param.name; });

TEST(ValueEncoding, TextCarriesATextPointerBeforeItsLength) {
  const Bytes wire = Encoded(Type(SqlType::Text), std::string("ş"));
  ASSERT_EQ(wire.size(), 1u + 16 + 8 + 4 + 1);
  EXPECT_EQ(wire[0], 16);
  EXPECT_EQ((Bytes(wire.end() - 5, wire.end())), (Bytes{1, 0, 0, 0, 0xFE}));
}

TEST(DecimalBytes, RoundsHalfAwayFromZeroAtTheScale) {
  EXPECT_EQ(DecimalBytes("2.345", 5, 2), (Bytes{1, 235, 0, 0, 0}));
  EXPECT_EQ(DecimalBytes("-2.345", 5, 2), (Bytes{0, 235, 0, 0, 0}));
  EXPECT_EQ(DecimalBytes("-0.001", 5, 2), (Bytes{1, 0, 0, 0, 0}));
}

TEST(DecimalBytes, RefusesMoreDigitsThanThePrecision) {
  EXPECT_THROW(DecimalBytes("1000", 5, 2), ValueError);
  EXPECT_THROW(DecimalBytes("999.995", 5, 2), ValueError);
  EXPECT_NO_THROW(DecimalBytes("999.99", 5, 2));
  EXPECT_THROW(DecimalBytes("12a", 5, 2), ValueError);
}

TEST(DecimalBytes, IsExactBeyondDoublePrecision) {
  // 2^53 + 1 is the first integer a double cannot hold.
  EXPECT_EQ(DecimalBytes("9007199254740993", 19, 0), (Bytes{1, 0x01, 0, 0, 0, 0, 0, 0x20, 0}));
}

TEST(ValueEncoding, DateTimeRoundsToTheNextDay) {
  // 23:59:59.9999 is closer to midnight than to the last 1/300 s tick.
  EXPECT_EQ(Encoded(Type(SqlType::DateTime), std::string("1900-01-01 23:59:59.9999")),
            (Bytes{8, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ValueEncoding, RefusesValuesThatDoNotFitTheColumn) {
  EXPECT_THROW(Encoded(Type(SqlType::VarChar, 2), std::string("abc")), ValueError);
  EXPECT_THROW(Encoded(Type(SqlType::TinyInt), std::int64_t{256}), ValueError);
  EXPECT_THROW(Encoded(Type(SqlType::Int), std::string("1")), ValueError);
  EXPECT_THROW(Encoded(Type(SqlType::DateTime), std::string("31.12.2017")), ValueError);
}

TEST(Row, UsesNbcRowWithANullBitmapWhenAValueIsNull) {
  const std::vector<ResultColumn> columns = {
      {"a", Type(SqlType::Int)}, {"b", Type(SqlType::NVarChar, 4)}, {"c", Type(SqlType::TinyInt)}};
  Bytes out;
  WireWriter w(out);
  WriteRow(w, columns, {Value{}, std::string("x"), Value{}});
  EXPECT_EQ(out, (Bytes{0xD2, 0x05, 2, 0, 'x', 0}));
  out.clear();
  WriteRow(w, columns, {std::int64_t{7}, std::string("x"), std::int64_t{1}});
  EXPECT_EQ(out, (Bytes{0xD1, 4, 7, 0, 0, 0, 2, 0, 'x', 0, 1, 1}));
}

TEST(Row, WritesNothingWhenAValueDoesNotFit) {
  const std::vector<ResultColumn> columns = {{"a", Type(SqlType::Int)},
                                             {"b", Type(SqlType::TinyInt)}};
  Bytes out;
  WireWriter w(out);
  EXPECT_THROW(WriteRow(w, columns, {std::int64_t{1}, std::int64_t{-1}}), ValueError);
  EXPECT_TRUE(out.empty());
}

TEST(Tokens, DoneCarriesStatusAndA64BitCount) {
  Bytes out;
  WireWriter w(out);
  WriteDone(w, kDoneMore | kDoneCount, 0x100000001ull);
  EXPECT_EQ(out, (Bytes{0xFD, 0x11, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(Tokens, ErrorCarriesNumberClassServerAndLine) {
  Bytes out;
  WireWriter w(out);
  WriteMessage(w, {208, 1, 16, "x", "S", "", 3});
  EXPECT_EQ(out, (Bytes{0xAA, 18, 0, 208, 0, 0, 0, 1, 16, 1, 0, 'x', 0, 1, 'S', 0, 0, 3, 0, 0, 0}));
}

// The text of an ERROR or INFO token, after its length, number, state and class.
std::string MessageTextOf(const Bytes& token) {
  const std::size_t at = 1 + 2 + 4 + 1 + 1;
  const std::size_t units = token.at(at) | (token.at(at + 1) << 8);
  return Utf16LeToUtf8(std::span(token).subspan(at + 2, units * 2));
}

TEST(Tokens, AMessageTooLongForItsTokenIsCutWithAnEllipsis) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::string emoji = "\xF0\x9F\x98\x80";  // a surrogate pair in UTF-16
  const Case cases[] = {
      {std::string(2047, 'a'), std::string(2047, 'a')},
      {std::string(2048, 'a'), std::string(2044, 'a') + "..."},
      // The whole batch after an unclosed quote, longer than a 16-bit token length allows.
      {std::string(40000, 'a'), std::string(2044, 'a') + "..."},
      {std::string(2042, 'a') + emoji + std::string(10, 'b'),
       std::string(2042, 'a') + emoji + "..."},
      {std::string(2043, 'a') + emoji + std::string(10, 'b'), std::string(2043, 'a') + "..."},
  };
  for (const Case& c : cases) {
    Bytes out;
    WireWriter w(out);
    WriteMessage(w, {105, 1, 15, c.text, "S", "", 1});
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[1] | (out[2] << 8), static_cast<int>(out.size() - 3)) << c.text.size();
    const std::string text = MessageTextOf(out);
    EXPECT_EQ(text.size(), c.expected.size()) << c.text.size();
    EXPECT_TRUE(text == c.expected) << c.text.size() << ": ..." << text.substr(text.size() - 8);
  }
}

TEST(Tokens, LoginAckStatesTheVersionBigEndian) {
  Bytes out;
  WireWriter w(out);
  WriteLoginAck(w, kTds74);
  ASSERT_GT(out.size(), 8u);
  EXPECT_EQ((Bytes(out.begin(), out.begin() + 8)),
            (Bytes{0xAD, static_cast<std::uint8_t>(out.size() - 3), 0, 1, 0x74, 0, 0, 4}));
  EXPECT_EQ((Bytes(out.end() - 4, out.end())), (Bytes{16, 0, 0x03, 0xE8}));
}

TEST(TextEncoding, CodePage1254RoundTripsTurkishAndReplacesOthers) {
  EXPECT_EQ(Utf8ToCp1254("ÇĞİÖŞÜçğıöşü€"), "\xC7\xD0\xDD\xD6\xDE\xDC\xE7\xF0\xFD\xF6\xFE\xFC\x80");
  EXPECT_EQ(Cp1254ToUtf8("\xC7\xD0\xDD\xD6\xDE\xDC\xE7\xF0\xFD\xF6\xFE\xFC\x80"), "ÇĞİÖŞÜçğıöşü€");
  EXPECT_EQ(Utf8ToCp1254("a\xE2\x82"), "a??");  // a cut sequence, byte by byte
  EXPECT_EQ(Utf8ToCp1254("日"), "?");
}

}  // namespace
}  // namespace sandbox::tds
