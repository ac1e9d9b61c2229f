#include "config/ui/drop_line_edit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "common/ui/message_boxes.h"
#include "config/ui/setup_texts.h"

namespace quillon {
namespace {

bool CarriesFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return false;
  }
  return true;
}

}  // namespace

DropLineEdit::DropLineEdit(QWidget* parent) : QLineEdit(parent) { setAcceptDrops(true); }

void DropLineEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (CarriesFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    QLineEdit::dragEnterEvent(event);
  }
}

void DropLineEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (CarriesFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    QLineEdit::dragMoveEvent(event);
  }
}

void DropLineEdit::dropEvent(QDropEvent* event) {
  if (!CarriesFiles(event->mimeData())) {
    QLineEdit::dropEvent(event);
    return;
  }
  event->acceptProposedAction();
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1) {
    ShowMessageBox(this, MessageKind::Error, txt::kOneFileOnly);
    return;
  }
  emit fileDropped(urls.front().toLocalFile());
}

}  // namespace quillon
