#pragma once

#include <string_view>

namespace devir::check {

/// The column that tells the rows of a copied table apart: STOKKODU for STOK, KODU for
/// HESAPKODU and the level codes.
constexpr std::string_view KeyColumn(std::string_view table) {
  return table == "STOK" ? "STOKKODU" : "KODU";
}

/// The code of the main depot, the one depot the new year's DEPO holds.
inline constexpr std::string_view kMainDepot = "01";
/// Its name there.
inline constexpr std::string_view kMainDepotName = "ANADEPO";

}  // namespace devir::check
