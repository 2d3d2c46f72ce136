#include "script/table_copy_script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/script/fake_row_source.h"

namespace devir::script {
namespace {

using testing::FakeResult;
using testing::FakeRowSource;
using testing::Type;

// The table script as text: each statement followed by CR LF, as the list's line text has it.
class AppendToText final : public StatementSink {
 public:
  explicit AppendToText(std::string& text) : text_(text) {}
  void Add(std::string statement) override {
    text_ += statement;
    text_ += "\r\n";
  }

 private:
  std::string& text_;
};

std::size_t TableCopyScript(RowSource& rows, const std::string& table, std::string& script,
                            const std::vector<std::string>& row_versions = {}) {
  AppendToText sink(script);
  return script::TableCopyScript(rows, table, sink, row_versions);
}

FakeResult StockCards() {
  FakeResult result;
  result.columns = {
      {"ID", Type("int")}, {"STOKKODU", Type("nvarchar", 30)}, {"STOKADI", Type("nvarchar", 100)}};
  result.rows = {{std::int64_t{1}, std::string("A-100"), std::string("Vida")},
                 {std::int64_t{2}, std::string("B'200"), db::FieldValue{}}};
  return result;
}

TEST(TableCopyScript, OneStatementPerRowWithoutIdAndWithoutBlanks) {
  FakeRowSource rows;
  rows.Answer("SELECT * FROM STOK", StockCards());
  std::string script;
  TableCopyScript(rows, "STOK", script);
  EXPECT_EQ(script,
            "INSERT INTO STOK(STOKKODU,STOKADI) VALUES(N'A-100',N'Vida')\r\n"
            "INSERT INTO STOK(STOKKODU,STOKADI) VALUES(N'B''200',NULL)\r\n");
  EXPECT_EQ(rows.Opened(), std::vector<std::string>{"SELECT * FROM STOK"});
  EXPECT_EQ(rows.Closes(), 1);
}

TEST(TableCopyScript, LeavesOutExactlyIdAndHidCaseSensitively) {
  FakeResult result;
  result.columns = {{"A", Type("int")},   {"HID", Type("int")}, {"Id", Type("int")},
                    {"hid", Type("int")}, {"ID", Type("int")},  {"B", Type("varchar", 5)}};
  result.rows = {{std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, std::int64_t{4},
                  std::int64_t{5}, std::string("x")}};
  FakeRowSource rows;
  rows.Answer("SELECT * FROM T", result);
  std::string script;
  TableCopyScript(rows, "T", script);
  EXPECT_EQ(script, "INSERT INTO T(A,Id,hid,B) VALUES(1,3,4,'x')\r\n");
}

// The server fills a rowversion itself and refuses any value for it, DEFAULT included on some
// engines: it is left out whether the catalogue names it or the driver reports its type.
TEST(TableCopyScript, LeavesOutRowVersionsByTheCatalogueAndByTheReportedType) {
  FakeResult result;
  result.columns = {{"A", Type("int")},
                    {"SURUM", Type("binary", 8)},
                    {"ESKI", Type("timestamp", 8)},
                    {"B", Type("binary", 8)}};
  const db::FieldValue version = db::Bytes{std::string(8, '\x01')};
  result.rows = {{std::int64_t{1}, version, version, version}};
  FakeRowSource rows;
  rows.Answer("SELECT * FROM T", result);
  std::string script;
  TableCopyScript(rows, "T", script, {"surum"});
  EXPECT_EQ(script, "INSERT INTO T(A,B) VALUES(1,0x0101010101010101)\r\n");
}

// Names of the year databases stand as they are; any other name goes in brackets so that it
// cannot change the statement.
TEST(TableCopyScript, BracketsNamesThatAreNoRegularIdentifiers) {
  FakeResult result;
  result.columns = {{"AÇIKLAMA_2", Type("int")},
                    {"A B", Type("int")},
                    {"X) VALUES(1)--", Type("int")},
                    {"a]b", Type("int")},
                    {"1A", Type("int")}};
  result.rows = {
      {std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, std::int64_t{4}, std::int64_t{5}}};
  FakeRowSource rows;
  rows.Answer("SELECT * FROM T", result);
  std::string script;
  TableCopyScript(rows, "T", script);
  EXPECT_EQ(script,
            "INSERT INTO T(AÇIKLAMA_2,[A B],[X) VALUES(1)--],[a]]b],[1A]) VALUES(1,2,3,4,5)\r\n");
}

TEST(TableCopyScript, TableWithoutRowsAppendsNothing) {
  FakeResult result = StockCards();
  result.rows.clear();
  FakeRowSource rows;
  rows.Answer("SELECT * FROM STOK", result);
  std::string script = "kept";
  TableCopyScript(rows, "STOK", script);
  EXPECT_EQ(script, "kept");
  EXPECT_EQ(rows.Closes(), 1);
}

TEST(TableCopyScript, AppendsToWhatTheScriptHolds) {
  FakeRowSource rows;
  rows.Answer("SELECT * FROM STOK", StockCards());
  std::string script = "X\r\n";
  TableCopyScript(rows, "STOK", script);
  EXPECT_EQ(script.rfind("X\r\nINSERT INTO STOK(", 0), 0u);
}

TEST(TableCopyScript, FailureOfTheSelectReachesTheCallerAndKeepsTheScript) {
  FakeRowSource rows;
  rows.FailOn("SELECT * FROM YOK", "Invalid object name 'YOK'.");
  std::string script = "before\r\n";
  try {
    TableCopyScript(rows, "YOK", script);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Invalid object name 'YOK'.");
  }
  EXPECT_EQ(script, "before\r\n");
}

// A value that cannot be written stops the copy; the query is closed all the same.
TEST(TableCopyScript, ClosesTheQueryWhenAValueFails) {
  FakeResult result;
  result.columns = {{"F", Type("float")}};
  result.rows = {{1.0}, {std::numeric_limits<double>::quiet_NaN()}};
  FakeRowSource rows;
  rows.Answer("SELECT * FROM T", result);
  std::string script;
  EXPECT_THROW(TableCopyScript(rows, "T", script), std::domain_error);
  EXPECT_EQ(script, "INSERT INTO T(F) VALUES(1)\r\n");
  EXPECT_FALSE(rows.IsOpen());
}

}  // namespace
}  // namespace devir::script
