#pragma once

// The carry-over's stock balance query, line for line as it has always been printed: the text
// the script writes and the stand-in must run.

#include <string>
#include <vector>

namespace devir::testing {

/// The sixteen lines, without line breaks.
inline const std::vector<std::string> kStockBalanceLines = {
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

/// The sixteen lines joined by CR LF: the query as it was first printed, whose two quantity
/// subqueries do not name their inner table, so that SQL Server binds the outer item's name to
/// the inner table and KALAN is the whole depot's balance on every row.
inline std::string PrintedBalanceQuerySql() {
  std::string sql;
  for (const std::string& line : kStockBalanceLines) {
    if (!sql.empty()) sql += "\r\n";
    sql += line;
  }
  return sql;
}

}  // namespace devir::testing
