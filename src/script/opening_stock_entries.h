#pragma once

#include <cstddef>
#include <string>

#include "db/field.h"
#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// A carry-over movement's amount as the statement writes it: price times quantity as
/// doubles, in general number text ("10", "12.3456789012346").
std::string CarryOverAmount(double price, double quantity);

/// Runs the stock balance query `balance_sql` (BalanceQuerySql) and gives one carry-over
/// movement ("DEVIR GIRIS") per result row, dated `date` (its day only):
/// INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,STOKKODU,
/// ADET,FIYAT,TUTAR) VALUES (<DEPOKODU>,'01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR',
/// 'DFISI',<BIRIM>,<KDVORAN>,<STOKKODU>,<KALAN>,<FIYAT>,<amount>), the fields by name
/// (case-insensitive) written by FieldToSql, the amount FIYAT times KALAN as doubles in
/// general number text. The query is closed at the end, also on failure. Returns the rows
/// read (one movement each). Throws what the source throws (a missing field, the server's
/// error) and what FieldToSql throws.
std::size_t AddOpeningStockEntries(RowSource& rows, const std::string& balance_sql,
                                   const db::DateTime& date, StatementSink& statements);

}  // namespace devir::script
