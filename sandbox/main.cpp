// devir-sandbox: the SQL Server stand-in. serve (TDS on loopback), seed (sample data),
// template (the empty new-year database files) and run (a script file without the wire).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sandbox/engine/engine.h"
#include "sandbox/engine/sql_error.h"
#include "sandbox/sample/batch_runner.h"
#include "sandbox/sample/script_file.h"
#include "sandbox/sample/seed.h"
#include "sandbox/tds/server.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage:\n"
    "  devir-sandbox serve --data DIR [--port N] [--browser-port N] [--instance NAME]\n"
    "                      [--login USER:PASSWORD]... [--rowversion-as timestamp|binary]\n"
    "  devir-sandbox seed --data DIR [--sample small|large] [--scale X] [--random-seed N]\n"
    "  devir-sandbox template --out DIR\n"
    "  devir-sandbox run --data DIR --database NAME --script FILE [--attach FILE]\n"
    "                    [--batch-lines N]\n"
    "  devir-sandbox --help\n"
    "\n"
    "serve listens on 127.0.0.1 (port 1433 by default, 0 = any free port) and answers SQL\n"
    "Server Browser requests on UDP 1434 (0 = off) for the instance (SQLEXPRESS). The default\n"
    "login is sa:qolvanet; --login options replace it. --rowversion-as binary describes\n"
    "rowversion (timestamp) columns as binary(8), as some servers and drivers report them.\n"
    "Stops on SIGTERM or SIGINT.\n"
    "\n"
    "run executes a script file (UTF-8, one statement per line) in database NAME as devir\n"
    "runs its script: SET DATEFORMAT DMY, XACT_ABORT ON, one transaction, up to 500 lines\n"
    "per batch. --attach first attaches a database file (a copy of the template) as NAME.\n"
    "Prints the statements per second; a failing line rolls everything back.\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Options of one command: each may be given once, except the repeatable ones.
class Options {
 public:
  Options(int argc, char** argv, const std::vector<std::string>& known,
          const std::vector<std::string>& repeatable) {
    for (int i = 2; i < argc; ++i) {
      const std::string name = argv[i];
      const bool is_repeatable =
          std::find(repeatable.begin(), repeatable.end(), name) != repeatable.end();
      if (!is_repeatable && std::find(known.begin(), known.end(), name) == known.end()) {
        throw UsageError("unknown option " + name);
      }
      if (i + 1 >= argc) throw UsageError(name + " needs a value");
      const std::string value = argv[++i];
      if (is_repeatable) {
        repeated_[name].push_back(value);
      } else if (!values_.emplace(name, value).second) {
        throw UsageError(name + " given twice");
      }
    }
  }

