#pragma once

// A stand-in for the engine's Session, answering a few fixed batches, so the TDS layer can be
// driven by real clients (tsql, the FreeTDS ODBC driver) before and apart from the engine.

#include <map>
#include <memory>
#include <string>

#include "sandbox/engine/engine.h"
#include "sandbox/engine/sql_error.h"

namespace sandbox::tds::testing {

/// Every type of sql_types.h, one column each, as the fake's "all types" result.
inline std::vector<ResultColumn> AllTypeColumns() {
  auto c = [](const char* name, SqlType type, int length = 0, int precision = 0, int scale = 0) {
    return ResultColumn{name, ColumnType{type, length, precision, scale}, true, false};
  };
  return {c("c_tinyint", SqlType::TinyInt),
          c("c_smallint", SqlType::SmallInt),
          c("c_int", SqlType::Int),
          c("c_bigint", SqlType::BigInt),
          c("c_bit", SqlType::Bit),
          c("c_real", SqlType::Real),
          c("c_float", SqlType::Float),
          c("c_decimal", SqlType::Decimal, 0, 18, 4),
          c("c_numeric", SqlType::Numeric, 0, 38, 10),
          c("c_money", SqlType::Money),
          c("c_smallmoney", SqlType::SmallMoney),
          c("c_datetime", SqlType::DateTime),
          c("c_smalldatetime", SqlType::SmallDateTime),
          c("c_date", SqlType::Date),
          c("c_time", SqlType::Time, 0, 0, 7),
          c("c_datetime2", SqlType::DateTime2, 0, 0, 7),
          c("c_datetimeoffset", SqlType::DateTimeOffset, 0, 0, 7),
          c("c_char", SqlType::Char, 5),
          c("c_varchar", SqlType::VarChar, 20),
          c("c_nchar", SqlType::NChar, 5),
          c("c_nvarchar", SqlType::NVarChar, 20),
          c("c_text", SqlType::Text),
          c("c_ntext", SqlType::NText),
          c("c_xml", SqlType::Xml),
          c("c_binary", SqlType::Binary, 4),
          c("c_varbinary", SqlType::VarBinary, 4),
          c("c_image", SqlType::Image),
          c("c_timestamp", SqlType::Timestamp),
          c("c_uniqueidentifier", SqlType::UniqueIdentifier),
          c("c_varchar_max", SqlType::VarChar, ColumnType::kMax),
          c("c_nvarchar_max", SqlType::NVarChar, ColumnType::kMax),
          c("c_varbinary_max", SqlType::VarBinary, ColumnType::kMax)};
}

/// The values of the "all types" row, in column order.
inline Row AllTypeValues() {
  return {std::int64_t{255},
          std::int64_t{-32768},
          std::int64_t{2147483647},
          std::int64_t{-9007199254740993},
          std::int64_t{1},
          0.5,
          -1234.5678,
          std::string("-12345678901234.5678"),
          std::string("1234567890123456789012345678.0123456789"),
          std::string("-922337203685477.5808"),
          std::string("214748.3647"),
          std::string("2017-12-31 23:59:59.997"),
          std::string("2017-12-31 23:59:00"),
          std::string("2018-01-01"),
          std::string("23:59:59.1234567"),
          std::string("2018-01-01 10:20:30.1234567"),
          std::string("2018-01-01 10:20:30.1234567 +03:00"),
          std::string("ab"),
          std::string("ÇĞİÖŞÜçğıöşü"),
          std::string("ş"),
          std::string("Ağaç İĞNE"),
          std::string("metin ğ"),
          std::string("uzun metin ş"),
          std::string("<a>ı</a>"),
          Blob{"\x01\x02"},
          Blob{"\xDE\xAD\xBE\xEF"},
          Blob{std::string("\x00\xFF", 2)},
          Blob{std::string("\0\0\0\0\0\0\x07\xD1", 8)},
          std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
          std::string("büyük ğ"),
          std::string("büyük ş"),
          Blob{"\xCA\xFE"}};
}

/// Answers batches by their exact text (see Execute). Counts the transactions it has seen.
class FakeSession : public Session {
 public:
  explicit FakeSession(std::string database) : database_(std::move(database)) {}

