#include "check/proof.h"

#include <algorithm>
#include <utility>

#include "check/table_keys.h"
#include "check/value_text.h"
#include "db/connection.h"
#include "db/query.h"
#include "db/statement_runner.h"
#include "script/carried_tables.h"
#include "script/query_row_source.h"
#include "script/text_literal.h"
#include "target/registration.h"

namespace devir::check {
namespace {

std::string Text(const db::Field& field) {
  return field.IsNull() ? std::string("NULL") : field.AsText();
}

// One expected row among what the target holds: the first row equal to it counts as equal,
// every other row as one that should not be there.
void ExpectOneRow(script::RowSource& rows, const std::string& table, const std::string& check,
                  const std::vector<std::pair<std::string, std::string>>& expected,
                  ProofReport& report) {
  ProofLine line;
  line.check = check;
  line.source_rows = 1;
  for (; !rows.Eof(); rows.Next()) {
    ++line.target_rows;
    bool same = true;
    for (const auto& [column, value] : expected)
      same = same && Text(rows.FieldByName(column)) == value;
    const std::string key =
        expected.front().first + " " + Text(rows.FieldByName(expected.front().first));
    if (same && line.equal == 0) {
      ++line.equal;
      continue;
    }
    ++line.different;
    report.AddDifference({table, key, "(row)", same ? "(once)" : "(none)", "(present)"});
  }
  if (line.equal == 0) {
    ++line.different;
    std::string row;
    for (const auto& [column, value] : expected)
      row += (row.empty() ? "" : ", ") + column + " " + value;
    report.AddDifference({table, row, "(row)", "(present)", "(none)"});
  }
  report.lines.push_back(std::move(line));
}

}  // namespace

void ProofReport::AddDifference(ProofDifference difference) {
  ++difference_count;
  if (differences.size() < kDifferencesShown) differences.push_back(std::move(difference));
}

bool ProofReport::Passed() const noexcept {
  return difference_count == 0 &&
         std::all_of(lines.begin(), lines.end(), [](const ProofLine& line) {
           return line.different == 0 && line.equal == line.source_rows &&
                  line.equal == line.target_rows;
         });
}

void CompareDepots(script::RowSource& target, ProofReport& report) {
  target.Open("SELECT KODU, ADI FROM DEPO ORDER BY " + ByCodePoint("KODU"));
  script::ClosedOnExit close(target);
  ExpectOneRow(target, "DEPO", "DEPO (the main depot alone)",
               {{"KODU", std::string(kMainDepot)}, {"ADI", std::string(kMainDepotName)}}, report);
}

void CompareRegistry(script::RowSource& registry, int year, ProofReport& report) {
  const std::string name = target::YearDatabaseName(year);
  const std::string literal = script::TextLiteral(name, true);
  registry.Open("SELECT SirketAdi, CalismaYili, DBAdi FROM " +
                std::string(target::kRegistryDatabase) + ".dbo.sirketler WHERE SirketAdi = " +
                literal + " OR DBAdi = " + literal + " ORDER BY " + ByCodePoint("SirketAdi"));
  script::ClosedOnExit close(registry);
  ExpectOneRow(registry, "sirketler", "registry (" + name + ")",
               {{"SirketAdi", name}, {"CalismaYili", target::YearText(year)}, {"DBAdi", name}},
               report);
}

ProofReport ProveTransfer(const ProofSettings& settings) {
  const auto open = [&](db::Connection& connection, const std::string& database) {
    connection.SetCommandTimeout(settings.command_timeout_seconds);
    connection.SetConnectionString(db::RunnerConnectionString(settings.login, database));
    connection.Connect();
  };
  db::Connection source_connection;
  db::Connection target_connection;
  open(source_connection, settings.source);
  open(target_connection, target::TargetDatabaseName(settings.target_year));
  db::Query source_query(source_connection);
  db::Query target_query(target_connection);
  script::QueryRowSource source(source_query);
  script::QueryRowSource target(target_query);

  ProofReport report;
  for (std::string_view table : script::kCopiedTables) {
    CompareCopiedTable(source, target, table, report);
  }
  CompareOpeningEntries(source, target, report);
  CompareDepots(target, report);
  CompareRegistry(target, settings.target_year, report);
  return report;
}

std::string ProofFindingsText(const ProofReport& report, const std::string& source,
                              const std::string& target) {
  std::string text = "The proof that " + target + " holds what " + source + " had failed:";
  for (const ProofLine& line : report.lines) {
    if (line.different == 0 && line.equal == line.source_rows && line.equal == line.target_rows) {
      continue;
    }
    text += "\n" + line.check + ": " + std::to_string(line.different) + " different (" +
            std::to_string(line.source_rows) + " in " + source + ", " +
            std::to_string(line.target_rows) + " in " + target + ")";
  }
  for (const ProofDifference& difference : report.differences) {
    text += "\n" + difference.table + " " + difference.key + ", " + difference.column + ": " +
            difference.source + " in " + source + ", " + difference.target + " in " + target;
  }
  if (report.difference_count > report.differences.size()) {
    text += "\n... and " + std::to_string(report.difference_count - report.differences.size()) +
            " more";
  }
  return text;
}

}  // namespace devir::check
