#pragma once

#include <array>
#include <string_view>

namespace devir::script {

/// The master tables the transfer copies row for row, in the order the script copies them.
inline constexpr std::array<std::string_view, 7> kCopiedTables = {
    "STOK", "HESAPKODU", "DUZEYKODU1", "DUZEYKODU2", "DUZEYKODU3", "DUZEYKODU4", "DUZEYKODU5",
};

/// Every table the transfer script writes in the new year, in the order it first writes them:
/// the copied tables, the carry-over movements (STOKHAREKET) and the main depot (DEPO).
inline constexpr std::array<std::string_view, 9> kCarriedTables = {
    "STOK",       "STOKHAREKET", "DEPO",       "HESAPKODU",  "DUZEYKODU1",
    "DUZEYKODU2", "DUZEYKODU3",  "DUZEYKODU4", "DUZEYKODU5",
};

}  // namespace devir::script
