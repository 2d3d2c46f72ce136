// Values the script cannot carry, found row by row with their keys.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "check/checks.h"
#include "tests/script/fake_row_source.h"

namespace devir::check {
namespace {

using script::testing::FakeResult;
using script::testing::FakeRowSource;
using script::testing::Type;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A source whose copied tables and movements are empty unless a test fills them.
class ValueChecksTest : public ::testing::Test {
 protected:
  ValueChecksTest() {
    for (const char* table : {"STOK", "HESAPKODU", "DUZEYKODU1", "DUZEYKODU2", "DUZEYKODU3",
                              "DUZEYKODU4", "DUZEYKODU5"}) {
      rows_.Answer(std::string("SELECT * FROM ") + table,
                   {{{"KODU", Type("nvarchar", 20)}, {"STOKKODU", Type("nvarchar", 30)}}, {}});
    }
    rows_.Answer(kMovementsSql,
                 {{{"ID", Type("int")}, {"ADET", Type("float")}, {"FIYAT", Type("float")}}, {}});
  }

  static constexpr char kMovementsSql[] =
      "SELECT ID, ADET, FIYAT FROM STOKHAREKET WHERE NOT (ADET BETWEEN -1.7976931348623157E308 "
      "AND 1.7976931348623157E308) OR NOT (FIYAT BETWEEN -1.7976931348623157E308 AND "
      "1.7976931348623157E308) ORDER BY ID";

  FakeRowSource rows_;
};

TEST_F(ValueChecksTest, FloatsThatNoStatementCanCarryAreErrorsWithTheirKeys) {
  rows_.Answer("SELECT * FROM STOK",
               {{{"STOKKODU", Type("nvarchar", 30)}, {"HACIM", Type("float")}},
                {{std::string("A"), 1.5},
                 {std::string("B"), -kInfinity},
                 {std::string("C"), std::numeric_limits<double>::quiet_NaN()}}});
  rows_.Answer(kMovementsSql,
               {{{"ID", Type("int")}, {"ADET", Type("float")}, {"FIYAT", Type("float")}},
                {{std::int64_t{7}, 2.0, kInfinity}}});
  CheckReport report;
  CheckValues(rows_, 1254, report);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].severity, Severity::kError);
  EXPECT_EQ(report.findings[0].examples,
            (std::vector<std::string>{"STOK STOKKODU B, HACIM: -INF", "STOK STOKKODU C, HACIM: NAN",
                                      "STOKHAREKET ID 7, FIYAT: INF"}));
}

// The script writes char, varchar and text values as '...', which the server reads in its
// code page; N'...' values keep every character.
TEST_F(ValueChecksTest, NonUnicodeTextTheCodePageLacksIsAnError) {
  rows_.Answer("SELECT * FROM HESAPKODU",
               {{{"KODU", Type("nvarchar", 20)},
                 {"DOVIZ", Type("char", 3)},
                 {"ADI", Type("nvarchar", 100)},
                 {"NOT", Type("varchar", 50)}},
                {{std::string("100"), std::string("€"), std::string("Ω"), std::string("Şişe")},
                 {std::string("200"), std::string("TL"), std::string("x"), std::string("ΩΩ")}}});
  CheckReport report;
  CheckValues(rows_, 1254, report);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].what,
            "text that the server's code page 1254 cannot hold in a varchar column");
  EXPECT_EQ(report.findings[0].examples,
            (std::vector<std::string>{"HESAPKODU KODU 200, NOT: 2 characters"}));
}

}  // namespace
}  // namespace devir::check
