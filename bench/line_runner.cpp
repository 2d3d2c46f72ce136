// Runs a sample of a script's lines one statement per call, as a runner without batches
// would, so that the transfer benchmark can set devir's batched run against it:
//
//   per-line: for every line a new connection, SET DATEFORMAT DMY and the line (RunOnDatabase,
//             the statement runner every line of the script once went through);
//   pooled:   one connection for all lines, SET DATEFORMAT DMY and the line for each.
//
//   devir_line_runner --server HOST,PORT --database NAME --script FILE --mode per-line|pooled
//                     [--sample N] [--user sa]
//   devir_line_runner --server HOST,PORT --attach NAME --data-file FILE --log-file FILE
//
// The sample is every k-th non-empty line of the script (UTF-8, CR LF or LF), N lines spread
// over the whole script. Prints "MODE: N of TOTAL lines in S s, R lines/s". The password
// comes from DEVIR_PASSWORD. Stops at the first failing line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/statement_runner.h"

namespace {

struct Options {
  devir::db::ServerLogin login{"", "sa", ""};
  std::string database;
  std::string script;
  std::string mode;
  std::size_t sample = 2000;
  std::string attach;
  std::string data_file;
  std::string log_file;
};

// The non-empty lines of the script, read without keeping it.
template <typename Visit>
void ForEachStatement(const std::string& path, Visit visit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) visit(line);
  }
}

std::string Quoted(const std::string& text) {
  std::string out = "N'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

int Run(const Options& options) {
  std::size_t total = 0;
  ForEachStatement(options.script, [&](const std::string&) { ++total; });
  const std::size_t step =
      std::max<std::size_t>(1, total / std::max<std::size_t>(1, options.sample));
  std::vector<std::string> sample;
  std::size_t index = 0;
  ForEachStatement(options.script, [&](const std::string& line) {
    if (index++ % step == 0 && sample.size() < options.sample) sample.push_back(line);
  });

  devir::db::Connection connection;
  const auto start = std::chrono::steady_clock::now();
  std::size_t done = 0;
  try {
    if (options.mode == "per-line") {
      for (const std::string& line : sample) {
        devir::db::RunOnDatabase(connection, options.login, options.database, line);
        ++done;
      }
    } else {
      connection.SetConnectionString(
          devir::db::RunnerConnectionString(options.login, options.database));
      connection.Connect();
      for (const std::string& line : sample) {
        connection.Execute("SET DATEFORMAT DMY");
        connection.Execute(line);
        ++done;
      }
      connection.Disconnect();
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "devir_line_runner: line %zu of the sample: %s\n%s\n", done + 1,
                 error.what(), sample[done].substr(0, 300).c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %zu of %zu lines in %.2f s, %.1f lines/s\n", options.mode.c_str(), done, total,
              seconds, seconds > 0 ? done / seconds : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--server") {
      options.login.server = value;
    } else if (name == "--user") {
      options.login.user = value;
    } else if (name == "--database") {
      options.database = value;
    } else if (name == "--script") {
      options.script = value;
    } else if (name == "--mode") {
      options.mode = value;
    } else if (name == "--sample") {
      options.sample = std::stoul(value);
    } else if (name == "--attach") {
      options.attach = value;
    } else if (name == "--data-file") {
      options.data_file = value;
    } else if (name == "--log-file") {
      options.log_file = value;
    } else {
      options.login.server.clear();
      break;
    }
  }
  if (const char* password = std::getenv("DEVIR_PASSWORD")) options.login.password = password;
  const bool attach = !options.attach.empty() && !options.data_file.empty();
  const bool run = !options.database.empty() && !options.script.empty() &&
                   (options.mode == "per-line" || options.mode == "pooled");
  if (options.login.server.empty() || attach == run) {
    std::fprintf(stderr,
                 "usage: devir_line_runner --server HOST,PORT --database NAME --script FILE\n"
                 "                         --mode per-line|pooled [--sample N] [--user sa]\n"
                 "       devir_line_runner --server HOST,PORT --attach NAME --data-file FILE\n"
                 "                         [--log-file FILE]\n");
    return 2;
  }
  try {
    if (attach) {
      devir::db::Connection connection;
      std::string sql =
          "EXEC sp_attach_db " + Quoted(options.attach) + ", " + Quoted(options.data_file);
      if (!options.log_file.empty()) sql += ", " + Quoted(options.log_file);
      devir::db::RunOnDatabase(connection, options.login, "master", sql);
      return 0;
    }
    return Run(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "devir_line_runner: %s\n", error.what());
    return 1;
  }
}
