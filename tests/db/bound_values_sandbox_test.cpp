// Values read through bound columns, a block of rows per fetch, come out as the server holds
// them: at the full length of their type, at full precision, NULL in some rows and not in
// others, across the blocks' borders, and beside the long types SQLGetData reads.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/field.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

struct ValueCase {
  const char* type;     // the column's type
  std::string literal;  // the value inserted
  FieldValue expected;  // as the query gives it
};

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::string AllBytes(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += static_cast<char>(i * 7 % 256);
  return out;
}

std::string HexLiteral(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "0x";
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// One column per case: every bound form, each at the edge of its type.
const std::vector<ValueCase>& Cases() {
  // 4000 UTF-16 units: a Turkish letter, a letter outside the basic plane (two units), one more.
  static const std::string kFullNvarchar = Repeat("ğ😀Ş", 1000);
  static const std::string kFullVarchar = Repeat("ğüşıöçĞÜŞİÖÇ", 666) + "İıŞş" + "ab";
  static const std::vector<ValueCase> cases = {
      {"nvarchar(4000)", "N'" + kFullNvarchar + "'", kFullNvarchar},
      {"varchar(8000)", "'" + kFullVarchar + "'", kFullVarchar},
      {"nvarchar(max)", "N'" + Repeat("Çiçek ", 2000) + "'", Repeat("Çiçek ", 2000)},
      {"nchar(5)", "N'ı'", std::string("ı    ")},
      {"char(6)", "'İ'", std::string("İ     ")},
      {"nvarchar(1)", "N''", std::string()},
      {"binary(4)", "0x01", Bytes{std::string("\x01\0\0\0", 4)}},
      {"varbinary(8000)", HexLiteral(AllBytes(8000)), Bytes{AllBytes(8000)}},
      {"varbinary(max)", HexLiteral(AllBytes(9000)), Bytes{AllBytes(9000)}},
      {"decimal(38,0)", "-" + std::string(38, '9'), "-" + std::string(38, '9')},
      {"decimal(38,38)", "0." + std::string(37, '9') + "8", "0." + std::string(37, '9') + "8"},
      {"decimal(38,10)", "1234567890123456789012345678.0123456789",
       std::string("1234567890123456789012345678.0123456789")},
      {"numeric(5,0)", "-99999", std::string("-99999")},
      {"money", "-922337203685477.5808", std::string("-922337203685477.5808")},
      {"smallmoney", "214748.3647", std::string("214748.3647")},
      {"bigint", "-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"tinyint", "255", std::int64_t{255}},
      {"bit", "1", std::int64_t{1}},
      {"float", "-1.7976931348623157E308", -1.7976931348623157e308},
      {"real", "3.4028235E38", static_cast<double>(3.4028235e38f)},
      {"datetime", "'9999-12-31T23:59:59.997'", DateTime{9999, 12, 31, 23, 59, 59, 997000000}},
      {"smalldatetime", "'2079-06-06T23:59:00'", DateTime{2079, 6, 6, 23, 59, 0, 0}},
      {"date", "'0001-01-01'", std::string("0001-01-01")},
      {"time(7)", "'23:59:59.9999999'", std::string("23:59:59.9999999")},
      {"datetimeoffset(7)", "'0001-01-01T00:00:00.0000000-14:00'",
       std::string("0001-01-01 00:00:00.0000000 -14:00")},
      {"uniqueidentifier", "'c0ffee00-1234-4a5b-8c9d-0123456789ab'",
       std::string("C0FFEE00-1234-4A5B-8C9D-0123456789AB")},
  };
  return cases;
}

constexpr int kRows = 300;

// Which values of a row are NULL: the first row holds every value, the second none, and the
// others change from row to row and column to column.
bool IsNullAt(int row, std::size_t column) {
  if (row == 1) return false;
  if (row == 2) return true;
  return (static_cast<std::size_t>(row) + column) % 3 == 0;
}

class BoundValuesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SandboxProcess::Options options;
    options.seed = false;
    server_ = new SandboxProcess(options);
    Connection master;
    master.SetConnectionString(
        BuildAdoConnectionString({"SQLOLEDB", "master", server_->DataSource(), "sa", "qolvanet"}));
    master.Connect();
    master.Execute("CREATE DATABASE BAGLI");
    Connection connection;
    Connect(connection);
    std::string create = "CREATE TABLE T (ID int NOT NULL PRIMARY KEY";
    for (std::size_t c = 0; c < Cases().size(); ++c) {
      create += ", C" + std::to_string(c) + " " + Cases()[c].type + " NULL";
    }
    connection.Execute(create + ")");
    connection.BeginTransaction();
    for (int row = 1; row <= kRows; ++row) {
      std::string insert = "INSERT INTO T VALUES(" + std::to_string(row);
      for (std::size_t c = 0; c < Cases().size(); ++c) {
        insert += "," + (IsNullAt(row, c) ? std::string("NULL") : Cases()[c].literal);
      }
      connection.Execute(insert + ")");
    }
    connection.Commit();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  static void Connect(Connection& connection) {
    connection.SetConnectionString(
        BuildAdoConnectionString({"SQLOLEDB", "BAGLI", server_->DataSource(), "sa", "qolvanet"}));
    connection.Connect();
  }

  static SandboxProcess* server_;
};

SandboxProcess* BoundValuesTest::server_ = nullptr;

// Reads the columns (by case number) of every row, newest first when `descending`, and
// compares each value with what was inserted.
void ExpectRows(Connection& connection, const std::vector<std::size_t>& columns, bool descending) {
  std::string sql = "SELECT ID";
  for (std::size_t c : columns) sql += ", C" + std::to_string(c);
  sql += descending ? " FROM T ORDER BY ID DESC" : " FROM T ORDER BY ID";
  Query query(connection);
  query.SetSql(sql);
  query.Open();
  int read = 0;
  for (; !query.Eof(); query.Next()) {
    const int row = descending ? kRows - read : read + 1;
    ++read;
    ASSERT_EQ(query.FieldAt(0).Value(), FieldValue(std::int64_t{row}));
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::size_t c = columns[i];
      const FieldValue expected = IsNullAt(row, c) ? FieldValue{} : Cases()[c].expected;
      const Field& field = query.FieldAt(static_cast<int>(i) + 1);
      // A mismatch names the row and type; a long value is not printed whole.
      EXPECT_TRUE(field.Value() == expected)
          << "row " << row << ", " << Cases()[c].type << ": " << field.AsText().substr(0, 80);
    }
  }
  EXPECT_EQ(read, kRows);
}

std::vector<std::size_t> AllColumns() {
  std::vector<std::size_t> columns;
  for (std::size_t c = 0; c < Cases().size(); ++c) columns.push_back(c);
  return columns;
}

// The max types among them are read with SQLGetData, one row per fetch.
TEST_F(BoundValuesTest, EveryTypeArrivesAtFullLengthAndPrecisionBesideTheLongTypes) {
  Connection connection;
  Connect(connection);
  ExpectRows(connection, AllColumns(), false);
}

// Without a max type every column is bound and a fetch fills a block of rows.
TEST_F(BoundValuesTest, BlocksOfWideRowsKeepEachRowsValuesAndNulls) {
  std::vector<std::size_t> columns;
  for (std::size_t c : AllColumns()) {
    if (!std::string(Cases()[c].type).ends_with("(max)")) columns.push_back(c);
  }
  Connection connection;
  Connect(connection);
  ExpectRows(connection, columns, true);
}

TEST_F(BoundValuesTest, BlocksOfNarrowRowsKeepEachRowsValuesAndNulls) {
  Connection connection;
  Connect(connection);
  ExpectRows(connection, {5, 9, 15, 20}, false);
}

}  // namespace
}  // namespace devir::db
