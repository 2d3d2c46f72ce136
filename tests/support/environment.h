#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace devir::testing {

/// Sets an environment variable of this process (and of the children it starts), or removes
/// it with nullopt. On Windows an empty value removes it as well.
inline void ChangeEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // The C runtime passes the change on to the process's own environment, where
  // GetEnvironmentVariableW reads it.
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

}  // namespace devir::testing
