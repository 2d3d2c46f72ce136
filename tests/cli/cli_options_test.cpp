// devir-cli's command line: defaults as the window has them, every option, and each kind of
// bad usage refused before anything runs.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress_reporter.h"
#include "cli/reports.h"
#include "cli/row_counts.h"

namespace devir::cli {
namespace {

OptionDefaults Defaults() {
  return {.current_year = 2021, .data_dir = "/var/opt/mssql/data/", .trace = "/home/u/X.TXT"};
}

TEST(CliOptionsTest, DefaultsAreTheWindowsAndTheCurrentYearsFirstDay) {
  const Options options = ParseOptions({}, Defaults());
  EXPECT_EQ(options.command, Command::kTransfer);
  EXPECT_EQ(options.server, ".\\SQLExpress");
  EXPECT_EQ(options.user, "sa");
  EXPECT_FALSE(options.password_file);
  EXPECT_EQ(options.source, "E2017");
  EXPECT_EQ(options.target_year, 2018);
  EXPECT_EQ(options.date, (db::DateTime{.year = 2021, .month = 1, .day = 1}));
  EXPECT_EQ(options.data_dir, "/var/opt/mssql/data/");
  EXPECT_EQ(options.trace, "/home/u/X.TXT");
  EXPECT_FALSE(options.dry_run);
}

TEST(CliOptionsTest, EveryOptionIsRead) {
  const Options options =
      ParseOptions({"--server", "db1\\SQLEXPRESS", "--user", "devir", "--password-file", "/run/pw",
                    "--source", "ESKI", "--target-year", "2024", "--date", "2.1.2024", "--data-dir",
                    "D:\\V", "--trace", "/tmp/t.txt", "--dry-run"},
                   Defaults());
  EXPECT_EQ(options.command, Command::kTransfer);
  EXPECT_EQ(options.server, "db1\\SQLEXPRESS");
  EXPECT_EQ(options.user, "devir");
  EXPECT_EQ(options.password_file, "/run/pw");
  EXPECT_EQ(options.source, "ESKI");
  EXPECT_EQ(options.target_year, 2024);
  EXPECT_EQ(options.date, (db::DateTime{.year = 2024, .month = 1, .day = 2}));
  EXPECT_EQ(options.data_dir, "D:\\V");
  EXPECT_EQ(options.trace, "/tmp/t.txt");
  EXPECT_TRUE(options.dry_run);
}

TEST(CliOptionsTest, TheSourceFollowsTheTargetYearUnlessGiven) {
  EXPECT_EQ(ParseOptions({"--target-year", "2025"}, Defaults()).source, "E2024");
  EXPECT_EQ(ParseOptions({"--target-year", "2025", "--source", "E2017"}, Defaults()).source,
            "E2017");
}

TEST(CliOptionsTest, CommandsAreChosenByTheirOption) {
  EXPECT_EQ(ParseOptions({"--detach"}, Defaults()).command, Command::kDetach);
  EXPECT_EQ(ParseOptions({"--row-counts"}, Defaults()).command, Command::kRowCounts);
  EXPECT_EQ(ParseOptions({"--check"}, Defaults()).command, Command::kCheck);
  EXPECT_EQ(ParseOptions({"--verify"}, Defaults()).command, Command::kVerify);
  EXPECT_TRUE(ParseOptions({}, Defaults()).verify);
  EXPECT_FALSE(ParseOptions({"--no-verify"}, Defaults()).verify);
  EXPECT_EQ(ParseOptions({"--help"}, Defaults()).command, Command::kHelp);
  // A password on the command line is refused even beside --help: it is out already.
  EXPECT_THROW(ParseOptions({"--password", "x", "--help"}, Defaults()), UsageError);
}

TEST(CliOptionsTest, BadUsageIsRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"--password", "qolvanet"},
      {"--password=qolvanet"},
      {"--verbose"},
      {"E2017"},
      {"--server"},
      {"--server", ""},
      {"--source", ""},
      {"--trace", ""},
      {"--target-year", "18"},
      {"--target-year", "20x8"},
      {"--target-year", "1753"},
      {"--date", "2018-01-01"},
      {"--date", "31.02.2018"},
      {"--date", "29.02.2019"},
      {"--date", "01.13.2018"},
      {"--date", "00.01.2018"},
      {"--date", "1.1.18"},
      {"--date", "01.01.1752"},
      {"--date", "001.01.2018"},
      {"--detach", "--dry-run"},
      {"--detach", "--row-counts"},
      {"--row-counts", "--dry-run"},
      {"--check", "--verify"},
      {"--check", "--dry-run"},
      {"--verify", "--detach"},
      {"--no-verify", "--verify"},
      {"--no-verify", "--check"},
      {"--no-verify", "--dry-run"},
      {"--timeout", "-1"},
      {"--timeout", "soon"},
      {"--timeout", "9999999"},
  };
  for (const auto& args : cases) {
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    SCOPED_TRACE(line);
    EXPECT_THROW(ParseOptions(args, Defaults()), UsageError);
  }
}

// Values a user would mistype: refused before anything runs, the message naming the option.
TEST(CliOptionsTest, BlankAndUnreadableValuesNameTheirOption) {
  const std::string not_utf8 = "E2017\xFF";
  const std::vector<std::vector<std::string>> cases = {
      {"--server", "   "},    {"--user", ""},         {"--user", " \t"},
      {"--source", " "},      {"--data-dir", ""},     {"--data-dir", "  "},
      {"--trace", " "},       {"--template-dir", ""}, {"--password-file", ""},
      {"--source", not_utf8}, {"--server", not_utf8}, {"--data-dir", "C:\\\xC3("},
      {"--user", "\xE2\x82"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " '" + args[1] + "'");
    try {
      ParseOptions(args, Defaults());
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(args[0] + " ", 0), 0u) << error.what();
    }
  }
}

