#pragma once

#include <optional>
#include <string>

namespace devir::cli {

/// The password from, in this order: the file (its first line, without the line break), the
/// environment variable DEVIR_PASSWORD, a prompt without echo when stdin is a terminal.
/// Throws UsageError when the file cannot be read (a folder, an empty file, a first line
/// longer than 4096 bytes: the message names the option and the cause), when none of them
/// gives a password (also when the prompt ends without a line) or when the password is not
/// UTF-8 text. Ctrl-C at the prompt ends
/// the process with the terminal's echo back on.
std::string ReadPassword(const std::optional<std::string>& password_file);

}  // namespace devir::cli
