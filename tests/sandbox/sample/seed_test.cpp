// The small sample seeded through the engine, read back with SELECTs.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/engine/engine.h"
#include "sandbox/sample/cell.h"
#include "sandbox/sample/sample_codes.h"
#include "sandbox/sample/seed.h"
#include "tests/sandbox/sample/engine_session.h"

namespace sandbox::sample {
namespace {

using testing::Dump;
using testing::ErrorsOf;
using testing::Query;
using testing::Scalar;
using testing::TempFolder;

const char* const kYearTables[] = {"DEPO",       "STOK",       "STOKHAREKET",
                                   "HESAPKODU",  "DUZEYKODU1", "DUZEYKODU2",
                                   "DUZEYKODU3", "DUZEYKODU4", "DUZEYKODU5"};

std::string N(std::string_view text) {
  return ToLiteral(Unicode(text));
}

std::int64_t Count(Session& session, const std::string& from_where) {
  return std::get<std::int64_t>(Scalar(session, "SELECT COUNT(*) FROM " + from_where));
}

void SeedSmall(const std::filesystem::path& data_dir, std::uint64_t seed = 2017) {
  SeedOptions options;
  options.data_dir = data_dir;
  options.random_seed = seed;
  Seed(options);
}

class SeededSampleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    SeedSmall(folder_->Path());
    engine_ = new Engine(folder_->Path(), {});
  }
  static void TearDownTestSuite() {
    delete engine_;
    delete folder_;
  }
  void SetUp() override { session_ = engine_->OpenSession("E2017"); }

  std::string Text(const std::string& sql) { return std::get<std::string>(Scalar(*session_, sql)); }

  // Received minus issued, as the carry-over computes it.
  double Remainder(std::string_view depot, std::string_view item) {
    const auto sum = [&](const char* column) {
      const Value value =
          Scalar(*session_, "SELECT SUM(ADET) FROM STOKHAREKET WHERE " + std::string(column) + "=" +
                                N(depot) + " AND STOKKODU=" + N(item));
      return std::holds_alternative<double>(value) ? std::get<double>(value) : 0.0;
    };
    return sum("GDEPO") - sum("CDEPO");
  }

  static TempFolder* folder_;
  static Engine* engine_;
  std::unique_ptr<Session> session_;
};

TempFolder* SeededSampleTest::folder_ = nullptr;
Engine* SeededSampleTest::engine_ = nullptr;

TEST_F(SeededSampleTest, RegistryHoldsTheClosingYear) {
  const auto registry = engine_->OpenSession("sirketambar");
  const auto rows = Query(*registry, "SELECT SirketAdi, CalismaYili, DBAdi FROM sirketler").rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (Row{std::string("E2017"), std::string("2017"), std::string("E2017")}));
}

TEST_F(SeededSampleTest, YearTablesStayOutOfTheRegistryDatabase) {
  const auto registry = engine_->OpenSession("sirketambar");
  EXPECT_EQ(ErrorsOf(*registry, "SELECT * FROM STOK"), std::vector<int>{208});
}

TEST_F(SeededSampleTest, DatabaseFilesLieInTheDataFolder) {
  EXPECT_TRUE(std::filesystem::exists(folder_->Path() / "E2017_Data.MDF"));
  EXPECT_TRUE(std::filesystem::exists(folder_->Path() / "E2017_Log.LDF"));
}

TEST_F(SeededSampleTest, TablesHoldTheSmallSample) {
  const std::int64_t expected[] = {7, 42, 300, 30, 6, 7, 8, 5, 0};
  for (std::size_t i = 0; i < std::size(kYearTables); ++i) {
    EXPECT_EQ(Count(*session_, kYearTables[i]), expected[i]) << kYearTables[i];
  }
}

TEST_F(SeededSampleTest, IdleDepotHasNoMovement) {
  const std::string depot = N(codes::kIdleDepot);
  EXPECT_EQ(Count(*session_, "DEPO WHERE KODU=" + depot), 1);
  EXPECT_EQ(Count(*session_, "STOKHAREKET WHERE GDEPO=" + depot + " OR CDEPO=" + depot), 0);
}

