#include "app/server_prompt.h"

#include "db/connection.h"
#include "db/server_connection.h"
#include "transfer/defaults.h"

namespace devir::app {

std::string ConnectToSource(db::Connection& connection,
                            const std::function<SourceFields()>& read_fields,
                            ServerPrompt& prompt) {
  for (;;) {
    std::string server = prompt.InputBox(kServerPromptCaption, kServerPromptText,
                                         transfer::kDefaultServerAddress, kServerAddressMaxLength);
    if (server.empty()) prompt.EndProcess();
    const SourceFields fields = read_fields();
    db::ConnectSource(connection, {server, fields.user, fields.password}, fields.database);
    if (connection.Connected()) return server;
  }
}

}  // namespace devir::app
