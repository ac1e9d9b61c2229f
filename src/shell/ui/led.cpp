#include "shell/ui/led.h"

#include <QPainter>
#include <QRadialGradient>

#include "common/ui_sink.h"

namespace quillon {
namespace {

QColor LitColor(TLED::Color color) {
  switch (color) {
    case TLED::Color::Red:
      return QColor(235, 40, 30);
    case TLED::Color::Green:
      return QColor(40, 220, 60);
    case TLED::Color::Yellow:
      return QColor(250, 215, 40);
  }
  return Qt::gray;
}

// A dark LED still shows its colour, as an unlit lamp does.
QColor DarkColor(TLED::Color color) { return LitColor(color).darker(230); }

}  // namespace

TLED::TLED(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TLED::sizeHint() const { return {16, 16}; }

void TLED::SetColor(Color color) { Set(color, lit_); }
void TLED::SetLit(bool lit) { Set(color_, lit); }

void TLED::Set(Color color, bool lit) {
  if (color == color_ && lit == lit_) return;
  color_ = color;
  lit_ = lit;
  update();
}

void TLED::ShowPortState(int state) {
  switch (state) {
    case kLedReady:
      Set(Color::Green, true);
      break;
    case kLedBusy:
      Set(Color::Green, !lit_);
      break;
    case kLedClosed:
      Set(Color::Yellow, false);
      break;
    case kLedError:
      Set(Color::Red, true);
      break;
    default:
      break;
  }
}

void TLED::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int side = std::min(width(), height()) - 2;
  const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
  const QColor base = lit_ ? LitColor(color_) : DarkColor(color_);
  QRadialGradient gradient(r.center() - QPointF(side / 5.0, side / 5.0), side * 0.7);
  gradient.setColorAt(0, lit_ ? base.lighter(160) : base.lighter(130));
  gradient.setColorAt(1, base);
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  painter.setBrush(gradient);
  painter.drawEllipse(r);
}

}  // namespace quillon
