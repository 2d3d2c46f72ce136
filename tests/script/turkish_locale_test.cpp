// The statements mean the same on every machine: under a Turkish locale (decimal comma,
// dotted and dotless i) the literals still have a decimal point and day.month.year dates.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <locale>
#include <stdexcept>
#include <string>

#include "db/general_number.h"
#include "script/field_to_sql.h"
#include "script/opening_stock_entries.h"
#include "script/table_copy_script.h"
#include "tests/script/fake_row_source.h"
#include "tests/script/leak_check_pause.h"
#include "tests/script/scoped_environment.h"

namespace devir::script {
namespace {

using testing::FakeResult;
using testing::FakeRowSource;
using testing::LeakCheckPause;
using testing::ScopedEnvironment;
using testing::Type;

#ifdef _WIN32
// The C runtime's name for it; MinGW's C++ library knows no named locales, so only the C
// locale (printf's decimal comma) is switched there.
constexpr const char* kTurkish = "Turkish_Turkey.1254";
#else
constexpr const char* kTurkish = "tr_TR.UTF-8";
#endif

class TurkishLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const LeakCheckPause pause;
    if (std::setlocale(LC_ALL, kTurkish) == nullptr) {
      GTEST_SKIP() << "locale " << kTurkish << " is not available in " << DEVIR_TEST_LOCALE_DIR;
    }
#ifndef _WIN32
    try {
      std::locale::global(std::locale(kTurkish));
    } catch (const std::runtime_error&) {
      GTEST_SKIP() << "no C++ locale " << kTurkish;
    }
#endif
    // The locale is really in force: the C library now writes a decimal comma.
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    ASSERT_STREQ(buffer, "1,5");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
  }

  ScopedEnvironment locale_path_{"LOCPATH", DEVIR_TEST_LOCALE_DIR};
};

TEST_F(TurkishLocale, NumbersKeepTheDecimalPoint) {
  EXPECT_EQ(FieldToSql(db::Field("A", Type("float"), 1.5)), "1.5");
  EXPECT_EQ(FieldToSql(db::Field("A", Type("float"), 1.5e-5)), "1.5E-5");
  EXPECT_EQ(FieldToSql(db::Field("A", Type("real"), static_cast<double>(0.1f))), "0.1");
  EXPECT_EQ(FieldToSql(db::Field("A", Type("bigint"), std::int64_t{1234567})), "1234567");
  EXPECT_EQ(FieldToSql(db::Field("A", Type("decimal", 0, 18, 4), std::string("1234.5678"))),
            "1234.5678");
  EXPECT_EQ(db::GeneralNumberText(2.5 * 4), "10");
}

TEST_F(TurkishLocale, DatesAreDayMonthYear) {
  EXPECT_EQ(FieldToSql(db::Field("A", Type("datetime"), db::DateTime{2017, 3, 5, 14, 30})),
            "'05.03.2017 14:30:00.000'");
}

TEST_F(TurkishLocale, TurkishLettersAreNotCaseFolded) {
  EXPECT_EQ(FieldToSql(db::Field("A", Type("NVARCHAR", 10), std::string("Iıİi"))), "N'Iıİi'");
}

TEST_F(TurkishLocale, CarryOverOfTwoAndAHalfAtFourIsTen) {
  FakeResult balance;
  balance.columns = {{"DEPOKODU", Type("nvarchar", 10)}, {"STOKKODU", Type("nvarchar", 30)},
                     {"BIRIM", Type("nvarchar", 10)},    {"KDVORAN", Type("int")},
                     {"KALAN", Type("float")},           {"FIYAT", Type("float")}};
  balance.rows = {
      {std::string("01"), std::string("A"), std::string("KG"), std::int64_t{8}, 2.5, 4.0}};
  FakeRowSource rows;
  rows.Answer("q", balance);
  StatementList statements;
  AddOpeningStockEntries(rows, "q", db::DateTime{2018, 1, 1}, statements);
  ASSERT_EQ(statements.Items().size(), 1u);
  EXPECT_TRUE(statements.Items()[0].ends_with(
      "N'01','01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',N'KG',8,N'A',2.5,4,10)"))
      << statements.Items()[0];
}

}  // namespace
}  // namespace devir::script
