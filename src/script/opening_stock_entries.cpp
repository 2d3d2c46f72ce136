#include "script/opening_stock_entries.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "db/ascii_case.h"
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

namespace {

// The position of a field of the result, found by name as FieldByName finds it (which also
// throws when there is none): the columns are the same on every row.
int PositionOf(const RowSource& rows, std::string_view name) {
  const db::Field& wanted = rows.FieldByName(name);
  for (int i = 0; i < rows.FieldCount(); ++i) {
    if (db::EqualsIgnoringAsciiCase(rows.FieldAt(i).Name(), wanted.Name())) return i;
  }
  throw std::logic_error("FieldByName found a field FieldAt does not give");
}

}  // namespace

std::size_t AddOpeningStockEntries(RowSource& rows, const std::string& balance_sql,
                                   const db::DateTime& date, StatementSink& statements) {
  rows.Open(balance_sql);
  ClosedOnExit close(rows);
  if (rows.Eof()) return 0;
  const int quantity = PositionOf(rows, "KALAN");
  const int price = PositionOf(rows, "FIYAT");
  const int depot = PositionOf(rows, "DEPOKODU");
  const int unit = PositionOf(rows, "BIRIM");
  const int tax_rate = PositionOf(rows, "KDVORAN");
  const int item = PositionOf(rows, "STOKKODU");
  // Everything up to the unit is the same on every row.
  const std::string head =
      "INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,"
      "STOKKODU,ADET,FIYAT,TUTAR) VALUES (";
  const std::string after_depot =
      "," + DateLiteral(date) + ",'DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',";
  std::size_t read = 0;
  while (!rows.Eof()) {
    std::string statement;
    statement.reserve(head.size() + after_depot.size() + 128);
    statement = head;
    AppendFieldSql(statement, rows.FieldAt(depot));
    statement += after_depot;
    AppendFieldSql(statement, rows.FieldAt(unit));
    statement += ',';
    AppendFieldSql(statement, rows.FieldAt(tax_rate));
    statement += ',';
    AppendFieldSql(statement, rows.FieldAt(item));
    statement += ',';
    AppendFieldSql(statement, rows.FieldAt(quantity));
    statement += ',';
    AppendFieldSql(statement, rows.FieldAt(price));
    statement += ',';
    statement += CarryOverAmount(rows.FieldAt(price).AsFloat(), rows.FieldAt(quantity).AsFloat());
    statement += ')';
    statements.Add(std::move(statement));
    ++read;
    rows.Next();
  }
  return read;
}

}  // namespace devir::script
