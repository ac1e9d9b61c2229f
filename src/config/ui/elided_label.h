#pragma once
// A label that shows a long text shortened with an ellipsis in the middle to fit its width.
#include <QLabel>
#include <QString>

namespace quillon {

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);
  void SetFullText(const QString& text);
  const QString& FullText() const { return full_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  QString full_;
};

}  // namespace quillon
