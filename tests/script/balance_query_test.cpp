#include "script/balance_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/line_text.h"

namespace devir::script {
namespace {

// The sixteen lines as the query has always been written.
const std::vector<std::string> kPrintedLines = {
    "SELECT     dbo.DEPO.ADI AS DEPOADI, dbo.DEPO.KODU AS DEPOKODU, dbo.stokhareket.STOKKODU, "
    "ST.STOKADI, ST.BIRIM,",
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN, ISNULL",
    "                          ((SELECT     SUM(ADET)",
    "                              FROM         STOKHAREKET",
    "                              WHERE     GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - ISNULL",
    "                          ((SELECT     SUM(ADET)",
    "                              FROM         STOKHAREKET",
    "                              WHERE     CDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) AS KALAN, ISNULL",
    "                          ((SELECT     AVG(FIYAT)",
    "                              FROM         STOKHAREKET S",
    "                              WHERE     S.GDEPO = DEPO.KODU AND S.STOKKODU = "
    "STOKHAREKET.STOKKODU), 0) AS FIYAT",
    "FROM         dbo.STOK ST RIGHT OUTER JOIN",
    "                      dbo.stokhareket ON ST.STOKKODU = dbo.stokhareket.STOKKODU RIGHT OUTER "
    "JOIN",
    "                      dbo.DEPO ON dbo.DEPO.KODU = dbo.stokhareket.GDEPO OR dbo.DEPO.KODU = "
    "dbo.stokhareket.CDEPO",
    "GROUP BY dbo.DEPO.ADI, dbo.DEPO.KODU, dbo.stokhareket.STOKKODU, ST.STOKADI, ST.BIRIM,",
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN"};

std::string JoinedByCrLf(const std::vector<std::string>& lines) {
  std::string text = JoinLines(lines);
  text.resize(text.size() - 2);  // no break after the last line
  return text;
}

TEST(BalanceQuery, PrintedQueryIsTheSixteenLinesJoinedByCrLf) {
  EXPECT_EQ(UncorrelatedBalanceQuerySql(), JoinedByCrLf(kPrintedLines));
}

TEST(BalanceQuery, PerItemQueryOnlyNamesTheInnerTablesOfTheQuantitySubqueries) {
  std::vector<std::string> lines = kPrintedLines;
  lines[3] += " G";
  lines[6] += " C";
  EXPECT_EQ(BalanceQuerySql(), JoinedByCrLf(lines));
}

}  // namespace
}  // namespace devir::script