TEST_F(SeededSampleTest, ItemsWithoutMovementsHaveCards) {
  for (const std::string_view item : {codes::kBareCard, codes::kIdleCard}) {
    EXPECT_EQ(Count(*session_, "STOK WHERE STOKKODU=" + N(item)), 1) << item;
    EXPECT_EQ(Count(*session_, "STOKHAREKET WHERE STOKKODU=" + N(item)), 0) << item;
  }
  EXPECT_EQ(Count(*session_, "STOK WHERE STOKKODU=" + N(codes::kCardlessItem)), 0);
  EXPECT_GT(Count(*session_, "STOKHAREKET WHERE STOKKODU=" + N(codes::kCardlessItem)), 0);
}

TEST_F(SeededSampleTest, RemaindersCoverZeroNegativeAndFraction) {
  struct Case {
    std::string_view depot;
    std::string_view item;
    double remainder;
  };
  const Case cases[] = {
      {codes::kZeroRemainderDepot, codes::kZeroRemainderCard, 0},
      {codes::kNeverReceivedDepot, codes::kNeverReceivedCard, -4},
      {codes::kMainDepot, codes::kNeverReceivedCard, 6},
      {codes::kOverIssuedDepot, codes::kOverIssuedCard, -3},
      {codes::kFractionDepot, codes::kFractionCard, 2.5},
      {codes::kMainDepot, codes::kTransferCard, 8},
      {codes::kBranchDepot, codes::kTransferCard, 12},
      {codes::kBranchDepot, codes::kTurkishCard, 10},
      {codes::kBranchDepot, codes::kQuoteCard, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Remainder(c.depot, c.item), c.remainder) << c.depot << " " << c.item;
  }
  EXPECT_EQ(Count(*session_, "STOKHAREKET WHERE GDEPO=" + N(codes::kNeverReceivedDepot)), 0);
}

// Depots 03, 04, 06 and 07 see one item each, so the depot totals equal the item's remainder
// too.
TEST_F(SeededSampleTest, EdgeDepotsHoldOneItemEach) {
  for (const std::string_view depot : {codes::kZeroRemainderDepot, codes::kNeverReceivedDepot,
                                       codes::kOverIssuedDepot, codes::kFractionDepot}) {
    const auto rows =
        Query(*session_, "SELECT DISTINCT STOKKODU FROM STOKHAREKET WHERE GDEPO=" + N(depot) +
                             " OR CDEPO=" + N(depot))
            .rows;
    EXPECT_EQ(rows.size(), 1u) << depot;
  }
}

TEST_F(SeededSampleTest, TurkishLettersQuotesAndLineBreaksRoundTrip) {
  const auto name_of = [&](std::string_view item) {
    return Text("SELECT STOKADI FROM STOK WHERE STOKKODU=" + N(item));
  };
  EXPECT_EQ(name_of(codes::kQuoteCard), "O'Brien");
  EXPECT_EQ(name_of(codes::kQuotedNameCard), "'A''lı'");
  EXPECT_EQ(name_of(codes::kTurkishCard), "Şişe ğüşıöç ĞÜŞİÖÇ");
  EXPECT_EQ(name_of(codes::kEmptyTextCard), "");
  EXPECT_EQ(Text("SELECT ADI FROM DEPO WHERE KODU=" + N(codes::kNeverReceivedDepot)),
            "ÇIĞIR DEPO ğüşıöç");
  // char and text columns keep Turkish letters in code page 1254.
  EXPECT_EQ(Text("SELECT KISAAD FROM STOK WHERE STOKKODU=" + N(codes::kMaxLengthCard)),
            "ÇĞİÖŞÜçğıö");
  EXPECT_EQ(Text("SELECT ESKIACIKLAMA FROM STOK WHERE STOKKODU=" + N(codes::kFullCard)),
            "Eski açıklama ığüşöç");
  EXPECT_EQ(Text("SELECT ACIKLAMA FROM STOKHAREKET WHERE CDEPO=" + N(codes::kOverIssuedDepot) +
                 " AND STOKKODU=" + N(codes::kOverIssuedCard)),
            "Müşteri iadesi bekleniyor\r\nİkinci satır: eksik teslim");
}

