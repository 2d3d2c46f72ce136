#pragma once

// glibc's newlocale() keeps the LOCPATH list it parsed for good; the locale tests need
// LOCPATH, so their locale look-ups are left out of the leak check.
#if defined(__SANITIZE_ADDRESS__)
#define DEVIR_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DEVIR_LEAK_CHECK 1
#endif
#endif

#ifdef DEVIR_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace devir::script::testing {

/// Allocations made while it lives are not reported as leaks.
class LeakCheckPause {
 public:
#ifdef DEVIR_LEAK_CHECK
  LeakCheckPause() {
    __lsan_disable();
  }
  ~LeakCheckPause() {
    __lsan_enable();
  }
#else
  // User-provided, so that a pause nobody reads is no unused variable in builds without the
  // leak check.
  LeakCheckPause() {}
  ~LeakCheckPause() {}
#endif
  LeakCheckPause(const LeakCheckPause&) = delete;
  LeakCheckPause& operator=(const LeakCheckPause&) = delete;
};

}  // namespace devir::script::testing
