#pragma once
// TLED: a small round lamp in red, green or yellow, lit or dark. The program LED and the eight
// port LEDs of the main window.
#include <QWidget>

namespace quillon {

class TLED : public QWidget {
  Q_OBJECT

 public:
  enum class Color { Red, Green, Yellow };

  explicit TLED(QWidget* parent = nullptr);

  Color color() const { return color_; }
  bool lit() const { return lit_; }
  void SetColor(Color color);
  void SetLit(bool lit);
  void Set(Color color, bool lit);
  void Toggle() { SetLit(!lit_); }

  // A port's LED state as the receive thread reports it: 0 green lit, 1 green with the lit state
  // inverted, 2 yellow dark, -1 red lit.
  void ShowPortState(int state);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Color color_ = Color::Yellow;
  bool lit_ = false;
};

}  // namespace quillon
