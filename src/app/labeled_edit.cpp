#include "app/labeled_edit.h"

#include <QEvent>
#include <QLabel>

namespace devir::app {

TLabeledEdit::TLabeledEdit(const QString& caption, QWidget* parent)
    : QLineEdit(parent), label_(new QLabel(caption, parent)) {
  label_->setBuddy(this);
  connect(this, &QObject::objectNameChanged, label_,
          [this](const QString& name) { label_->setObjectName(name + QStringLiteral("Label")); });
}

void TLabeledEdit::SetBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  PlaceLabel();
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  PlaceLabel();
}

void TLabeledEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) label_->setEnabled(isEnabled());
  if (event->type() == QEvent::FontChange) PlaceLabel();
}

void TLabeledEdit::PlaceLabel() {
  const QSize size = label_->sizeHint();
  label_->setGeometry(x(), y() - kLabelSpacing - size.height(), size.width(), size.height());
}

}  // namespace devir::app
