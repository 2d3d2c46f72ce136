// Values the script cannot carry: floats SQL Server cannot store, and text of a non-Unicode
// column that the server's code page cannot hold (the script writes it as '...', which the
// server reads in its code page).
#include <cmath>
#include <memory>
#include <string>
#include <variant>

#include "check/checks.h"
#include "check/table_keys.h"
#include "db/general_number.h"
#include "db/type_name.h"
#include "script/carried_tables.h"
#include "script/system_code_page.h"

namespace devir::check {
namespace {

// The largest finite double: whatever lies outside is infinite (or NaN, which no comparison
// holds for).
constexpr char kFiniteRange[] = "BETWEEN -1.7976931348623157E308 AND 1.7976931348623157E308";

bool IsNonUnicodeText(const db::Field& field) {
  const std::string type = db::BaseTypeName(field.Type().type_name);
  return type == "char" || type == "varchar" || type == "text";
}

bool IsNotFinite(const db::Field& field) {
  const auto* number = std::get_if<double>(&field.Value());
  return number != nullptr && !std::isfinite(*number);
}

// Each row of a copied table: its floats and its non-Unicode text.
void ScanCopiedTable(script::RowSource& rows, std::string_view table,
                     script::SystemCodePage* code_page, Finding& floats, Finding& texts) {
  rows.Open("SELECT * FROM " + std::string(table));
  script::ClosedOnExit close(rows);
  const std::string key_column(KeyColumn(table));
  for (; !rows.Eof(); rows.Next()) {
    const std::string key =
        std::string(table) + " " + key_column + " " + rows.FieldByName(key_column).AsText();
    for (int i = 0; i < rows.FieldCount(); ++i) {
      const db::Field& field = rows.FieldAt(i);
      if (IsNotFinite(field)) {
        floats.Add(key + ", " + field.Name() + ": " + db::GeneralNumberText(field.AsFloat()));
      } else if (code_page != nullptr && !field.IsNull() && IsNonUnicodeText(field)) {
        const std::size_t before = code_page->Replaced();
        code_page->FromUtf8(field.AsText());
        if (code_page->Replaced() > before) {
          texts.Add(key + ", " + field.Name() + ": " +
                    std::to_string(code_page->Replaced() - before) + " characters");
        }
      }
    }
  }
}

}  // namespace

void CheckValues(script::RowSource& rows, int code_page_number, CheckReport& report) {
  Finding floats(Severity::kError, "floats the script cannot carry (NaN or infinite)",
                 "SQL Server cannot store them: the transfer would fail");
  Finding texts(Severity::kError,
                "text that the server's code page " + std::to_string(code_page_number) +
                    " cannot hold in a varchar column",
                "those characters would arrive as '?'");

  // A UTF-8 collation (code page 65001) holds every character.
  std::unique_ptr<script::SystemCodePage> code_page;
  if (code_page_number != 65001 && code_page_number != 0) {
    try {
      code_page = std::make_unique<script::SystemCodePage>(code_page_number);
    } catch (const std::exception& error) {
      report.findings.emplace_back(Severity::kWarning,
                                   "text could not be checked against the server's code page",
                                   error.what());
    }
  }
  for (std::string_view table : script::kCopiedTables) {
    ScanCopiedTable(rows, table, code_page.get(), floats, texts);
  }

  rows.Open(std::string("SELECT ID, ADET, FIYAT FROM STOKHAREKET WHERE NOT (ADET ") + kFiniteRange +
            ") OR NOT (FIYAT " + kFiniteRange + ") ORDER BY ID");
  script::ClosedOnExit close(rows);
  for (; !rows.Eof(); rows.Next()) {
    std::string example = "STOKHAREKET ID " + rows.FieldByName("ID").AsText();
    for (const char* column : {"ADET", "FIYAT"}) {
      const db::Field& field = rows.FieldByName(column);
      if (IsNotFinite(field)) {
        example += std::string(", ") + column + ": " + db::GeneralNumberText(field.AsFloat());
      }
    }
    floats.Add(std::move(example));
  }
  if (floats.count > 0) report.findings.push_back(std::move(floats));
  if (texts.count > 0) report.findings.push_back(std::move(texts));
}

}  // namespace devir::check
