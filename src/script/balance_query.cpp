#include "script/balance_query.h"

#include <array>
#include <string_view>

namespace devir::script {

namespace {

using QueryLines = std::array<std::string_view, 16>;

// Each line as the query has always been laid out, blanks included.
constexpr std::string_view kHead1 =
    "SELECT     dbo.DEPO.ADI AS DEPOADI, dbo.DEPO.KODU AS DEPOKODU, dbo.stokhareket.STOKKODU, "
    "ST.STOKADI, ST.BIRIM,";
constexpr std::string_view kHead2 =
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN, ISNULL";
constexpr std::string_view kSumOpen = "                          ((SELECT     SUM(ADET)";
constexpr std::string_view kReceivedWhere =
    "                              WHERE     GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - ISNULL";
constexpr std::string_view kIssuedWhere =
    "                              WHERE     CDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) AS KALAN, ISNULL";
constexpr std::string_view kPriceOpen = "                          ((SELECT     AVG(FIYAT)";
constexpr std::string_view kPriceFrom = "                              FROM         STOKHAREKET S";
constexpr std::string_view kPriceWhere =
    "                              WHERE     S.GDEPO = DEPO.KODU AND S.STOKKODU = "
    "STOKHAREKET.STOKKODU), 0) AS FIYAT";
constexpr std::string_view kFrom = "FROM         dbo.STOK ST RIGHT OUTER JOIN";
constexpr std::string_view kJoinMovements =
    "                      dbo.stokhareket ON ST.STOKKODU = dbo.stokhareket.STOKKODU RIGHT "
    "OUTER JOIN";
constexpr std::string_view kJoinDepots =
    "                      dbo.DEPO ON dbo.DEPO.KODU = dbo.stokhareket.GDEPO OR dbo.DEPO.KODU "
    "= dbo.stokhareket.CDEPO";
constexpr std::string_view kGroupBy1 =
    "GROUP BY dbo.DEPO.ADI, dbo.DEPO.KODU, dbo.stokhareket.STOKKODU, ST.STOKADI, ST.BIRIM,";
constexpr std::string_view kGroupBy2 =
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN";

// Named, the unqualified columns stay with the inner table and DBO.STOKhareket.STOKKODU
// reaches the outer movement.
constexpr std::string_view kReceivedFrom =
    "                              FROM         STOKHAREKET G";
constexpr std::string_view kIssuedFrom = "                              FROM         STOKHAREKET C";

std::string Join(const QueryLines& lines) {
  std::string out;
  for (std::string_view line : lines) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

}  // namespace

const std::string& BalanceQuerySql() {
  static const std::string sql =
      Join({kHead1, kHead2, kSumOpen, kReceivedFrom, kReceivedWhere, kSumOpen, kIssuedFrom,
            kIssuedWhere, kPriceOpen, kPriceFrom, kPriceWhere, kFrom, kJoinMovements, kJoinDepots,
            kGroupBy1, kGroupBy2});
  return sql;
}

}  // namespace devir::script
