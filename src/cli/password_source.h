#pragma once

#include <optional>
#include <string>

namespace devir::cli {

/// The password from, in this order: the file (its first line, without the line break), the
/// environment variable DEVIR_PASSWORD, a prompt without echo when stdin is a terminal.
/// Throws std::runtime_error when the file cannot be read, UsageError when none of them
/// gives a password.
std::string ReadPassword(const std::optional<std::string>& password_file);

}  // namespace devir::cli
