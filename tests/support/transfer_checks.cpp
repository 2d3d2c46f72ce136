#include "tests/support/transfer_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <tuple>
#include <variant>

#include "db/connection.h"
#include "db/query.h"
#include "db/statement_runner.h"

namespace devir::testing {
namespace {

struct Rows {
  std::vector<std::string> names;
  std::vector<std::vector<db::FieldValue>> values;

  std::size_t Column(const std::string& name) const {
    const auto it = std::find(names.begin(), names.end(), name);
    EXPECT_NE(it, names.end()) << "no column " << name;
    return static_cast<std::size_t>(it - names.begin());
  }
};

Rows Read(const std::string& server, const std::string& database, const std::string& sql) {
  db::Connection connection;
  connection.SetConnectionString(
      db::RunnerConnectionString({server, kTestUser, kTestPassword}, database));
  connection.Connect();
  db::Query query(connection);
  query.SetSql(sql);
  query.Open();
  Rows rows;
  for (int i = 0; i < query.FieldCount(); ++i) rows.names.push_back(query.FieldAt(i).Name());
  while (!query.Eof()) {
    std::vector<db::FieldValue> row;
    for (int i = 0; i < query.FieldCount(); ++i) row.push_back(query.FieldAt(i).Value());
    rows.values.push_back(std::move(row));
    query.Next();
  }
  return rows;
}

std::string Describe(const db::FieldValue& value) {
  struct Visitor {
    std::string operator()(std::monostate) const { return "NULL"; }
    std::string operator()(const std::string& text) const { return "'" + text + "'"; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const {
      std::ostringstream out;
      out.precision(17);
      out << number;
      return out.str();
    }
    std::string operator()(const db::DateTime& t) const {
      char text[64];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%09u", t.year, t.month, t.day,
                    t.hour, t.minute, t.second, t.nanosecond);
      return text;
    }
    std::string operator()(const db::Bytes& bytes) const {
      return "0x(" + std::to_string(bytes.data.size()) + " bytes)";
    }
  };
  return std::visit(Visitor{}, value);
}

std::optional<std::string> Text(const db::FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

double Number(const db::FieldValue& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return static_cast<double>(*number);
  return 0;
}

bool Near(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// A depot and an item (NULL for a depot without movements).
using BalanceKey = std::pair<std::string, std::optional<std::string>>;

std::string Describe(const BalanceKey& key) {
  return key.first + "/" + (key.second ? *key.second : std::string("NULL"));
}

struct Balance {
  double remaining = 0;
  double price = 0;
  db::FieldValue unit;
  db::FieldValue vat;
};

}  // namespace

const std::vector<std::string>& CarriedTables() {
  static const std::vector<std::string> tables = {
      "STOK",       "STOKHAREKET", "DEPO",       "HESAPKODU",  "DUZEYKODU1",
      "DUZEYKODU2", "DUZEYKODU3",  "DUZEYKODU4", "DUZEYKODU5",
  };
  return tables;
}

long long CountRows(const std::string& server, const std::string& database,
                    const std::string& table) {
  const Rows rows = Read(server, database, "SELECT COUNT(*) FROM " + table);
  return static_cast<long long>(Number(rows.values.at(0).at(0)));
}

std::map<std::string, long long> CountCarriedRows(const std::string& server,
                                                  const std::string& database) {
  std::map<std::string, long long> counts;
  for (const std::string& table : CarriedTables()) {
    counts[table] = CountRows(server, database, table);
  }
  return counts;
}

bool DatabaseAttached(const std::string& server, const std::string& name) {
  const Rows rows =
      Read(server, "master", "SELECT COUNT(*) FROM sys.databases WHERE name = '" + name + "'");
  return Number(rows.values.at(0).at(0)) == 1;
}

void RunSql(const std::string& server, const std::string& database, const std::string& sql) {
  db::Connection connection;
  db::RunOnDatabase(connection, {server, kTestUser, kTestPassword}, database, sql);
}

void ExpectMasterTablesCarried(const std::string& server, const std::string& source,
                               const std::string& target) {
  const std::pair<const char*, const char*> tables[] = {
      {"STOK", "STOKKODU"},   {"HESAPKODU", "KODU"},  {"DUZEYKODU1", "KODU"},
      {"DUZEYKODU2", "KODU"}, {"DUZEYKODU3", "KODU"}, {"DUZEYKODU4", "KODU"},
      {"DUZEYKODU5", "KODU"},
  };
  for (const auto& [table, key] : tables) {
    SCOPED_TRACE(table);
    const std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY " + key;
    const Rows from = Read(server, source, sql);
    const Rows to = Read(server, target, sql);
    if (std::string(table) == "STOK") {
      EXPECT_FALSE(from.values.empty()) << "no sample in " << source;
    }
    ASSERT_EQ(to.values.size(), from.values.size());
    ASSERT_EQ(to.names, from.names);
    const std::size_t key_column = from.Column(key);
    for (std::size_t row = 0; row < from.values.size(); ++row) {
      for (std::size_t column = 0; column < from.names.size(); ++column) {
        const std::string& name = from.names[column];
        // Identity values and row versions are the target server's own.
        if (name == "ID" || name == "SURUM") continue;
        EXPECT_TRUE(to.values[row][column] == from.values[row][column])
            << table << " " << Describe(from.values[row][key_column]) << " column " << name << ": "
            << Describe(to.values[row][column]) << " in " << target << ", "
            << Describe(from.values[row][column]) << " in " << source;
      }
    }
  }
  const Rows depots = Read(server, target, "SELECT KODU, ADI FROM DEPO");
  ASSERT_EQ(depots.values.size(), 1u);
  EXPECT_EQ(Describe(depots.values[0][0]), "'01'");
  EXPECT_EQ(Describe(depots.values[0][1]), "'ANADEPO'");
}

void ExpectCarryOverMovements(const std::string& server, const std::string& source,
                              const std::string& target, const db::DateTime& date) {
  // The source as plain data; everything below is this test's own arithmetic.
  const Rows depots = Read(server, source, "SELECT KODU FROM DEPO");
  const Rows cards = Read(server, source, "SELECT STOKKODU, BIRIM, KDVORAN FROM STOK");
  const Rows moves =
      Read(server, source, "SELECT GDEPO, CDEPO, STOKKODU, ADET, FIYAT FROM STOKHAREKET");
  std::map<std::string, std::pair<db::FieldValue, db::FieldValue>> card_of;
  for (const auto& card : cards.values) card_of[*Text(card[0])] = {card[1], card[2]};

  std::map<BalanceKey, Balance> expected;
  for (const auto& depot_row : depots.values) {
    const std::string depot = *Text(depot_row[0]);
    bool any = false;
    for (const auto& move : moves.values) {
      if (Text(move[0]) != depot && Text(move[1]) != depot) continue;
      any = true;
      const std::optional<std::string> item = Text(move[2]);
      Balance& balance = expected[{depot, item}];
      if (!item) continue;  // no item: nothing to sum, no card
      if (const auto card = card_of.find(*item); card != card_of.end()) {
        balance.unit = card->second.first;
        balance.vat = card->second.second;
      }
    }
    if (!any) expected[{depot, std::nullopt}];
  }
  for (auto& [key, balance] : expected) {
    if (!key.second) continue;
    double received = 0, issued = 0, price_sum = 0;
    int priced = 0;
    for (const auto& move : moves.values) {
      if (Text(move[2]) != key.second) continue;
      const bool has_quantity = !std::holds_alternative<std::monostate>(move[3]);
      if (Text(move[0]) == key.first) {
        if (has_quantity) received += Number(move[3]);
        if (!std::holds_alternative<std::monostate>(move[4])) {
          price_sum += Number(move[4]);
          ++priced;
        }
      }
      if (Text(move[1]) == key.first && has_quantity) issued += Number(move[3]);
    }
    balance.remaining = received - issued;
    balance.price = priced == 0 ? 0 : price_sum / priced;
  }

  const Rows carried = Read(server, target,
                            "SELECT GDEPO, STOKKODU, ADET, FIYAT, TUTAR, TARIH, FISNO, DURUM, "
                            "ISLEM, CKODU, AYIR, BIRIM, KDVORAN, CDEPO FROM STOKHAREKET");
  EXPECT_EQ(carried.values.size(), expected.size());
  std::map<BalanceKey, int> seen;
  for (const auto& row : carried.values) {
    const BalanceKey key{Text(row[0]).value_or("<NULL>"), Text(row[1])};
    SCOPED_TRACE(Describe(key));
    EXPECT_EQ(++seen[key], 1) << "more than one carry-over movement";
    const auto it = expected.find(key);
    if (it == expected.end()) {
      ADD_FAILURE() << "a carry-over movement for no depot and item of the source";
      continue;
    }
    const Balance& balance = it->second;
    EXPECT_TRUE(Near(Number(row[2]), balance.remaining))
        << Describe(row[2]) << " vs " << balance.remaining;
    EXPECT_TRUE(Near(Number(row[3]), balance.price)) << Describe(row[3]) << " vs " << balance.price;
    EXPECT_TRUE(Near(Number(row[4]), balance.price * balance.remaining))
        << Describe(row[4]) << " vs " << balance.price * balance.remaining;
    EXPECT_EQ(Describe(row[5]), Describe(db::DateTime{date.year, date.month, date.day}));
    EXPECT_EQ(Describe(row[6]), "'DEVIR'");
    EXPECT_EQ(Describe(row[7]), "'GIRIS'");
    EXPECT_EQ(Describe(row[8]), "'DEVIR GIRIS'");
    EXPECT_EQ(Describe(row[9]), "'DEVIR'");
    EXPECT_EQ(Describe(row[10]), "'DFISI'");
    EXPECT_EQ(Describe(row[11]), Describe(balance.unit));
    EXPECT_EQ(Describe(row[12]), Describe(balance.vat));
    EXPECT_EQ(Describe(row[13]), "NULL");
  }
}

void ExpectOneRegistryRow(const std::string& server, int year) {
  const std::string name = "E" + std::to_string(year);
  const Rows rows =
      Read(server, "sirketambar",
           "SELECT SirketAdi, CalismaYili, DBAdi FROM sirketler WHERE SirketAdi = '" + name + "'");
  ASSERT_EQ(rows.values.size(), 1u);
  EXPECT_EQ(Describe(rows.values[0][1]), "'" + std::to_string(year) + "'");
  EXPECT_EQ(Describe(rows.values[0][2]), "'" + name + "'");
}

std::size_t ExpectTraceMatchesTarget(const std::filesystem::path& trace, const std::string& server,
                                     const std::string& target) {
  std::ifstream in(trace, std::ios::binary);
  EXPECT_TRUE(in.good()) << trace;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  EXPECT_TRUE(text.ends_with("\r\n"));
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return 0;
  EXPECT_EQ(lines.front(), "SET DATEFORMAT DMY");

  std::size_t non_empty = 0;
  std::map<std::string, long long> inserts;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    ++non_empty;
    for (const std::string& table : CarriedTables()) {
      if (line.starts_with("INSERT INTO " + table + "(")) ++inserts[table];
    }
  }
  long long rows = 0;
  for (const auto& [table, count] : CountCarriedRows(server, target)) {
    EXPECT_EQ(inserts[table], count) << table;
    rows += count;
  }
  // Every other line is the date order: each statement of the trace made one row.
  EXPECT_EQ(non_empty, static_cast<std::size_t>(rows) + 1);
  return non_empty;
}

namespace {

std::vector<std::string> TraceLines(const std::filesystem::path& trace) {
  std::ifstream in(trace, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace

void PlaceShortNameTarget(const std::string& server, const std::filesystem::path& data_dir,
                          int year) {
  std::ifstream in(DEVIR_YEAR_SCHEMA_SQL, std::ios::binary);
  ASSERT_TRUE(in.good()) << DEVIR_YEAR_SCHEMA_SQL;
  std::ostringstream text;
  text << in.rdbuf();
  std::string schema = text.str();
  schema.resize(schema.find("-- sirketambar"));  // the registry is no part of a year
  const std::string wide = "STOKADI nvarchar(100)";
  const auto at = schema.find(wide);
  ASSERT_NE(at, std::string::npos);
  schema.replace(at, wide.size(), "STOKADI nvarchar(99)");

  RunSql(server, "master", "CREATE DATABASE KisaAd");
  RunSql(server, "KisaAd", schema);
  RunSql(server, "master", "sp_detach_db 'KisaAd'");
  const std::string name = "E" + std::to_string(year);
  std::filesystem::rename(data_dir / "KisaAd_Data.MDF", data_dir / (name + "_Data.MDF"));
  std::filesystem::rename(data_dir / "KisaAd_Log.LDF", data_dir / (name + "_Log.LDF"));
}

std::string FirstTooLongNameLine(const std::filesystem::path& trace, const std::string& server,
                                 const std::string& source) {
  const Rows codes = Read(server, source, "SELECT STOKKODU FROM STOK WHERE LEN(STOKADI) = 100");
  EXPECT_FALSE(codes.values.empty()) << "the sample has no name of 100 characters";
  for (const std::string& line : TraceLines(trace)) {
    if (!line.starts_with("INSERT INTO STOK(")) continue;
    for (const auto& code : codes.values) {
      if (line.find("N'" + *Text(code[0]) + "'") != std::string::npos) return line;
    }
  }
  ADD_FAILURE() << "no STOK statement with a name of 100 characters in " << trace;
  return {};
}

FilesSnapshot SnapshotDatabaseFiles(const std::filesystem::path& data_dir,
                                    const std::string& database) {
  FilesSnapshot snapshot;
  for (const auto& entry : std::filesystem::directory_iterator(data_dir)) {
    const std::string name = entry.path().filename().string();
    if (!database.empty() && !name.starts_with(database + "_")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::uint64_t digest = 14695981039346656037ull;  // FNV-1a
    std::uintmax_t size = 0;
    for (char c; in.get(c); ++size) {
      digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    snapshot.files[name] = {size, digest};
  }
  return snapshot;
}

}  // namespace devir::testing
