#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}

namespace devir::app {

/// The prompt's caption.
inline constexpr std::string_view kServerPromptCaption = "Soru";
/// The prompt's text (UTF-8).
inline constexpr std::string_view kServerPromptText =
    "Ana bilgisayar adresini girin -- İptal etmek için boş bırakın";
/// Longest server address the prompt accepts.
inline constexpr int kServerAddressMaxLength = 255;

/// What ConnectToSource needs from the user interface. Texts are UTF-8.
class ServerPrompt {
 public:
  virtual ~ServerPrompt() = default;

  /// Shows a modal input prompt with default_answer selected (at most max_length characters);
  /// returns the text confirmed with OK, or default_answer on Cancel, Escape or closing.
  virtual std::string InputBox(std::string_view caption, std::string_view prompt,
                               std::string_view default_answer, int max_length) = 0;

  /// Ends the process at once, showing nothing and running no further step. Never returns;
  /// a test double may throw an exception that no std::exception handler catches.
  [[noreturn]] virtual void EndProcess() = 0;
};

/// The login fields as they stand when the prompt has been answered.
struct SourceFields {
  std::string database;  ///< source database name (`LabeledEdit1`)
  std::string user;      ///< `lkullan`
  std::string password;  ///< `lveriyolu`
};

/// Asks for the server address until connection is connected to the source database and
/// returns the address as typed. read_fields is called on every pass, after the prompt. An
/// empty answer calls prompt.EndProcess(). Throws db::DatabaseError when connecting fails
/// (one attempt, no second prompt).
std::string ConnectToSource(db::Connection& connection,
                            const std::function<SourceFields()>& read_fields, ServerPrompt& prompt);

}  // namespace devir::app