  std::optional<std::string> Get(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  std::string Required(const std::string& name) const {
    auto v = Get(name);
    if (!v || v->empty()) throw UsageError(name + " is required");
    return *v;
  }
  std::vector<std::string> All(const std::string& name) const {
    const auto it = repeated_.find(name);
    return it == repeated_.end() ? std::vector<std::string>{} : it->second;
  }

 private:
  std::map<std::string, std::string> values_;
  std::map<std::string, std::vector<std::string>> repeated_;
};

int ParsePort(const std::string& name, const std::string& text) {
  std::size_t used = 0;
  int port = -1;
  try {
    port = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || port < 0 || port > 65535) {
    throw UsageError(name + " must be a port number 0-65535, not '" + text + "'");
  }
  return port;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

int Serve(int argc, char** argv) {
  const Options options(argc, argv,
                        {"--data", "--port", "--browser-port", "--instance", "--rowversion-as"},
                        {"--login"});
  const std::string data = options.Required("--data");
  sandbox::tds::ServerOptions server_options;
  if (auto v = options.Get("--port")) server_options.port = ParsePort("--port", *v);
  if (auto v = options.Get("--browser-port")) {
    server_options.browser_port = ParsePort("--browser-port", *v);
  }
  if (auto v = options.Get("--instance")) {
    if (v->empty()) throw UsageError("--instance must not be empty");
    server_options.instance = *v;
  }
  if (auto v = options.Get("--rowversion-as")) {
    if (*v != "timestamp" && *v != "binary") {
      throw UsageError("--rowversion-as must be timestamp or binary");
    }
    server_options.rowversion_as_binary = *v == "binary";
  }
  server_options.host_name = HostName();
  // "struct": Engine::Login also names the member function that checks a login.
  std::vector<struct sandbox::Engine::Login> logins;
  for (const std::string& login : options.All("--login")) {
    const auto colon = login.find(':');
    if (colon == std::string::npos || colon == 0) {
      throw UsageError("--login must be USER:PASSWORD");
    }
    logins.push_back({login.substr(0, colon), login.substr(colon + 1)});
  }
  if (logins.empty()) logins.push_back({"sa", "qolvanet"});

  // Every thread inherits this mask; the main thread alone takes the stop signals.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  sandbox::Engine engine(data, std::move(logins), server_options.instance);
  // Declared after the engine, so every session ends before the engine closes.
  sandbox::tds::Server server(
      server_options,
      [&engine](const std::string& user, const std::string& password, const std::string& database) {
        return engine.Login(user, password, database);
      });
  server.Start();
  std::cout << "listening on 127.0.0.1:" << server.Port() << std::endl;

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  server.Stop();
  return EXIT_SUCCESS;
}

int SeedCommand(int argc, char** argv) {
  const Options options(argc, argv, {"--data", "--sample", "--scale", "--random-seed"}, {});
  sandbox::SeedOptions seed;
  seed.data_dir = options.Required("--data");
  if (auto v = options.Get("--sample")) {
    if (*v != "small" && *v != "large") throw UsageError("--sample must be small or large");
    seed.sample = *v;
  }
  if (auto v = options.Get("--scale")) {
    std::size_t used = 0;
    try {
      seed.scale = std::stod(*v, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != v->size() || !(seed.scale > 0)) {
      throw UsageError("--scale must be a positive number, not '" + *v + "'");
    }
  }
  if (auto v = options.Get("--random-seed")) {
    std::size_t used = 0;
    try {
      seed.random_seed = std::stoull(*v, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != v->size() || v->empty() || (*v)[0] == '-') {
      throw UsageError("--random-seed must be a whole number, not '" + *v + "'");
    }
  }
  sandbox::Seed(seed);
  return EXIT_SUCCESS;
}

std::size_t ParseCount(const std::string& name, const std::string& text) {
  std::size_t used = 0;
  unsigned long long value = 0;
  try {
    value = std::stoull(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || text[0] == '-' || value == 0) {
    throw UsageError(name + " must be a whole number above 0, not '" + text + "'");
  }
  return static_cast<std::size_t>(value);
}

// T-SQL N'...' literal.
std::string UnicodeLiteral(const std::string& text) {
  std::string out = "N'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

int RunCommand(int argc, char** argv) {
  const Options options(argc, argv,
                        {"--data", "--database", "--script", "--attach", "--batch-lines"}, {});
  const std::string data = options.Required("--data");
  const std::string database = options.Required("--database");
  const std::string script_path = options.Required("--script");
  sandbox::sample::ScriptBatchLimits limits;
  if (auto v = options.Get("--batch-lines")) limits.max_lines = ParseCount("--batch-lines", *v);
  std::ifstream script(script_path, std::ios::binary);
  if (!script) throw std::runtime_error("cannot open the script " + script_path);

  sandbox::Engine engine(data, {});
  if (auto file = options.Get("--attach")) {
    const auto master = engine.OpenSession("master");
    sandbox::sample::RunBatch(
        *master, "EXEC sp_attach_db " + UnicodeLiteral(database) + ", " + UnicodeLiteral(*file));
  }
  const auto session = engine.OpenSession(database);
  try {
    const auto summary = sandbox::sample::RunScript(*session, script, limits);
    char rate[64];
    std::snprintf(
        rate, sizeof rate, "%.2f s (%.0f statements/s)", summary.seconds,
        summary.seconds > 0 ? static_cast<double>(summary.statements) / summary.seconds : 0.0);
    std::cout << "statements run: " << summary.statements << " in " << summary.batches
              << " batches, " << rate << std::endl;
  } catch (const sandbox::sample::ScriptLineFailure& failure) {
    std::cerr << "devir-sandbox: line " << failure.line << " of " << script_path << ": "
              << failure.what() << "\n";
    return kExitFailure;
  }
  return EXIT_SUCCESS;
}

int TemplateCommand(int argc, char** argv) {
  const Options options(argc, argv, {"--out"}, {});
  sandbox::WriteTemplate(options.Required("--out"));
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "--help" || command == "-h" || command == "help") {
      std::cout << kUsage;
      return EXIT_SUCCESS;
    }
    if (command == "serve") return Serve(argc, argv);
    if (command == "seed") return SeedCommand(argc, argv);
    if (command == "template") return TemplateCommand(argc, argv);
    if (command == "run") return RunCommand(argc, argv);
    throw UsageError(command.empty() ? "no command given" : "unknown command " + command);
  } catch (const UsageError& e) {
    std::cerr << "devir-sandbox: " << e.what() << " (devir-sandbox --help shows the usage)\n";
    return kExitUsage;
  } catch (const sandbox::SqlError& e) {
    std::cerr << "devir-sandbox: " << e.what() << " (error " << e.number << ")\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    std::cerr << "devir-sandbox: " << e.what() << "\n";
    return kExitFailure;
  }
}
