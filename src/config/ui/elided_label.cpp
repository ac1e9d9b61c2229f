#include "config/ui/elided_label.h"

#include <QFontMetrics>

namespace quillon {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

void ElidedLabel::SetFullText(const QString& text) {
  full_ = text;
  setToolTip(text);
  Elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::Elide() {
  const int width = contentsRect().width();
  setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, width > 0 ? width : 1 << 20));
}

}  // namespace quillon
