#pragma once

#include <string>

namespace devir::script {

/// The stock balance query: one row per depot of DEPO and item with a movement into or out
/// of it (GDEPO receives, CDEPO issues), with a null item for a depot without movements;
/// KALAN is what the depot received of the item minus what it issued, FIYAT the average
/// price of the item's movements into the depot, both 0 when there are none. Its sixteen
/// lines joined by CR LF. The two quantity subqueries name their inner STOKHAREKET so that
/// the outer movement's item is the one they sum.
const std::string& BalanceQuerySql();

}  // namespace devir::script
