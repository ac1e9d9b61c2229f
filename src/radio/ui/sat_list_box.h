#pragma once
// A list of satellites of the radio network setup: each item carries its satellite's ID, the
// selection can be dragged onto a partner list, and a drop from that partner is reported with
// the dragged IDs. Whether a drop is welcome right now is the owner's rule.
#include <QListWidget>
#include <functional>
#include <vector>

class QMimeData;

namespace quillon {

class SatListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit SatListBox(QWidget* parent = nullptr);

  // The list whose drags this one takes, and the rule that says whether it takes one now.
  void AcceptDropsFrom(const SatListBox* partner, std::function<bool()> welcome);
  // The IDs of the selected items, in list order.
  std::vector<int> SelectedIds() const;
  // What a drag of the selection carries (the caller owns it).
  QMimeData* SelectionData() const;

 signals:
  void satellitesDropped(const std::vector<int>& ids);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The IDs a drag from the partner carries; empty for anything else.
  std::vector<int> PartnerIds(const QMimeData* data) const;
  bool Welcome(const QMimeData* data) const;

  const SatListBox* partner_ = nullptr;
  std::function<bool()> welcome_;
};

}  // namespace quillon
