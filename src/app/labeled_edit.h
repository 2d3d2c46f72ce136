#pragma once

#include <QLineEdit>

class QLabel;

namespace devir::app {

/// A single-line edit with its caption drawn above it, as the window designer's labelled edit
/// does: the label is a sibling at the edit's left, kLabelSpacing pixels above its top, and
/// follows the edit's position and enabled state.
class TLabeledEdit : public QLineEdit {
  Q_OBJECT

 public:
  /// Pixels between the label's bottom and the edit's top.
  static constexpr int kLabelSpacing = 3;

  /// Creates the edit and its label (named objectName() + "Label" once named) in parent.
  TLabeledEdit(const QString& caption, QWidget* parent);

  /// Places the edit and its label.
  void SetBounds(int left, int top, int width, int height);
  /// The caption above the edit.
  QLabel* EditLabel() const noexcept { return label_; }

 protected:
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PlaceLabel();

  QLabel* label_;
};

}  // namespace devir::app