  void ExecuteBatch(const std::string& batch, ResultSink& sink) override {
    // tsql sends the batch with its final line break.
    const std::string sql = batch.substr(0, batch.find_last_not_of(" \r\n") + 1);
    if (sql == "SELECT name FROM sys.databases") {
      sink.Columns({{"name", {SqlType::NVarChar, 128}, false, false}});
      sink.RowData({std::string("master")});
      sink.RowData({std::string("E2017")});
      sink.StatementDone(2, false);
    } else if (sql == "SELECT all_types") {
      sink.Columns(AllTypeColumns());
      sink.RowData(AllTypeValues());
      sink.RowData(Row(AllTypeColumns().size()));
      sink.StatementDone(2, false);
    } else if (sql.rfind("SELECT echo ", 0) == 0) {
      const std::string text = sql.substr(12);
      sink.Columns({{"v", {SqlType::VarChar, 50}, true, false},
                    {"n", {SqlType::NVarChar, 50}, true, false}});
      sink.RowData({text, text});
      sink.StatementDone(1, false);
    } else if (sql.rfind("SELECT length ", 0) == 0) {
      sink.Columns({{"n", {SqlType::BigInt}, false, false}});
      sink.RowData({static_cast<std::int64_t>(sql.size())});
      sink.StatementDone(1, false);
    } else if (sql == "SELECT many") {
      sink.Columns(
          {{"i", {SqlType::Int}, false, false}, {"t", {SqlType::NVarChar, 100}, false, false}});
      for (std::int64_t i = 0; i < 50000; ++i) {
        sink.RowData({i, std::string("satır ") + std::to_string(i)});
      }
      sink.StatementDone(50000, false);
    } else if (sql == "SELECT 1\nSELECT missing\nSELECT 3") {
      sink.Columns({{"", {SqlType::Int}, false, false}});
      sink.RowData({std::int64_t{1}});
      sink.StatementDone(1, false);
      sink.Error(SqlError(208, 16, 1, "Invalid object name 'missing'.", 2));
      sink.StatementDone(-1, true);
      sink.Columns({{"", {SqlType::Int}, false, false}});
      sink.RowData({std::int64_t{3}});
      sink.StatementDone(1, false);
    } else if (sql == "SELECT endless") {
      sink.Columns({{"n", {SqlType::Int}, false, false}});
      for (std::int64_t i = 0; i < 100000000 && !sink.Cancelled(); ++i) sink.RowData({i});
      sink.StatementDone(-1, false);
    } else if (sql == "USE E2017") {
      sink.DatabaseChanged("E2017", database_);
      database_ = "E2017";
      sink.Info(5701, 1, 0, "Changed database context to 'E2017'.", 1);
      sink.StatementDone(-1, false);
    } else if (sql == "SELECT bad_value") {
      sink.Columns({{"t", {SqlType::TinyInt}, false, false}});
      sink.RowData({std::int64_t{1}});
      sink.RowData({std::int64_t{1000}});
      sink.StatementDone(2, false);
    } else {
      sink.Error(SqlError(102, 15, 1, "Incorrect syntax near '" + sql + "'.", 1));
      sink.StatementDone(-1, true);
    }
  }

  void BeginTransaction(ResultSink& sink) override {
    descriptor_ = ++transactions_;
    sink.TransactionChanged(8, descriptor_);
  }
  void CommitTransaction(ResultSink& sink) override {
    sink.TransactionChanged(9, descriptor_);
    descriptor_ = 0;
  }
  void RollbackTransaction(ResultSink& sink) override {
    sink.TransactionChanged(10, descriptor_);
    descriptor_ = 0;
  }
  const std::string& CurrentDatabase() const override { return database_; }
  std::uint64_t TransactionDescriptor() const override { return descriptor_; }

 private:
  std::string database_;
  std::uint64_t descriptor_ = 0;
  std::uint64_t transactions_ = 0;
};

/// A login check like the engine's: sa/qolvanet; databases master and E2017.
inline std::unique_ptr<Session> FakeLogin(const std::string& user, const std::string& password,
                                          const std::string& database) {
  if (user != "sa" || password != "qolvanet") {
    throw SqlError(18456, 14, 1, "Login failed for user '" + user + "'.");
  }
  if (!database.empty() && database != "master" && database != "E2017") {
    throw SqlError(
        4060, 11, 1,
        "Cannot open database \"" + database + "\" requested by the login. The login failed.");
  }
  return std::make_unique<FakeSession>(database.empty() ? "master" : database);
}

}  // namespace sandbox::tds::testing
