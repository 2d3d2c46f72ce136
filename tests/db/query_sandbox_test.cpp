#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_error.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

// Which alternative of FieldValue a column's value takes.
enum class Form { Text, Integer, Double, DateTime, Bytes };

bool HasForm(const FieldValue& value, Form form) {
  switch (form) {
    case Form::Text:
      return std::holds_alternative<std::string>(value);
    case Form::Integer:
      return std::holds_alternative<std::int64_t>(value);
    case Form::Double:
      return std::holds_alternative<double>(value);
    case Form::DateTime:
      return std::holds_alternative<DateTime>(value);
    case Form::Bytes:
      return std::holds_alternative<Bytes>(value);
  }
  return false;
}

class SandboxQueryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new SandboxProcess(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    connection_.SetConnectionString(
        BuildAdoConnectionString({"SQLOLEDB", "E2017", server_->DataSource(), "sa", "qolvanet"}));
    connection_.Connect();
  }

  // Opens the STOK card with the given code, every column.
  void OpenCard(const std::string& code) {
    query_.SetSql("SELECT * FROM STOK WHERE STOKKODU = N'" + code + "'");
    query_.Open();
    ASSERT_FALSE(query_.Eof()) << code;
  }

  std::string Text(const char* name) const { return query_.FieldByName(name).AsText(); }

  static SandboxProcess* server_;
  Connection connection_;
  Query query_{connection_};
};

SandboxProcess* SandboxQueryTest::server_ = nullptr;

struct ColumnCase {
  const char* name;
  FieldKind kind;
  Form form;
};

// Every column of STOK: the kind the literal maker sees and the form its value arrives in.
constexpr ColumnCase kStokColumns[] = {
    {"ID", FieldKind::Integer, Form::Integer},
    {"STOKKODU", FieldKind::Text, Form::Text},
    {"STOKADI", FieldKind::Text, Form::Text},
    {"BIRIM", FieldKind::Text, Form::Text},
    {"HESAPKODU", FieldKind::Text, Form::Text},
    {"DKODU1", FieldKind::Text, Form::Text},
    {"DKODU5", FieldKind::Text, Form::Text},
    {"SIRA", FieldKind::Integer, Form::Integer},
    {"KDVORAN", FieldKind::Integer, Form::Integer},
    {"BARKOD", FieldKind::Text, Form::Text},
    {"KISAAD", FieldKind::Text, Form::Text},
    {"URETICI", FieldKind::Text, Form::Text},
    {"ALISFIYATI", FieldKind::Other, Form::Text},
    {"SATISFIYATI", FieldKind::Other, Form::Text},
    {"ISKONTO", FieldKind::Other, Form::Text},
    {"MINSTOK", FieldKind::Integer, Form::Text},
    {"AGIRLIK", FieldKind::Float, Form::Double},
    {"HACIM", FieldKind::Float, Form::Double},
    {"KOLIADET", FieldKind::Integer, Form::Integer},
    {"TIP", FieldKind::Integer, Form::Integer},
    {"KAYITNO", FieldKind::Other, Form::Integer},
    {"PASIF", FieldKind::Other, Form::Integer},
    {"GUID", FieldKind::Text, Form::Text},
    {"OLUSTURMA", FieldKind::DateTime, Form::DateTime},
    {"GUNCELLEME", FieldKind::DateTime, Form::DateTime},
    {"SONSAYIM", FieldKind::Text, Form::Text},
    {"SAYIMSAATI", FieldKind::Text, Form::Text},
    {"DEGISIKLIK", FieldKind::Text, Form::Text},
    {"ZAMANDAMGASI", FieldKind::Text, Form::Text},
    {"NOTLAR", FieldKind::Other, Form::Text},
    {"ACIKLAMA", FieldKind::Other, Form::Text},
    {"ETIKET", FieldKind::Other, Form::Text},
    {"ESKIACIKLAMA", FieldKind::Other, Form::Text},
    {"RESIM", FieldKind::Other, Form::Bytes},
    {"KOD", FieldKind::Other, Form::Bytes},
    {"OZELLIK", FieldKind::Other, Form::Text},
    {"SURUM", FieldKind::Other, Form::Bytes},
};

TEST_F(SandboxQueryTest, EveryStokColumnHasItsKindAndValueForm) {
  OpenCard("TAM-001");
  EXPECT_EQ(query_.FieldCount(), 40);
  for (const ColumnCase& column : kStokColumns) {
    const Field& field = query_.FieldByName(column.name);
    EXPECT_EQ(field.Kind(), column.kind) << column.name << " " << field.Type().type_name;
    EXPECT_TRUE(HasForm(field.Value(), column.form))
        << column.name << " " << field.Type().type_name;
  }
}

