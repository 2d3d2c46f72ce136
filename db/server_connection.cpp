#include "db/server_connection.h"

#include "db/connection.h"
#include "db/connection_string.h"

namespace devir::db {

std::string SourceConnectionString(const SourceFields& fields, std::string_view server) {
  return BuildAdoConnectionString({.provider = "SQLOLEDB.1",
                                   .initial_catalog = fields.database,
                                   .data_source = std::string(server),
                                   .user_id = fields.user,
                                   .password = fields.password});
}

std::string ConnectToSource(Connection& connection,
                            const std::function<SourceFields()>& read_fields,
                            ServerPrompt& prompt) {
  for (;;) {
    std::string server = prompt.InputBox(kServerPromptCaption, kServerPromptText,
                                         kDefaultServerAddress, kServerAddressMaxLength);
    if (server.empty()) prompt.EndProcess();
    connection.SetConnectionString(SourceConnectionString(read_fields(), server));
    connection.Connect();
    if (connection.Connected()) return server;
  }
}

}  // namespace devir::db
