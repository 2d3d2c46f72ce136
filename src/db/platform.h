#pragma once

#include <optional>
#include <string>

namespace devir::db {

/// The value of an environment variable as UTF-8, or nullopt when it is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

}  // namespace devir::db