TEST_F(SandboxQueryTest, FullCardValuesArriveExactly) {
  OpenCard("TAM-001");
  EXPECT_EQ(Text("STOKADI"), "Çelik vida M6 ğüşıöçĞÜŞİÖÇ");
  EXPECT_EQ(Text("KISAAD"), "VİDA M6   ");  // char(10) keeps its padding
  EXPECT_EQ(Text("URETICI"), "Öztürk    ");
  EXPECT_EQ(Text("ALISFIYATI"), "12.5000");
  EXPECT_EQ(Text("SATISFIYATI"), "18.7500");
  EXPECT_EQ(Text("ISKONTO"), "2.5000");
  EXPECT_EQ(Text("MINSTOK"), "100");
  EXPECT_EQ(Text("AGIRLIK"), "0.25");
  EXPECT_EQ(Text("HACIM"), "0.333333333333333");
  EXPECT_EQ(Text("KAYITNO"), "4294967296");
  EXPECT_EQ(Text("PASIF"), "0");
  EXPECT_EQ(Text("GUID"), "C0FFEE00-1234-4A5B-8C9D-0123456789AB");
  EXPECT_EQ(query_.FieldByName("OLUSTURMA").AsDateTime(),
            (DateTime{2017, 1, 2, 9, 15, 30, 250000000}));
  EXPECT_EQ(Text("GUNCELLEME"), "29.12.2017 17:45:00");
  EXPECT_EQ(Text("SONSAYIM"), "2017-12-31");
  EXPECT_EQ(Text("SAYIMSAATI"), "13:45:10.1234567");
  EXPECT_EQ(Text("DEGISIKLIK"), "2017-11-30 23:59:59.9999999");
  EXPECT_EQ(Text("ZAMANDAMGASI"), "2017-07-15 08:00:00.0000000 +03:00");
  EXPECT_EQ(Text("KOD"), "0A0B0C0D");
  EXPECT_EQ(Text("ESKIACIKLAMA"), "Eski açıklama ığüşöç");
  EXPECT_EQ(Text("OZELLIK"), "<ozellik renk=\"kırmızı\" boy=\"6\"/>");
}

TEST_F(SandboxQueryTest, LongValuesArriveWhole) {
  OpenCard("TAM-001");
  const std::string notes = Text("NOTLAR");
  EXPECT_GT(notes.size(), 4000u);
  EXPECT_TRUE(notes.starts_with("Satır 001: paslanmaz çelik vida, ğüşıöç ĞÜŞİÖÇ. ")) << notes;
  EXPECT_TRUE(notes.ends_with("Satır 100: paslanmaz çelik vida, ğüşıöç ĞÜŞİÖÇ. "));
  const std::string label = Text("ETIKET");
  EXPECT_EQ(label.size(), std::string("ETİKET-").size() + 9000);
  EXPECT_TRUE(label.ends_with("0123456789"));
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes += static_cast<char>(b);
  EXPECT_EQ(std::get<Bytes>(query_.FieldByName("RESIM").Value()).data, all_bytes);
}

TEST_F(SandboxQueryTest, LimitValuesKeepEveryDigit) {
  OpenCard("TAM-002");
  EXPECT_EQ(Text("ALISFIYATI"), "922337203685477.5807");
  EXPECT_EQ(Text("SATISFIYATI"), "99999999999999.9999");
  EXPECT_EQ(Text("ISKONTO"), "-214748.3648");
  EXPECT_EQ(Text("MINSTOK"), "999999999");
  EXPECT_EQ(Text("SIRA"), "2147483647");
  EXPECT_EQ(Text("KOLIADET"), "-32768");
  EXPECT_EQ(Text("TIP"), "255");
  EXPECT_EQ(Text("KAYITNO"), "9007199254740993");
  EXPECT_EQ(Text("HACIM"), "1E-5");
  EXPECT_EQ(Text("AGIRLIK"), "0.100000001490116");  // a real widened exactly
  EXPECT_EQ(Text("OLUSTURMA"), "31.12.2017 23:59:59");
  EXPECT_EQ(query_.FieldByName("OLUSTURMA").AsDateTime().nanosecond, 997000000u);
  EXPECT_EQ(Text("SONSAYIM"), "0001-01-01");
  EXPECT_EQ(Text("DEGISIKLIK"), "9999-12-31 23:59:59.9999999");
  EXPECT_EQ(Text("ZAMANDAMGASI"), "2017-01-01 00:00:00.0000000 -03:30");
  EXPECT_EQ(Text("KOD"), "FFFFFFFF");
  EXPECT_FALSE(query_.FieldByName("RESIM").IsNull());
  EXPECT_EQ(Text("RESIM"), "");
  EXPECT_EQ(query_.FieldByName("ALISFIYATI").AsFloat(), 922337203685477.5807);
}

