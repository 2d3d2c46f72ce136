#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace devir::app::testing {

/// Waits, inside the modal loop the code under test is about to enter, until a modal widget of
/// type T is shown, and then hands it to act once. Keep it alive until the loop has ended.
template <typename T>
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(T*)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
        timer_.stop();
        seen_ = true;
        act_(widget);
      }
    });
    timer_.start(10);
  }

  /// Whether the modal widget was shown and handed over.
  bool Seen() const noexcept { return seen_; }

 private:
  std::function<void(T*)> act_;
  QTimer timer_;
  bool seen_ = false;
};

}  // namespace devir::app::testing
