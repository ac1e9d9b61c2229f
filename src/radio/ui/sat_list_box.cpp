#include "radio/ui/sat_list_box.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "radio/multi_sat.h"

namespace quillon {
namespace {

// "<list object name>\n<id>,<id>,...": the name tells the lists of one dialog apart.
constexpr const char* kMimeType = "application/x-quillon-satellites";

}  // namespace

SatListBox::SatListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
}

void SatListBox::AcceptDropsFrom(const SatListBox* partner, std::function<bool()> welcome) {
  partner_ = partner;
  welcome_ = std::move(welcome);
}

std::vector<int> SatListBox::SelectedIds() const {
  std::vector<int> ids;
  for (int row = 0; row < count(); ++row) {
    if (item(row)->isSelected()) ids.push_back(item(row)->data(Qt::UserRole).toInt());
  }
  return ids;
}

QMimeData* SatListBox::SelectionData() const {
  QByteArray payload = objectName().toUtf8() + '\n';
  bool first = true;
  for (const int id : SelectedIds()) {
    if (!first) payload += ',';
    payload += QByteArray::number(id);
    first = false;
  }
  auto* data = new QMimeData;
  data->setData(kMimeType, payload);
  return data;
}

std::vector<int> SatListBox::PartnerIds(const QMimeData* data) const {
  if (partner_ == nullptr || data == nullptr || !data->hasFormat(kMimeType)) return {};
  const QByteArray payload = data->data(kMimeType);
  const qsizetype newline = payload.indexOf('\n');
  if (newline < 0 || payload.left(newline) != partner_->objectName().toUtf8()) return {};
  std::vector<int> ids;
  for (const QByteArray& field : payload.mid(newline + 1).split(',')) {
    bool ok = false;
    const int id = field.toInt(&ok);
    if (ok && id >= kMinSatelliteId && id <= kMaxSatelliteId) ids.push_back(id);
  }
  return ids;
}

bool SatListBox::Welcome(const QMimeData* data) const {
  return !PartnerIds(data).empty() && (!welcome_ || welcome_());
}

void SatListBox::startDrag(Qt::DropActions /*supportedActions*/) {
  if (SelectedIds().empty()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(SelectionData());
  drag->exec(Qt::MoveAction);
}

void SatListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (Welcome(event->mimeData())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void SatListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (Welcome(event->mimeData())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void SatListBox::dropEvent(QDropEvent* event) {
  if (!Welcome(event->mimeData())) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
  emit satellitesDropped(PartnerIds(event->mimeData()));
}

}  // namespace quillon