TEST_F(SandboxQueryTest, BareCardGivesNullsOfEveryType) {
  OpenCard("BOS-001");
  for (const ColumnCase& column : kStokColumns) {
    const std::string name = column.name;
    if (name == "ID" || name == "STOKKODU" || name == "PASIF" || name == "SURUM") continue;
    const Field& field = query_.FieldByName(column.name);
    EXPECT_TRUE(field.IsNull()) << column.name;
    EXPECT_EQ(field.AsText(), "") << column.name;
    EXPECT_EQ(field.AsFloat(), 0.0) << column.name;
  }
}

TEST_F(SandboxQueryTest, WalksRowsToEndOfData) {
  query_.SetSql("SELECT KODU FROM DEPO ORDER BY KODU");
  query_.Open();
  int rows = 0;
  std::string previous;
  for (; !query_.Eof(); query_.Next()) {
    const std::string code = query_.FieldAt(0).AsText();
    EXPECT_LT(previous, code);
    previous = code;
    ++rows;
  }
  EXPECT_GE(rows, 5);
  query_.Next();  // harmless at the end
  EXPECT_TRUE(query_.Eof());
  // The connection is free again for other statements.
  EXPECT_NO_THROW(connection_.Execute("DELETE FROM DEPO WHERE KODU = N'YOK'"));
}

TEST_F(SandboxQueryTest, ClosingHalfWayFreesTheConnectionForTheNextStatement) {
  query_.SetSql("SELECT * FROM STOKHAREKET");
  query_.Open();
  ASSERT_FALSE(query_.Eof());
  query_.Next();
  query_.Close();
  EXPECT_FALSE(query_.IsOpen());
  EXPECT_NO_THROW(connection_.Execute("DELETE FROM DEPO WHERE KODU = N'YOK'"));
  query_.SetSql("SELECT KODU FROM DEPO WHERE KODU = N'01'");
  query_.Open();
  EXPECT_EQ(query_.FieldAt(0).AsText(), "01");
}

TEST_F(SandboxQueryTest, EmptyResultIsEofAtOnceWithFieldsNamed) {
  query_.SetSql("SELECT KODU, ADI FROM DEPO WHERE KODU = N'YOK'");
  query_.Open();
  EXPECT_TRUE(query_.Eof());
  EXPECT_EQ(query_.FieldCount(), 2);
  EXPECT_EQ(query_.FieldAt(1).Name(), "ADI");
}

TEST_F(SandboxQueryTest, FieldByNameIgnoresCaseAndNamesTheMissingField) {
  query_.SetSql("SELECT KODU, ADI FROM DEPO WHERE KODU = N'01'");
  query_.Open();
  EXPECT_EQ(query_.FieldByName("adi").Name(), "ADI");
  try {
    query_.FieldByName("YOKALAN");
    FAIL() << "absent field found";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("YOKALAN"), std::string::npos);
  }
  EXPECT_THROW(query_.FieldAt(2), DatabaseError);
  EXPECT_THROW(query_.FieldAt(-1), DatabaseError);
}

TEST_F(SandboxQueryTest, OpenSkipsLeadingRowCounts) {
  query_.SetSql("DELETE FROM DEPO WHERE KODU = N'YOK'; SELECT KODU FROM DEPO WHERE KODU = N'01'");
  query_.Open();
  ASSERT_FALSE(query_.Eof());
  EXPECT_EQ(query_.FieldAt(0).AsText(), "01");
}

TEST_F(SandboxQueryTest, MissingTableGivesTheServersText) {
  query_.SetSql("SELECT * FROM NO_SUCH_TABLE");
  try {
    query_.Open();
    FAIL() << "opened a missing table";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.NativeError(), 208);
    EXPECT_EQ(error.SqlState(), "42S02");
    EXPECT_STREQ(error.what(), "[FreeTDS][SQL Server]Invalid object name 'NO_SUCH_TABLE'.");
  }
  EXPECT_FALSE(query_.IsOpen());
}

TEST_F(SandboxQueryTest, OpenOfAStatementWithoutRowsIsAnError) {
  query_.SetSql("DELETE FROM DEPO WHERE KODU = N'YOK'");
  EXPECT_THROW(query_.Open(), DatabaseError);
}

TEST_F(SandboxQueryTest, DisconnectWhileOpenLeavesTheQuerySafe) {
  query_.SetSql("SELECT KODU FROM DEPO");
  query_.Open();
  connection_.Disconnect();
  EXPECT_THROW(query_.Next(), DatabaseError);
  query_.Close();
}

}  // namespace
}  // namespace devir::db
