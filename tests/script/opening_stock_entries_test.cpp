#include "script/opening_stock_entries.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "tests/script/fake_row_source.h"

namespace devir::script {
namespace {

using testing::FakeResult;
using testing::FakeRowSource;
using testing::Type;

constexpr char kBalanceSql[] = "balance query";
constexpr char kHead[] =
    "INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,STOKKODU,"
    "ADET,FIYAT,TUTAR) VALUES (";

// One balance row; the field names' case differs from the query's, as a server may return.
std::vector<db::FieldValue> Row(db::FieldValue depot, db::FieldValue item, db::FieldValue unit,
                                db::FieldValue vat, double quantity, double price) {
  std::vector<db::FieldValue> row = {std::string("Depo"), std::move(depot), std::move(item),
                                     std::string("Ad"), std::move(unit)};
  for (int i = 0; i < 7; ++i) row.emplace_back();  // HESAPKODU, DKODU1..5, SIRA
  row.push_back(std::move(vat));
  row.emplace_back(quantity);
  row.emplace_back(price);
  return row;
}

FakeResult Balance(std::vector<std::vector<db::FieldValue>> rows) {
  FakeResult result;
  result.columns = {{"DEPOADI", Type("nvarchar", 50)},
                    {"DepoKodu", Type("nvarchar", 10)},
                    {"STOKKODU", Type("nvarchar", 30)},
                    {"STOKADI", Type("nvarchar", 100)},
                    {"Birim", Type("nvarchar", 10)},
                    {"HESAPKODU", Type("nvarchar", 20)},
                    {"DKODU1", Type("nvarchar", 20)},
                    {"DKODU2", Type("nvarchar", 20)},
                    {"DKODU3", Type("nvarchar", 20)},
                    {"DKODU4", Type("nvarchar", 20)},
                    {"DKODU5", Type("nvarchar", 20)},
                    {"SIRA", Type("int")},
                    {"KDVORAN", Type("int")},
                    {"Kalan", Type("float")},
                    {"fiyat", Type("float")}};
  result.rows = std::move(rows);
  return result;
}

std::vector<std::string> Entries(FakeRowSource& rows, const db::DateTime& date) {
  StatementList statements;
  AddOpeningStockEntries(rows, kBalanceSql, date, statements);
  return statements.Take();
}

TEST(AddOpeningStockEntries, WritesOneCarryOverMovementPerRow) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({Row(std::string("01"), std::string("A-100"),
                                        std::string("ADET"), std::int64_t{18}, 2.5, 4.0),
                                    Row(std::string("02"), std::string("Ç'1"), std::string("KG"),
                                        std::int64_t{8}, 7.0, 0.5)}));
  const std::vector<std::string> entries = Entries(rows, db::DateTime{2018, 1, 1});
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], std::string(kHead) +
                            "N'01','01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',"
                            "N'ADET',18,N'A-100',2.5,4,10)");
  EXPECT_EQ(entries[1], std::string(kHead) +
                            "N'02','01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',"
                            "N'KG',8,N'Ç''1',7,0.5,3.5)");
  EXPECT_EQ(rows.Opened(), std::vector<std::string>{kBalanceSql});
  EXPECT_EQ(rows.Closes(), 1);
}

TEST(AddOpeningStockEntries, DepotWithoutMovementsGivesNullItemAndZeros) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({Row(std::string("03"), {}, {}, {}, 0.0, 0.0)}));
  EXPECT_EQ(Entries(rows, db::DateTime{2018, 1, 1}),
            std::vector<std::string>{std::string(kHead) +
                                     "N'03','01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR',"
                                     "'DFISI',NULL,NULL,NULL,0,0,0)"});
}

TEST(AddOpeningStockEntries, IssuedMoreThanReceivedGivesNegativeQuantityAndAmount) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({Row(std::string("01"), std::string("X"), std::string("AD"),
                                        std::int64_t{18}, -3.0, 5.0),
                                    Row(std::string("01"), std::string("Y"), std::string("AD"),
                                        std::int64_t{18}, -3.0, 0.0)}));
  const std::vector<std::string> entries = Entries(rows, db::DateTime{2018, 1, 1});
  EXPECT_TRUE(entries.at(0).ends_with(",N'X',-3,5,-15)")) << entries.at(0);
  // Never received: no entry price, so the amount is 0 (never "-0").
  EXPECT_TRUE(entries.at(1).ends_with(",N'Y',-3,0,0)")) << entries.at(1);
}

// The amount is fifteen-digit general number text, while the copied values keep every bit.
TEST(AddOpeningStockEntries, AmountIsGeneralNumberText) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({Row(std::string("01"), std::string("X"), std::string("AD"),
                                        std::int64_t{18}, 3.0, 0.1),
                                    Row(std::string("01"), std::string("Y"), std::string("AD"),
                                        std::int64_t{18}, 1e10, 1e10)}));
  const std::vector<std::string> entries = Entries(rows, db::DateTime{2018, 1, 1});
  EXPECT_TRUE(entries.at(0).ends_with(",3,0.1,0.3)")) << entries.at(0);
  EXPECT_TRUE(entries.at(1).ends_with(",10000000000,10000000000,1E20)")) << entries.at(1);
}

TEST(AddOpeningStockEntries, DateIsTheDayOnlyWithFourDigitYear) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({Row(std::string("01"), {}, {}, {}, 0.0, 0.0)}));
  const std::string entry = Entries(rows, db::DateTime{2018, 2, 3, 14, 30, 5, 7}).at(0);
  EXPECT_NE(entry.find(",'03.02.2018','DEVIR',"), std::string::npos) << entry;
}

TEST(AddOpeningStockEntries, NoRowsGiveNoEntries) {
  FakeRowSource rows;
  rows.Answer(kBalanceSql, Balance({}));
  EXPECT_TRUE(Entries(rows, db::DateTime{2018, 1, 1}).empty());
}

TEST(AddOpeningStockEntries, MissingFieldFailsAndClosesTheQuery) {
  FakeResult result = Balance({Row(std::string("01"), {}, {}, {}, 0.0, 0.0)});
  result.columns[13].name = "KALANX";
  FakeRowSource rows;
  rows.Answer(kBalanceSql, result);
  StatementList statements;
  EXPECT_THROW(AddOpeningStockEntries(rows, kBalanceSql, db::DateTime{2018, 1, 1}, statements),
               std::runtime_error);
  EXPECT_FALSE(rows.IsOpen());
}

}  // namespace
}  // namespace devir::script
