#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/environment.h"

namespace devir::script::testing {

/// Sets (or, with nullopt, removes) an environment variable and puts back the old value.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()); old != nullptr) old_ = old;
    devir::testing::ChangeEnvironment(name_, value);
  }
  ~ScopedEnvironment() { devir::testing::ChangeEnvironment(name_, old_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace devir::script::testing
