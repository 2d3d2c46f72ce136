#pragma once

#include <string>

#include "db/field.h"
#include "db/query.h"
#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// Runs the stock balance query `balance_sql` (BalanceQuerySql) and gives one carry-over
/// movement ("DEVIR GIRIS") per result row, dated `date` (its day only):
/// INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,STOKKODU,
/// ADET,FIYAT,TUTAR) VALUES (<DEPOKODU>,'01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR',
/// 'DFISI',<BIRIM>,<KDVORAN>,<STOKKODU>,<KALAN>,<FIYAT>,<amount>), the fields by name
/// (case-insensitive) written by FieldToSql, the amount FIYAT times KALAN as doubles in
/// general number text. The query is closed at the end, also on failure. Throws what the
/// source throws (a missing field, the server's error) and what FieldToSql throws.
void AddOpeningStockEntries(RowSource& rows, const std::string& balance_sql,
                            const db::DateTime& date, StatementSink& statements);

/// The same through the database client's query `q` on the source database. Throws
/// db::DatabaseError with the server's message.
void AddOpeningStockEntries(db::Query& q, const std::string& balance_sql, const db::DateTime& date,
                            StatementSink& statements);

}  // namespace devir::script