TEST_F(SeededSampleTest, EveryStokColumnHasAValueAndNullableOnesANull) {
  const auto result = Query(*session_, "SELECT * FROM STOK");
  ASSERT_FALSE(result.rows.empty());
  int columns_with_null = 0;
  for (std::size_t i = 0; i < result.columns.size(); ++i) {
    bool value = false;
    bool null = false;
    for (const Row& row : result.rows) {
      (std::holds_alternative<std::monostate>(row[i]) ? null : value) = true;
    }
    EXPECT_TRUE(value) << result.columns[i].name;
    columns_with_null += null;
  }
  // All but ID, STOKKODU, PASIF and SURUM are NULL on the bare card.
  EXPECT_EQ(columns_with_null, static_cast<int>(result.columns.size()) - 4);
}

TEST_F(SeededSampleTest, LimitValuesAreStoredExactly) {
  const auto rows = Query(*session_,
                          "SELECT KAYITNO, ALISFIYATI, SATISFIYATI, ISKONTO, TIP, KOLIADET, "
                          "OLUSTURMA, RESIM FROM STOK WHERE STOKKODU=" +
                              N(codes::kLimitsCard))
                        .rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], Value(std::int64_t{9007199254740993}));
  EXPECT_EQ(rows[0][1], Value(std::string("922337203685477.5807")));
  EXPECT_EQ(rows[0][2], Value(std::string("99999999999999.9999")));
  EXPECT_EQ(rows[0][3], Value(std::string("-214748.3648")));
  EXPECT_EQ(rows[0][4], Value(std::int64_t{255}));
  EXPECT_EQ(rows[0][5], Value(std::int64_t{-32768}));
  EXPECT_EQ(std::get<std::string>(rows[0][6]).substr(0, 23), "2017-12-31 23:59:59.997");
  EXPECT_EQ(rows[0][7], Value(Blob{""}));

  const auto full =
      Query(*session_, "SELECT NOTLAR, RESIM FROM STOK WHERE STOKKODU=" + N(codes::kFullCard)).rows;
  ASSERT_EQ(full.size(), 1u);
  EXPECT_GT(std::get<std::string>(full[0][0]).size(), 4000u);
  EXPECT_EQ(std::get<Blob>(full[0][1]).bytes.size(), 256u);
}

TEST(SeedTest, SameSeedSameDataOtherSeedOtherData) {
  TempFolder first;
  TempFolder second;
  TempFolder other;
  SeedSmall(first.Path());
  SeedSmall(second.Path());
  SeedSmall(other.Path(), 99);
  Engine first_engine(first.Path(), {});
  Engine second_engine(second.Path(), {});
  Engine other_engine(other.Path(), {});
  const auto a = first_engine.OpenSession("E2017");
  const auto b = second_engine.OpenSession("E2017");
  const auto c = other_engine.OpenSession("E2017");
  for (const char* table : kYearTables) {
    EXPECT_EQ(Dump(*a, table), Dump(*b, table)) << table;
  }
  EXPECT_NE(Dump(*a, "STOKHAREKET"), Dump(*c, "STOKHAREKET"));
}

TEST(SeedTest, LargeSampleAtATinyScale) {
  TempFolder folder;
  SeedOptions options;
  options.data_dir = folder.Path();
  options.sample = "large";
  options.scale = 0.001;
  Seed(options);
  Engine engine(folder.Path(), {});
  const auto session = engine.OpenSession("E2017");
  EXPECT_EQ(Count(*session, "STOK"), 100);
  EXPECT_EQ(Count(*session, "STOKHAREKET"), 2000);
  EXPECT_EQ(Count(*session, "HESAPKODU"), 30);
  EXPECT_EQ(Count(*session, "DUZEYKODU5"), 1);
  EXPECT_EQ(Count(*session, "STOKHAREKET WHERE GDEPO=N'05' OR CDEPO=N'05'"), 0);
}

TEST(SeedTest, RefusesAnUnknownSampleBeforeTouchingTheFolder) {
  TempFolder folder;
  SeedOptions options;
  options.data_dir = folder.Path() / "data";
  options.sample = "medium";
  EXPECT_THROW(Seed(options), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(options.data_dir));
}

TEST(SeedTest, SeedingTwiceReportsTheServersError) {
  TempFolder folder;
  SeedSmall(folder.Path());
  try {
    SeedSmall(folder.Path());
    FAIL() << "a second seed into the same folder succeeded";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("sirketambar"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace sandbox::sample
