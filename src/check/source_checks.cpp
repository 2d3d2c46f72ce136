// The source year's movements and depots, read with queries of their own: what the balance
// query would carry wrongly or not at all.
#include <string>

#include "check/checks.h"
#include "check/table_keys.h"
#include "db/general_number.h"
#include "script/text_literal.h"

namespace devir::check {
namespace {

// The text of a field for an example: NULL for a null.
std::string Shown(const db::Field& field) {
  if (field.IsNull()) return "NULL";
  if (field.Kind() == db::FieldKind::Float) return db::GeneralNumberText(field.AsFloat());
  return field.AsText();
}

// Runs sql and passes each row to add, which turns it into the finding's example.
template <typename Example>
void Collect(script::RowSource& rows, const std::string& sql, Finding& finding, Example example) {
  rows.Open(sql);
  script::ClosedOnExit close(rows);
  for (; !rows.Eof(); rows.Next()) finding.Add(example(rows));
}

// A movement as an example: its ID and item.
std::string MovementExample(script::RowSource& row) {
  return "ID " + Shown(row.FieldByName("ID")) + ", STOKKODU " + Shown(row.FieldByName("STOKKODU"));
}

void Report(CheckReport& report, Finding finding) {
  if (finding.count > 0) report.findings.push_back(std::move(finding));
}

// Every depot a movement names, receiving (GDEPO) or issuing (CDEPO), with its item and the
// quantity it adds to the depot's stock.
constexpr char kDepotMovements[] =
    "(SELECT GDEPO AS DEPO, STOKKODU, ADET AS MIKTAR FROM STOKHAREKET WHERE GDEPO IS NOT NULL "
    "UNION ALL SELECT CDEPO, STOKKODU, -ADET FROM STOKHAREKET WHERE CDEPO IS NOT NULL) M";

}  // namespace

void CheckMovements(script::RowSource& rows, CheckScope scope, CheckReport& report) {
  Finding missing_depots{Severity::kError, "depots used by movements that are not in DEPO",
                         "their stock is carried nowhere: the opening entries are made for "
                         "DEPO's depots only"};
  Collect(rows,
          std::string("SELECT DEPO, COUNT(*) AS HAREKET FROM ") + kDepotMovements +
              " WHERE NOT EXISTS (SELECT 1 FROM DEPO D WHERE D.KODU = M.DEPO) "
              "GROUP BY DEPO ORDER BY DEPO",
          missing_depots, [](script::RowSource& row) {
            return "depot " + Shown(row.FieldByName("DEPO")) + ": " +
                   Shown(row.FieldByName("HAREKET")) + " movements";
          });
  Report(report, std::move(missing_depots));
  if (scope == CheckScope::kErrorsOnly) return;

  Finding cardless{Severity::kWarning, "movements whose item has no stock card",
                   "their opening entries are carried with NULL name, unit and VAT"};
  Collect(rows,
          "SELECT H.ID, H.STOKKODU FROM STOKHAREKET H WHERE H.STOKKODU IS NOT NULL AND NOT "
          "EXISTS (SELECT 1 FROM STOK S WHERE S.STOKKODU = H.STOKKODU) ORDER BY H.ID",
          cardless, MovementExample);
  Report(report, std::move(cardless));

  Finding negative{Severity::kWarning, "negative remaining quantities per depot and item",
                   "they are carried as negative opening stock"};
  Collect(rows,
          std::string("SELECT DEPO, STOKKODU, SUM(MIKTAR) AS KALAN FROM ") + kDepotMovements +
              " GROUP BY DEPO, STOKKODU HAVING SUM(MIKTAR) < 0 ORDER BY DEPO, STOKKODU",
          negative, [](script::RowSource& row) {
            return "depot " + Shown(row.FieldByName("DEPO")) + ", STOKKODU " +
                   Shown(row.FieldByName("STOKKODU")) + ": " + Shown(row.FieldByName("KALAN"));
          });
  Report(report, std::move(negative));

  Finding no_depot{Severity::kWarning, "movements with NULL depots",
                   "neither receiving nor issuing depot: they count in no depot's stock"};
  Collect(rows,
          "SELECT ID, STOKKODU FROM STOKHAREKET WHERE GDEPO IS NULL AND CDEPO IS NULL "
          "ORDER BY ID",
          no_depot, MovementExample);
  Report(report, std::move(no_depot));

  Finding other_depots{Severity::kWarning,
                       "depots whose opening entries refer to a depot the new year's DEPO will "
                       "not hold",
                       "only the main depot " + std::string(kMainDepot) + " is carried"};
  Collect(rows,
          "SELECT KODU, ADI FROM DEPO WHERE KODU <> " + script::TextLiteral(kMainDepot, true) +
              " ORDER BY KODU",
          other_depots, [](script::RowSource& row) {
            return "depot " + Shown(row.FieldByName("KODU")) + " (" +
                   Shown(row.FieldByName("ADI")) + ")";
          });
  Report(report, std::move(other_depots));
}

}  // namespace devir::check
