#include "script/opening_stock_entries.h"

#include <algorithm>
#include <utility>

#include "db/general_number.h"
#include "script/date_literal.h"
#include "script/field_to_sql.h"

namespace devir::script {

std::string CarryOverAmount(double price, double quantity) {
  // Unlike the copied values, the amount is always a number written as general number text.
  std::string text = db::GeneralNumberText(price * quantity);
  std::replace(text.begin(), text.end(), ',', '.');
  return text;
}

std::size_t AddOpeningStockEntries(RowSource& rows, const std::string& balance_sql,
                                   const db::DateTime& date, StatementSink& statements) {
  rows.Open(balance_sql);
  ClosedOnExit close(rows);
  const std::string date_literal = DateLiteral(date);
  std::size_t read = 0;
  while (!rows.Eof()) {
    const db::Field& quantity = rows.FieldByName("KALAN");
    const db::Field& price = rows.FieldByName("FIYAT");
    std::string statement =
        "INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,"
        "STOKKODU,ADET,FIYAT,TUTAR) VALUES (";
    statement += FieldToSql(rows.FieldByName("DEPOKODU"));
    statement += ',';
    statement += date_literal;
    statement += ",'DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',";
    statement += FieldToSql(rows.FieldByName("BIRIM"));
    statement += ',';
    statement += FieldToSql(rows.FieldByName("KDVORAN"));
    statement += ',';
    statement += FieldToSql(rows.FieldByName("STOKKODU"));
    statement += ',';
    statement += FieldToSql(quantity);
    statement += ',';
    statement += FieldToSql(price);
    statement += ',';
    statement += CarryOverAmount(price.AsFloat(), quantity.AsFloat());
    statement += ')';
    statements.Add(std::move(statement));
    ++read;
    rows.Next();
  }
  return read;
}

}  // namespace devir::script
