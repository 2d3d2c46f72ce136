// Reads the source as a transfer does and builds its statements, without running them: the
// client's side of the build stages alone, in source rows per second of the client's CPU.
//
//   devir_read_bench --server HOST,PORT [--database E2017] [--user sa] [--movements]
//
// The password comes from DEVIR_PASSWORD. Steps: the STOK copy, the balance query's opening
// entries, the code tables' copies, and with --movements a copy of every STOKHAREKET row
// (the most rows the server can give cheaply). Each prints its rows, wall and CPU seconds.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/query.h"
#include "db/server_connection.h"
#include "script/balance_query.h"
#include "script/carried_tables.h"
#include "script/opening_stock_entries.h"
#include "script/query_row_source.h"
#include "script/statement_sink.h"
#include "script/table_copy_script.h"

namespace {

// Counts what it is given and keeps nothing.
class CountingSink final : public devir::script::StatementSink {
 public:
  void Add(std::string text) override {
    ++statements;
    bytes += text.size();
  }
  std::size_t statements = 0;
  std::size_t bytes = 0;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Totals {
  std::size_t rows = 0;
  double wall = 0;
  double cpu = 0;
};

void Step(const std::string& name, const std::function<std::size_t(CountingSink&)>& build,
          Totals& totals) {
  CountingSink sink;
  const double cpu_start = CpuSeconds();
  const auto wall_start = std::chrono::steady_clock::now();
  const std::size_t rows = build(sink);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  const double cpu = CpuSeconds() - cpu_start;
  std::printf("%-22s %9zu rows %8.2f s wall %7.2f s CPU %9.0f rows/CPU-s %7.1f MB built\n",
              name.c_str(), rows, wall, cpu, cpu > 0 ? rows / cpu : 0.0, sink.bytes / 1e6);
  totals.rows += rows;
  totals.wall += wall;
  totals.cpu += cpu;
}

}  // namespace

int main(int argc, char** argv) {
  devir::db::ServerLogin login{"", "sa", ""};
  std::string database = "E2017";
  bool movements = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--server" && has_value) {
      login.server = argv[++i];
    } else if (arg == "--database" && has_value) {
      database = argv[++i];
    } else if (arg == "--user" && has_value) {
      login.user = argv[++i];
    } else if (arg == "--movements") {
      movements = true;
    } else {
      std::fprintf(stderr,
                   "usage: devir_read_bench --server HOST,PORT [--database E2017] [--user sa] "
                   "[--movements]\n");
      return 2;
    }
  }
  if (const char* password = std::getenv("DEVIR_PASSWORD")) login.password = password;
  try {
    devir::db::Connection connection;
    connection.SetCommandTimeout(0);  // the balance query of a large year takes minutes
    devir::db::ConnectSource(connection, login, database);
    devir::db::Query query(connection);
    devir::script::QueryRowSource rows(query);
    using devir::script::kCopiedTables;
    Totals totals;
    Step(
        "STOK", [&](CountingSink& sink) { return TableCopyScript(rows, "STOK", sink); }, totals);
    Step(
        "balances",
        [&](CountingSink& sink) {
          return AddOpeningStockEntries(rows, devir::script::BalanceQuerySql(),
                                        {.year = 2018, .month = 1, .day = 1}, sink);
        },
        totals);
    Step(
        "code tables",
        [&](CountingSink& sink) {
          std::size_t read = 0;
          for (std::size_t i = 1; i < kCopiedTables.size(); ++i) {
            read += TableCopyScript(rows, kCopiedTables[i], sink);
          }
          return read;
        },
        totals);
    std::printf("%-22s %9zu rows %8.2f s wall %7.2f s CPU %9.0f rows/CPU-s\n",
                "the transfer's reads", totals.rows, totals.wall, totals.cpu,
                totals.cpu > 0 ? totals.rows / totals.cpu : 0.0);
    if (movements) {
      Totals all;
      Step(
          "STOKHAREKET copy",
          [&](CountingSink& sink) { return TableCopyScript(rows, "STOKHAREKET", sink); }, all);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "devir_read_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
