#pragma once

#include "sandbox/sample/table_layout.h"

namespace sandbox::sample {

// The tables of year_schema.sql as the sample fills them: every column but ID (identity) and
// STOK.SURUM (timestamp), in the schema's order.

/// DEPO: depots.
const TableLayout& DepoLayout();
/// STOK: stock cards.
const TableLayout& StokLayout();
/// STOKHAREKET: stock movements.
const TableLayout& StokHareketLayout();
/// HESAPKODU: account codes.
const TableLayout& HesapKoduLayout();
/// DUZEYKODU1 .. DUZEYKODU5 (level 1 to 5): level codes. Throws std::out_of_range otherwise.
const TableLayout& DuzeyKoduLayout(int level);
/// sirketler (database sirketambar): the company registry.
const TableLayout& SirketlerLayout();

}  // namespace sandbox::sample