// The transfer would rewrite the live year's registry row and attach over its database.
TEST(CliOptionsTest, TheSourceCannotBeTheTarget) {
  EXPECT_THROW(ParseOptions({"--target-year", "2017", "--source", "E2017"}, Defaults()),
               UsageError);
  EXPECT_THROW(ParseOptions({"--source", "e2018"}, Defaults()), UsageError);
  EXPECT_NO_THROW(ParseOptions({"--target-year", "2017"}, Defaults()));
}

TEST(CliOptionsTest, TimeoutAndTemplateFolderAreRead) {
  const Options options =
      ParseOptions({"--timeout", "45", "--template-dir", "/opt/devir/DB"}, Defaults());
  EXPECT_EQ(options.timeout_seconds, 45);
  EXPECT_EQ(options.template_dir, "/opt/devir/DB");
  EXPECT_EQ(ParseOptions({"--timeout", "0"}, Defaults()).timeout_seconds, 0);
  EXPECT_FALSE(ParseOptions({}, Defaults()).timeout_seconds);
}

TEST(CliOptionsTest, DatesAreReadDayFirst) {
  EXPECT_EQ(ParseDate("29.02.2020"), (db::DateTime{.year = 2020, .month = 2, .day = 29}));
  EXPECT_EQ(ParseDate("31.12.9999"), (db::DateTime{.year = 9999, .month = 12, .day = 31}));
  EXPECT_EQ(ParseDate("1.7.2018"), (db::DateTime{.year = 2018, .month = 7, .day = 1}));
}

TEST(CliOptionsTest, UsageNamesEveryOption) {
  const std::string usage = UsageText();
  for (const char* option :
       {"--server", "--user", "--password-file", "DEVIR_PASSWORD", "--source", "--target-year",
        "--date", "--data-dir", "--trace", "--template-dir", "--timeout", "--dry-run", "--detach",
        "--row-counts", "--check", "--verify", "--no-verify", "3 the proof failed", "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

TEST(ProgressReporterTest, ALogGetsTheStartEachTenthAndTheEnd) {
  std::ostringstream out;
  ProgressReporter reporter(out, /*terminal=*/false);
  reporter.Stage("x.txt");
  for (std::size_t run : {0, 50, 100, 150, 199, 200, 900, 1000}) reporter.Progress(run, 1000);
  reporter.Finish();
  std::vector<std::string> counts;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    counts.push_back(line.substr(0, line.find(" statements")));
  }
  EXPECT_EQ(counts, (std::vector<std::string>{"devir-cli: x.txt", "  0 of 1000", "  100 of 1000",
                                              "  200 of 1000", "  900 of 1000", "  1000 of 1000"}));
}

TEST(ProgressReporterTest, ATerminalLineIsRewrittenInPlace) {
  std::ostringstream out;
  ProgressReporter reporter(out, /*terminal=*/true);
  reporter.Progress(1, 3);
  reporter.Progress(2, 3);
  reporter.Stage("next");
  const std::string text = out.str();
  EXPECT_EQ(text.find('\n'), text.rfind('\n', text.find("devir-cli: next")))
      << "one line break: before the next stage";
  EXPECT_EQ(text.substr(0, 15), "\r  1 of 3 state");
}

TEST(RowCountsTest, PrintsSourceAndTargetSideBySide) {
  std::ostringstream out;
  PrintRowCounts(out, "E2017", "E2018", {{"STOK", 42, 42}, {"DEPO", 7, std::nullopt}});
  EXPECT_EQ(out.str(),
            "table                E2017       E2018\n"
            "STOK                    42          42\n"
            "DEPO                     7           -\n");
}

TEST(ReportsTest, ACheckReportListsErrorsFirstWithTheirExamples) {
  check::CheckReport report;
  report.findings.emplace_back(check::Severity::kWarning, "w", "later");
  report.findings.back().Add("a");
  report.findings.emplace_back(check::Severity::kError, "e", "first");
  for (int i = 0; i < 12; ++i) report.findings.back().Add("k" + std::to_string(i));
  std::ostringstream out;
  PrintCheckReport(out, report);
  EXPECT_EQ(out.str(),
            "error: e: 12 (first)\n  k0\n  k1\n  k2\n  k3\n  k4\n  k5\n  k6\n  k7\n  k8\n  k9\n"
            "  ... and 2 more\n"
            "warning: w: 1 (later)\n  a\n"
            "1 error, 1 warning\n");
}

TEST(ReportsTest, AProofReportShowsItsTableItsDifferencesAndItsVerdict) {
  check::ProofReport report;
  report.lines.push_back({"STOK", 2, 2, 1, 1});
  report.AddDifference({"STOK", "STOKKODU A", "STOKADI", "'x'", "'y'"});
  std::ostringstream out;
  PrintProofReport(out, report, "E2017", "E2018");
  EXPECT_EQ(out.str(),
            "check                             source rows  target rows        equal    different\n"
            "STOK                                        2            2            1            1\n"
            "first differences (1 of 1): table, key, column: E2017 | E2018\n"
            "  STOK, STOKKODU A, STOKADI: 'x' | 'y'\n"
            "the proof FAILED: E2018 does not hold what E2017 had\n");
  EXPECT_FALSE(report.Passed());
}

}  // namespace
}  // namespace devir::cli
