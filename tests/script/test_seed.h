#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace devir::script::testing {

/// The random seed of a randomised test: `fixed`, or DEVIR_TEST_SEED when set, so that a run can be
/// repeated from the random seed a failure prints.
inline std::uint64_t TestSeed(std::uint64_t fixed) {
  if (const char* text = std::getenv("DEVIR_TEST_SEED"); text != nullptr && *text != '\0') {
    return std::stoull(text);
  }
  return fixed;
}

}  // namespace devir::script::testing
