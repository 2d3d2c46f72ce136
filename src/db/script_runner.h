#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database_error.h"
#include "db/script_lines.h"
#include "db/server_login.h"

namespace devir::db {

class Connection;

/// How RunScript sends the script: several lines per round trip, a batch ending at whichever
/// limit comes first.
struct ScriptBatchLimits {
  std::size_t max_lines = 500;       ///< at most this many lines per batch (capped at 65535)
  std::size_t max_bytes = 1u << 20;  ///< a batch ends once its text reaches this size
};

/// Called after each batch: the statements run so far and the script's non-empty lines.
using ScriptProgress = std::function<void(std::size_t run, std::size_t total)>;

/// A statement of the script could not be run. what() is the server's message (every
/// diagnostic record, as DatabaseError gives it); Line() the statement as it stands in the
/// script. Nothing of the script is left in the database.
class ScriptLineError : public DatabaseError {
 public:
  /// number counts the script's lines from 1.
  ScriptLineError(std::string line, std::size_t number, const DatabaseError& cause);

  /// The failing line's text.
  const std::string& Line() const noexcept { return line_; }
  /// Its place in the script, from 1.
  std::size_t LineNumber() const noexcept { return number_; }

 private:
  std::string line_;
  std::size_t number_;
};

/// A failure of the script that no single line can be blamed for: the connection was lost
/// or the server stopped answering while a batch of lines ran, or the batch failed while none
/// of its lines fails on its own. what() says which, names the batch's lines and ends with
/// the server's message. Nothing of the script is left in the database.
class ScriptBatchError : public DatabaseError {
 public:
  /// first and last count the script's lines from 1.
  ScriptBatchError(const std::string& explanation, std::size_t first, std::size_t last,
                   const DatabaseError& cause);

  /// The batch's first and last line in the script, from 1.
  std::size_t FirstLine() const noexcept { return first_; }
  std::size_t LastLine() const noexcept { return last_; }

 private:
  std::size_t first_;
  std::size_t last_;
};

/// True when a line ends outside any string literal, quoted name and block comment, so that
/// the line break after it in a batch ends it as surely as the end of a batch would. A line
/// that does not (half of a statement broken at a line break inside a text value) is sent on
/// its own, so that it fails as it would alone.
bool LineStandsAlone(std::string_view line);

/// Runs every non-empty line of the script in database, in order, on one connection inside
/// one transaction: connection is pointed at database on the login's server and connected, "SET
/// DATEFORMAT DMY", "SET XACT_ABORT ON" and "BEGIN TRANSACTION" are sent, then the lines in
/// batches (joined by CR LF), then "COMMIT TRANSACTION". progress, when set, follows every
/// batch. Returns the number of statements run. connection is disconnected on return, also
/// when a step fails.
///
/// Throws ScriptLineError when a statement fails, after rolling the transaction back: the
/// first failing line and the server's message (a failed connection is reported against the
/// first line, where running the script first needs the server). The failing line is the one
/// the driver names within the batch (SQL_DIAG_SS_LINE) or, where the driver names none
/// (FreeTDS), found by running the batches before it again and then its batch line by line,
/// all in a fresh transaction that is rolled back. Throws ScriptBatchError, naming the
/// batch's lines, when the connection is lost or the server stops answering during a batch,
/// or when no line of the failed batch fails on its own. A failure of the runner's own
/// statements (the session's settings, BEGIN and COMMIT TRANSACTION) is never put on a line
/// of the script: DatabaseError says what was under way and what became of the script. An
/// empty script connects to nothing.
///
/// The lines are read as the batches are sent, never all at once; the search reads earlier
/// ones again. What reading them throws (std::runtime_error) comes through unchanged; the
/// connection is closed, which rolls the transaction back.
std::size_t RunScript(Connection& connection, const ServerLogin& login, std::string_view database,
                      ScriptLines& lines, const ScriptProgress& progress = {},
                      const ScriptBatchLimits& limits = {});

/// The same for a script held in memory.
std::size_t RunScript(Connection& connection, const ServerLogin& login, std::string_view database,
                      const std::vector<std::string>& lines, const ScriptProgress& progress = {},
                      const ScriptBatchLimits& limits = {});

}  // namespace devir::db
