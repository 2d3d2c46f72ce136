#include "cli/options.h"

#include <stdexcept>

namespace devir::cli {

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError("option " + arg + " needs a value");
      return args[++i];
    };
    if (arg == "--server") {
      options.server = value();
    } else if (arg == "--user") {
      options.user = value();
    } else if (arg == "--password-file") {
      options.password_file = value();
    } else if (arg == "--source") {
      options.source = value();
    } else if (arg == "--row-counts") {
      options.row_counts = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--password") {
      throw UsageError(
          "a password is never taken as an argument (others could read it in the process list); "
          "use --password-file FILE or DEVIR_PASSWORD");
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  if (options.server.empty()) throw UsageError("--server must not be empty");
  return options;
}

std::string UsageText() {
  return "Usage: devir-cli [options]\n"
         "  --server ADDR          SQL Server address (default .\\SQLExpress; host, host\\INSTANCE,\n"
         "                         host,port)\n"
         "  --user NAME            SQL Server login (default sa)\n"
         "  --password-file FILE   read the password from FILE (first line); otherwise\n"
         "                         DEVIR_PASSWORD, otherwise a prompt without echo\n"
         "  --source NAME          the closing year's database (default E2017)\n"
         "  --row-counts           print the row count of every carried table\n"
         "  --help                 this text\n";
}

}  // namespace devir::cli
