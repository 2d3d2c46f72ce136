#pragma once

#include <QDate>
#include <QString>

#include "app/server_prompt.h"

namespace devir::app {

/// Everything the window asks of the user or of the process: the server address prompt, the
/// process end (both for ConnectToSource) and the informational message box.
class Dialogs : public ServerPrompt {
 public:
  /// Shows an informational message box with text and waits until it is closed.
  virtual void ShowMessage(const QString& text) = 0;
};

/// Today's date as the window sees it.
class Clock {
 public:
  virtual ~Clock() = default;
  /// The current local date.
  virtual QDate Today() const = 0;
};

}  // namespace devir::app
