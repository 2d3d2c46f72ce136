#pragma once

#include "app/seams.h"

namespace devir::app {

/// The real dialogs: QInputDialog for the prompt, QMessageBox for messages, std::_Exit for
/// the process end.
class QtDialogs : public Dialogs {
 public:
  std::string InputBox(std::string_view caption, std::string_view prompt,
                       std::string_view default_answer, int max_length) override;
  [[noreturn]] void EndProcess() override;
  void ShowMessage(const QString& text) override;
};

/// The system clock in local time.
class SystemClock : public Clock {
 public:
  QDate Today() const override;
};

/// Ends the process at once with exit code 0: no handler, no destructor, no window event.
[[noreturn]] void EndProcessAtOnce() noexcept;

}  // namespace devir::app
