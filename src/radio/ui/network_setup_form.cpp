#include "radio/ui/network_setup_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "common/encoding.h"
#include "common/format.h"
#include "common/ui/message_boxes.h"
#include "radio/sat_search.h"
#include "radio/tembra_fkt.h"
#include "radio/ui/network_input_forms.h"
#include "radio/ui/network_texts.h"
#include "radio/ui/sat_list_box.h"

namespace quillon {
namespace {

constexpr int kMaxOnlineOfflineDelay = 1000;
constexpr int kMaxSatCmdDelay = 500;
constexpr int kPauseStep = 10;

QString U8(const char* text) { return QString::fromUtf8(text); }
QString U8(const std::string& text) { return QString::fromStdString(text); }

QPushButton* NewButton(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(U8(text), parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  // Some room around the text, also where a row of buttons is squeezed.
  button->setMinimumWidth(button->sizeHint().width() + 12);
  return button;
}

QLabel* NewLabel(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(U8(text), parent);
  label->setBuddy(buddy);
  return label;
}

// A row of buttons under a list, as wide as the list.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  for (QPushButton* b : buttons) row->addWidget(b);
  return row;
}

// The list's context menu offers the actions of its buttons, enabled as they are.
void AttachMenu(QListWidget* list, std::vector<std::pair<const char*, QPushButton*>> entries) {
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(list, &QWidget::customContextMenuRequested, list, [list, entries](QPoint at) {
    QMenu menu(list);
    for (const auto& [text, button] : entries) {
      QAction* action = menu.addAction(U8(text));
      action->setEnabled(button->isEnabled());
      QObject::connect(action, &QAction::triggered, button, &QPushButton::click);
    }
    menu.exec(list->viewport()->mapToGlobal(at));
  });
}

QString FoundText(int address) {
  QString text = U8(Format(nettxt::kFoundItem, address));
  if (address == 0) text += U8(nettxt::kInvalidAddressSuffix);
  return text;
}

QString SatelliteText(const TOneSat& sat) {
  return U8(Format(nettxt::kSatelliteItem, sat.Nr, sat.Name, sat.VonTerm, sat.BisTerm));
}

bool ByNr(const TOneSat* a, const TOneSat* b) { return a->Nr < b->Nr; }

std::set<int> SelectedIdSet(const SatListBox* list) {
  const std::vector<int> ids = list->SelectedIds();
  return {ids.begin(), ids.end()};
}

void FillSatellites(SatListBox* list, std::vector<const TOneSat*> sats, const std::set<int>& keep) {
  std::sort(sats.begin(), sats.end(), ByNr);
  list->clear();
  for (const TOneSat* sat : sats) {
    auto* item = new QListWidgetItem(SatelliteText(*sat), list);
    item->setData(Qt::UserRole, sat->Nr);
    item->setSelected(keep.count(sat->Nr) > 0);
  }
}

}  // namespace

TMultiSatSetupForm::TMultiSatSetupForm(TMultiSat& network, TOrvComm& port, QWidget* parent)
    : QDialog(parent), network_(network) {
  setObjectName("TMultiSatSetupForm");
  setWindowTitle(U8(nettxt::kCaption));
  // What the file holds, not what an earlier run of the dialog left behind.
  (void)network_.Load();

  PC = new QTabWidget(this);
  PC->setObjectName("PC");
  PC->addTab(BuildSearchPage(), U8(nettxt::kPageSatellites));
  PC->addTab(BuildGroupsPage(), U8(nettxt::kPageGroups));
  PC->addTab(BuildTerminalsPage(), U8(nettxt::kPageTerminals));
  PC->addTab(BuildOptionsPage(), U8(nettxt::kPageOptions));
  PC->setCurrentIndex(0);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PC, 1);
  layout->addWidget(BuildButtonRow());

  // The worker's reports come on its own thread: each is handed to this window's thread and
  // dropped with the window.
  SearchEvents events;
  events.testing = [this](int address, int baud) {
    QMetaObject::invokeMethod(
        this, [this, address, baud] { SearchTesting(address, baud); }, Qt::QueuedConnection);
  };
  events.found = [this](int address) {
    QMetaObject::invokeMethod(
        this, [this, address] { SatelliteFound(address); }, Qt::QueuedConnection);
  };
  events.searchEnded = [this] {
    QMetaObject::invokeMethod(
        this, [this] { SearchEnded(); }, Qt::QueuedConnection);
  };
  events.changeEnded = [this](int oldAddress, int newAddress, bool answered) {
    QMetaObject::invokeMethod(
        this, [=, this] { AddressChangeEnded(oldAddress, newAddress, answered); },
        Qt::QueuedConnection);
  };
  search_ = std::make_unique<TSearchSatThread>(port, std::move(events));

  FillOptions();
  RebuildLists();
  RebuildTerminals();
  changed_ = false;
  RefreshButtons();
  RefreshSearchButtons();
  resize(sizeHint().expandedTo(QSize(820, 480)));
}

TMultiSatSetupForm::~TMultiSatSetupForm() { EndSearchWorker(); }

void TMultiSatSetupForm::EndSearchWorker() {
  if (!search_) return;
  search_->StopSearch();
  search_.reset();  // waits for the step under way
}

// ---- building ---------------------------------------------------------------------------------

QWidget* TMultiSatSetupForm::BuildSearchPage() {
  auto* page = new QWidget;
  page->setObjectName("SatellitenPage");
  GefSatLB = new QListWidget(page);
  GefSatLB->setObjectName("GefSatLB");
  SearchSatBtn = NewButton(nettxt::kSearch, "SearchSatBtn", page);
  NewSatAdrBtn = NewButton(nettxt::kNewAddress, "NewSatAdrBtn", page);
  SearchSatBtn->setMinimumWidth(140);
  SearchAdrPnl = new QLabel(page);
  SearchAdrPnl->setObjectName("SearchAdrPnl");
  SearchAdrPnl->setFrameShape(QFrame::Panel);
  SearchAdrPnl->setFrameShadow(QFrame::Sunken);
  SearchAdrPnl->setAlignment(Qt::AlignCenter);
  SearchAdrPnl->setMinimumHeight(28);
  SearchAdrPnl->hide();

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(SearchSatBtn);
  buttons->addWidget(NewSatAdrBtn);
  buttons->addStretch();
  auto* grid = new QGridLayout(page);
  grid->addWidget(NewLabel(nettxt::kFoundLabel, GefSatLB, page), 0, 0);
  grid->addWidget(GefSatLB, 1, 0);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(SearchAdrPnl, 2, 0, 1, 2);
  grid->setColumnStretch(0, 1);

  connect(SearchSatBtn, &QPushButton::clicked, this, &TMultiSatSetupForm::SearchClicked);
  connect(NewSatAdrBtn, &QPushButton::clicked, this, &TMultiSatSetupForm::NewAddressClicked);
  connect(GefSatLB, &QListWidget::itemSelectionChanged, this,
          &TMultiSatSetupForm::RefreshSearchButtons);
  return page;
}

QWidget* TMultiSatSetupForm::BuildGroupsPage() {
  auto* page = new QWidget;
  page->setObjectName("GruppenPage");
  GrpListBox = new QListWidget(page);
  GrpListBox->setObjectName("GrpListBox");
  GrpListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  GrpSatListBox = new SatListBox(page);
  GrpSatListBox->setObjectName("GrpSatListBox");
  AvailSatListBox = new SatListBox(page);
  AvailSatListBox->setObjectName("AvailSatListBox");
  // Dropped into the group's list: only while one group is chosen to take them.
  GrpSatListBox->AcceptDropsFrom(AvailSatListBox, [this] { return SingleGroup() != nullptr; });
  AvailSatListBox->AcceptDropsFrom(GrpSatListBox, [this] { return SingleGroup() != nullptr; });

  newGroup_ = NewButton(nettxt::kNewGroup, "NewGrpBtn", page);
  editGroup_ = NewButton(nettxt::kEditGroup, "EditGrpBtn", page);
  deleteGroups_ = NewButton(nettxt::kDeleteGroup, "DelGrpBtn", page);
  editGroupSatellite_ = NewButton(nettxt::kEditGroupSatellite, "EditGrpSatBtn", page);
  deleteGroupSatellites_ = NewButton(nettxt::kDeleteGroupSatellite, "DelGrpSatBtn", page);
  newSatellite_ = NewButton(nettxt::kNewSatellite, "NewSatBtn", page);
  editSatellite_ = NewButton(nettxt::kEditSatellite, "EditSatBtn", page);
  deleteSatellites_ = NewButton(nettxt::kDeleteSatellite, "DelSatBtn", page);
  addSelected_ = NewButton(nettxt::kAddSelected, "AddSatBtn", page);
  addAll_ = NewButton(nettxt::kAddAll, "AddAllSatBtn", page);
  removeSelected_ = NewButton(nettxt::kRemoveSelected, "RemoveSatBtn", page);
  removeAll_ = NewButton(nettxt::kRemoveAll, "RemoveAllSatBtn", page);
  for (QPushButton* arrow : {addSelected_, addAll_, removeSelected_, removeAll_}) {
    arrow->setFixedWidth(40);
  }

  auto* arrows = new QVBoxLayout;
  arrows->addStretch();
  for (QPushButton* arrow : {addSelected_, addAll_, removeSelected_, removeAll_}) {
    arrows->addWidget(arrow);
  }
  arrows->addStretch();

  auto* grid = new QGridLayout(page);
  grid->addWidget(NewLabel(nettxt::kGroupsLabel, GrpListBox, page), 0, 0);
  grid->addWidget(NewLabel(nettxt::kGroupSatellitesLabel, GrpSatListBox, page), 0, 1);
  grid->addWidget(NewLabel(nettxt::kAvailableLabel, AvailSatListBox, page), 0, 3);
  grid->addWidget(GrpListBox, 1, 0);
  grid->addWidget(GrpSatListBox, 1, 1);
  grid->addLayout(arrows, 1, 2);
  grid->addWidget(AvailSatListBox, 1, 3);
  grid->addLayout(ButtonRow({newGroup_, editGroup_, deleteGroups_}), 2, 0);
  grid->addLayout(ButtonRow({editGroupSatellite_, deleteGroupSatellites_}), 2, 1);
  grid->addLayout(ButtonRow({newSatellite_, editSatellite_, deleteSatellites_}), 2, 3);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(3, 3);

  connect(newGroup_, &QPushButton::clicked, this, &TMultiSatSetupForm::NewGroup);
  connect(editGroup_, &QPushButton::clicked, this, &TMultiSatSetupForm::EditGroup);
  connect(deleteGroups_, &QPushButton::clicked, this, &TMultiSatSetupForm::DeleteGroups);
  connect(newSatellite_, &QPushButton::clicked, this, &TMultiSatSetupForm::NewSatellite);
  connect(editSatellite_, &QPushButton::clicked, this, [this] { EditSatellite(AvailSatListBox); });
  connect(deleteSatellites_, &QPushButton::clicked, this,
          [this] { DeleteSatellites(AvailSatListBox); });
  connect(editGroupSatellite_, &QPushButton::clicked, this,
          [this] { EditSatellite(GrpSatListBox); });
  connect(deleteGroupSatellites_, &QPushButton::clicked, this,
          [this] { DeleteSatellites(GrpSatListBox); });
  connect(addSelected_, &QPushButton::clicked, this,
          [this] { AddToGroup(AvailSatListBox->SelectedIds()); });
  connect(addAll_, &QPushButton::clicked, this, [this] { AddToGroup(AllIds(AvailSatListBox)); });
  connect(removeSelected_, &QPushButton::clicked, this,
          [this] { RemoveFromGroup(GrpSatListBox->SelectedIds()); });
  connect(removeAll_, &QPushButton::clicked, this,
          [this] { RemoveFromGroup(AllIds(GrpSatListBox)); });
  connect(GrpSatListBox, &SatListBox::satellitesDropped, this, &TMultiSatSetupForm::AddToGroup);
  connect(AvailSatListBox, &SatListBox::satellitesDropped, this,
          &TMultiSatSetupForm::RemoveFromGroup);

  connect(GrpListBox, &QListWidget::itemSelectionChanged, this, [this] {
    FillSatelliteLists();
    RefreshButtons();
  });
  for (QListWidget* list :
       {static_cast<QListWidget*>(GrpSatListBox), static_cast<QListWidget*>(AvailSatListBox)}) {
    connect(list, &QListWidget::itemSelectionChanged, this, &TMultiSatSetupForm::RefreshButtons);
  }
  connect(GrpListBox, &QListWidget::itemDoubleClicked, editGroup_, &QPushButton::click);
  connect(GrpSatListBox, &QListWidget::itemDoubleClicked, editGroupSatellite_, &QPushButton::click);
  connect(AvailSatListBox, &QListWidget::itemDoubleClicked, editSatellite_, &QPushButton::click);

  AttachMenu(GrpListBox, {{nettxt::kNewGroup, newGroup_},
                          {nettxt::kEditGroup, editGroup_},
                          {nettxt::kDeleteGroup, deleteGroups_}});
  AttachMenu(GrpSatListBox, {{nettxt::kEditGroupSatellite, editGroupSatellite_},
                             {nettxt::kDeleteGroupSatellite, deleteGroupSatellites_},
                             {nettxt::kMenuRemoveSelected, removeSelected_},
                             {nettxt::kMenuRemoveAll, removeAll_}});
  AttachMenu(AvailSatListBox, {{nettxt::kNewSatellite, newSatellite_},
                               {nettxt::kEditSatellite, editSatellite_},
                               {nettxt::kDeleteSatellite, deleteSatellites_},
                               {nettxt::kMenuAddSelected, addSelected_},
                               {nettxt::kMenuAddAll, addAll_}});
  return page;
}

QWidget* TMultiSatSetupForm::BuildTerminalsPage() {
  auto* page = new QWidget;
  page->setObjectName("TerminalsPage");
  TermListBox = new QListWidget(page);
  TermListBox->setObjectName("TermListBox");
  TermListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QPushButton* newTerminal = NewButton(nettxt::kNewTerminal, "NewTermBtn", page);
  editTerminal_ = NewButton(nettxt::kEditTerminal, "EditTermBtn", page);
  deleteTerminals_ = NewButton(nettxt::kDeleteTerminal, "DelTermBtn", page);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {newTerminal, editTerminal_, deleteTerminals_}) buttons->addWidget(b);
  buttons->addStretch();
  auto* grid = new QGridLayout(page);
  grid->addWidget(NewLabel(nettxt::kTerminalsLabel, TermListBox, page), 0, 0);
  grid->addWidget(TermListBox, 1, 0);
  grid->addLayout(buttons, 1, 1);
  grid->setColumnStretch(0, 1);

  connect(newTerminal, &QPushButton::clicked, this, &TMultiSatSetupForm::NewTerminal);
  connect(editTerminal_, &QPushButton::clicked, this, &TMultiSatSetupForm::EditTerminal);
  connect(deleteTerminals_, &QPushButton::clicked, this, &TMultiSatSetupForm::DeleteTerminals);
  connect(TermListBox, &QListWidget::itemSelectionChanged, this,
          &TMultiSatSetupForm::RefreshButtons);
  connect(TermListBox, &QListWidget::itemDoubleClicked, editTerminal_, &QPushButton::click);
  AttachMenu(TermListBox, {{nettxt::kNewTerminal, newTerminal},
                           {nettxt::kEditTerminal, editTerminal_},
                           {nettxt::kDeleteTerminal, deleteTerminals_}});
  return page;
}

QWidget* TMultiSatSetupForm::BuildOptionsPage() {
  auto* page = new QWidget;
  page->setObjectName("OptionenPage");

  auto* data = new QGroupBox(U8(nettxt::kTermDataGroup), page);
  TermDatenMitTermNr = new QCheckBox(U8(nettxt::kTermIdBeforeData), data);
  TermDatenMitTermNr->setObjectName("TermDatenMitTermNr");
  TermDatenMitProtCounter = new QCheckBox(U8(nettxt::kWithCounter), data);
  TermDatenMitProtCounter->setObjectName("TermDatenMitProtCounter");
  DelDoppelteDS = new QCheckBox(U8(nettxt::kDeleteDuplicates), data);
  DelDoppelteDS->setObjectName("DelDoppelteDS");
  auto* dataLayout = new QVBoxLayout(data);
  for (QCheckBox* box : {TermDatenMitTermNr, TermDatenMitProtCounter, DelDoppelteDS}) {
    dataLayout->addWidget(box);
  }

  auto* timing = new QGroupBox(U8(nettxt::kTimingGroup), page);
  auto pause = [timing](const char* name, int min, int max) {
    auto* spin = new QSpinBox(timing);
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setSingleStep(kPauseStep);
    spin->setSuffix(" ms");
    spin->setKeyboardTracking(false);
    return spin;
  };
  OnlineOfflineDelay =
      pause("OnlineOfflineDelay", kDefaultOnlineOfflineDelay, kMaxOnlineOfflineDelay);
  SatCmdDelay = pause("SatCmdDelay", kDefaultSatCmdDelay, kMaxSatCmdDelay);
  auto* timingLayout = new QGridLayout(timing);
  timingLayout->addWidget(NewLabel(nettxt::kOnlineOfflineLabel, OnlineOfflineDelay, timing), 0, 0);
  timingLayout->addWidget(OnlineOfflineDelay, 0, 1);
  timingLayout->addWidget(NewLabel(nettxt::kSatCmdLabel, SatCmdDelay, timing), 1, 0);
  timingLayout->addWidget(SatCmdDelay, 1, 1);
  timingLayout->setColumnStretch(2, 1);
  timingLayout->setVerticalSpacing(10);

  auto* general = new QGroupBox(U8(nettxt::kGeneralGroup), page);
  MitLogbuch = new QCheckBox(U8(nettxt::kWithLogbook), general);
  MitLogbuch->setObjectName("MitLogbuch");
  auto* generalLayout = new QVBoxLayout(general);
  generalLayout->addWidget(MitLogbuch);

  auto* layout = new QGridLayout(page);
  layout->addWidget(data, 0, 0);
  layout->addWidget(timing, 0, 1);
  layout->addWidget(general, 1, 0);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);

  auto onToggle = [this](QCheckBox* box, auto apply) {
    connect(box, &QCheckBox::toggled, this, [this, apply](bool on) {
      if (filling_ > 0) return;
      apply(on);
      MarkChanged();
    });
  };
  onToggle(TermDatenMitTermNr, [this](bool on) { network_.TermIdBeforeData = on; });
  onToggle(DelDoppelteDS, [this](bool on) { network_.DeleteDuplicates = on; });
  onToggle(MitLogbuch, [this](bool on) { network_.Debuglevel = on ? 1 : 0; });
  onToggle(TermDatenMitProtCounter, [this](bool on) { CounterToggled(on); });
  auto onPause = [this](QSpinBox* spin, int32_t TMultiSat::*field) {
    connect(spin, &QSpinBox::valueChanged, this, [this, field](int value) {
      if (filling_ > 0) return;
      network_.*field = value;
      MarkChanged();
    });
  };
  onPause(OnlineOfflineDelay, &TMultiSat::OnlineOfflineDelay);
  onPause(SatCmdDelay, &TMultiSat::SatCmdDelay);
  return page;
}

QWidget* TMultiSatSetupForm::BuildButtonRow() {
  auto* row = new QWidget(this);
  OkBtn = NewButton(nettxt::kOk, "OkBtn", row);
  AbbrechenBtn = NewButton(nettxt::kCancel, "AbbrechenBtn", row);
  GetActBtn = NewButton(nettxt::kApply, "GetActBtn", row);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch();
  for (QPushButton* b : {OkBtn, AbbrechenBtn, GetActBtn}) {
    b->setMinimumWidth(100);
    layout->addWidget(b);
  }
  connect(OkBtn, &QPushButton::clicked, this, &TMultiSatSetupForm::OkClicked);
  connect(AbbrechenBtn, &QPushButton::clicked, this, &TMultiSatSetupForm::reject);
  connect(GetActBtn, &QPushButton::clicked, this, &TMultiSatSetupForm::ApplyClicked);
  return row;
}

void TMultiSatSetupForm::FillOptions() {
  ++filling_;
  OnlineOfflineDelay->setValue(network_.OnlineOfflineDelay);
  SatCmdDelay->setValue(network_.SatCmdDelay);
  TermDatenMitTermNr->setChecked(network_.TermIdBeforeData);
  // Records with a counter are always checked for repeats.
  if (network_.WithCounter) network_.DeleteDuplicates = true;
  TermDatenMitProtCounter->setChecked(network_.WithCounter);
  DelDoppelteDS->setChecked(network_.DeleteDuplicates);
  DelDoppelteDS->setEnabled(!network_.WithCounter);
  TermDatenMitTermNr->setEnabled(!network_.WithCounter);
  MitLogbuch->setChecked(network_.Debuglevel > 0);
  --filling_;
}

// ---- satellite search -------------------------------------------------------------------------

void TMultiSatSetupForm::SearchClicked() {
  if (!search_) return;
  if (searching_) {
    // The pass ends after the address under test; its end report brings the button back.
    search_->StopSearch();
    stopping_ = true;
    SearchSatBtn->setText(U8(nettxt::kSearch));
  } else {
    if (!search_->StartSearch()) return;
    GefSatLB->clear();
    searching_ = true;
    SearchSatBtn->setText(U8(nettxt::kStopSearch));
  }
  RefreshSearchButtons();
}

void TMultiSatSetupForm::SearchTesting(int address, int baud) {
  if (!searching_) return;
  SearchAdrPnl->setText(U8(Format(nettxt::kSearching, address, baud)));
  SearchAdrPnl->show();
}

void TMultiSatSetupForm::SatelliteFound(int address) {
  auto* item = new QListWidgetItem(FoundText(address), GefSatLB);
  item->setData(Qt::UserRole, address);
  GefSatLB->setCurrentItem(item);
}

void TMultiSatSetupForm::SearchEnded() {
  searching_ = false;
  stopping_ = false;
  SearchAdrPnl->hide();
  SearchAdrPnl->clear();
  SearchSatBtn->setText(U8(nettxt::kSearch));
  RefreshSearchButtons();
}

QListWidgetItem* TMultiSatSetupForm::FoundItem(int address) const {
  for (int row = 0; row < GefSatLB->count(); ++row) {
    if (GefSatLB->item(row)->data(Qt::UserRole).toInt() == address) return GefSatLB->item(row);
  }
  return nullptr;
}

void TMultiSatSetupForm::NewAddressClicked() {
  const QList<QListWidgetItem*> selected = GefSatLB->selectedItems();
  if (!search_ || searching_ || changingAddress_ || selected.size() != 1) return;
  QListWidgetItem* item = selected.front();
  const int oldAddress = item->data(Qt::UserRole).toInt();

  QInputDialog ask(this);
  ask.setObjectName("NeueAdresseDlg");
  ask.setWindowTitle(U8(nettxt::kChangeCaption));
  ask.setLabelText(U8(nettxt::kChangePrompt));
  ask.setTextValue(QString::number(oldAddress));
  ask.setOkButtonText(U8(nettxt::kFormOk));
  ask.setCancelButtonText(U8(nettxt::kFormCancel));
  // Room for the caption in the title bar.
  if (auto* field = ask.findChild<QLineEdit*>()) field->setMinimumWidth(300);
  if (ask.exec() != QDialog::Accepted) return;

  const std::optional<int> newAddress =
      ParseSatelliteAddress(ask.textValue().trimmed().toStdString());
  if (!newAddress) {
    ShowMessageBox(this, MessageKind::Error, nettxt::kAddressInvalid);
    return;
  }
  QListWidgetItem* holder = FoundItem(*newAddress);
  if (holder != nullptr && holder != item) {
    ShowMessageBox(this, MessageKind::Error, Format(nettxt::kAddressTaken, *newAddress));
    return;
  }
  // The item may have gone meanwhile only through a new search, which cannot start while the
  // box is up; still look it up again.
  item = FoundItem(oldAddress);
  if (item == nullptr || !search_->StartAddressChange(oldAddress, *newAddress)) return;
  item->setText(U8(Format(nettxt::kChangingItem, oldAddress)));
  changingAddress_ = true;
  RefreshSearchButtons();
}

void TMultiSatSetupForm::AddressChangeEnded(int oldAddress, int newAddress, bool answered) {
  changingAddress_ = false;
  if (QListWidgetItem* item = FoundItem(oldAddress)) {
    if (answered) {
      item->setText(FoundText(newAddress));
      item->setData(Qt::UserRole, newAddress);
    }
    GefSatLB->setCurrentItem(item);
  }
  RefreshSearchButtons();
}

void TMultiSatSetupForm::RefreshSearchButtons() {
  SearchSatBtn->setEnabled(search_ != nullptr && !changingAddress_ && !stopping_);
  NewSatAdrBtn->setEnabled(search_ != nullptr && !searching_ && !changingAddress_ &&
                           GefSatLB->selectedItems().size() == 1);
}

// ---- groups and satellites --------------------------------------------------------------------

std::vector<TOneGrp*> TMultiSatSetupForm::SelectedGroups() const {
  std::vector<TOneGrp*> groups;
  for (const QListWidgetItem* item : GrpListBox->selectedItems()) {
    if (TOneGrp* group = network_.FindGroup(item->text().toStdString())) groups.push_back(group);
  }
  return groups;
}

TOneGrp* TMultiSatSetupForm::SingleGroup() const {
  const std::vector<TOneGrp*> groups = SelectedGroups();
  return groups.size() == 1 ? groups.front() : nullptr;
}

std::vector<int> TMultiSatSetupForm::AllIds(const SatListBox* list) const {
  std::vector<int> ids;
  for (int row = 0; row < list->count(); ++row) {
    ids.push_back(list->item(row)->data(Qt::UserRole).toInt());
  }
  return ids;
}

void TMultiSatSetupForm::RebuildLists() {
  std::set<std::string> keep;
  for (const TOneGrp* group : SelectedGroups()) keep.insert(group->Name);
  std::vector<const TOneGrp*> groups;
  for (const auto& group : network_.Groups) groups.push_back(group.get());
  std::sort(groups.begin(), groups.end(), [](const TOneGrp* a, const TOneGrp* b) {
    return QString::compare(U8(a->Name), U8(b->Name), Qt::CaseInsensitive) < 0;
  });
  {
    QSignalBlocker quiet(GrpListBox);
    GrpListBox->clear();
    for (const TOneGrp* group : groups) {
      auto* item = new QListWidgetItem(U8(group->Name), GrpListBox);
      item->setSelected(keep.count(group->Name) > 0);
    }
  }
  FillSatelliteLists();
  RefreshButtons();
}

void TMultiSatSetupForm::FillSatelliteLists() {
  const TOneGrp* group = SingleGroup();
  std::vector<const TOneSat*> inGroup;
  std::vector<const TOneSat*> available;
  for (const auto& sat : network_.Satellites) {
    const bool member = group != nullptr && std::find(group->SatList.begin(), group->SatList.end(),
                                                      sat.get()) != group->SatList.end();
    (member ? inGroup : available).push_back(sat.get());
  }
  const std::set<int> keepInGroup = SelectedIdSet(GrpSatListBox);
  const std::set<int> keepAvailable = SelectedIdSet(AvailSatListBox);
  QSignalBlocker quietGroup(GrpSatListBox);
  QSignalBlocker quietAvailable(AvailSatListBox);
  FillSatellites(GrpSatListBox, inGroup, keepInGroup);
  FillSatellites(AvailSatListBox, available, keepAvailable);
}

void TMultiSatSetupForm::NewGroup() {
  TGrpForm form(network_, nullptr, this);
  if (form.exec() != QDialog::Accepted) return;
  TOneGrp* group = network_.AddGroup(form.Name());
  if (group == nullptr) return;  // the form refused every name the network refuses
  MarkChanged();
  SelectOnlyGroup(group->Name);
}

void TMultiSatSetupForm::EditGroup() {
  TOneGrp* group = SingleGroup();
  if (group == nullptr) return;
  TGrpForm form(network_, group, this);
  if (form.exec() != QDialog::Accepted || !network_.RenameGroup(*group, form.Name())) return;
  MarkChanged();
  SelectOnlyGroup(group->Name);
}

void TMultiSatSetupForm::SelectOnlyGroup(const std::string& name) {
  {
    QSignalBlocker quiet(GrpListBox);
    GrpListBox->clear();  // nothing kept: the group is chosen below by its (new) name
  }
  RebuildLists();
  const QList<QListWidgetItem*> items = GrpListBox->findItems(U8(name), Qt::MatchExactly);
  if (!items.isEmpty()) GrpListBox->setCurrentItem(items.front());
}

void TMultiSatSetupForm::DeleteGroups() {
  const std::vector<TOneGrp*> groups = SelectedGroups();
  if (groups.empty()) return;
  const std::string question = groups.size() == 1
                                   ? Format(nettxt::kDeleteOneGroup, groups.front()->Name)
                                   : std::string(nettxt::kDeleteGroups);
  if (!AskYesNoBox(this, question)) return;
  for (const TOneGrp* group : groups) network_.DeleteGroup(group);
  MarkChanged();
  RebuildLists();
}

void TMultiSatSetupForm::NewSatellite() {
  if (network_.FreeSatelliteId() == 0) {
    ShowMessageBox(this, MessageKind::Error, nettxt::kNoSatelliteIdFree);
    return;
  }
  TSatForm form(network_, nullptr, this);
  if (form.exec() != QDialog::Accepted) return;
  if (network_.AddSatellite(form.Nr(), form.Name(), form.Von(), form.Bis()) == nullptr) return;
  network_.LastVonTerm = form.Von();
  network_.LastBisTerm = form.Bis();
  MarkChanged();
  RebuildLists();
}

void TMultiSatSetupForm::EditSatellite(const SatListBox* from) {
  const std::vector<int> ids = from->SelectedIds();
  TOneSat* sat = ids.size() == 1 ? network_.FindSatellite(ids.front()) : nullptr;
  if (sat == nullptr) return;
  TSatForm form(network_, sat, this);
  if (form.exec() != QDialog::Accepted) return;
  if (!network_.EditSatellite(*sat, form.Name(), form.Von(), form.Bis())) return;
  // The form let through only an ID no other satellite or terminal has; groups keep the
  // record, so they follow the new ID.
  sat->Nr = form.Nr();
  network_.LastVonTerm = form.Von();
  network_.LastBisTerm = form.Bis();
  MarkChanged();
  FillSatelliteLists();
  for (SatListBox* list : {GrpSatListBox, AvailSatListBox}) {
    for (int row = 0; row < list->count(); ++row) {
      list->item(row)->setSelected(list == from &&
                                   list->item(row)->data(Qt::UserRole).toInt() == sat->Nr);
    }
  }
  RefreshButtons();
}

void TMultiSatSetupForm::DeleteSatellites(const SatListBox* from) {
  std::vector<TOneSat*> sats;
  for (const int id : from->SelectedIds()) {
    if (TOneSat* sat = network_.FindSatellite(id)) sats.push_back(sat);
  }
  if (sats.empty()) return;
  const std::string question =
      sats.size() == 1 ? Format(nettxt::kDeleteOneSatellite, sats.front()->Nr, sats.front()->Name)
                       : std::string(nettxt::kDeleteSatellites);
  if (!AskYesNoBox(this, question)) return;
  for (const TOneSat* sat : sats) network_.DeleteSatellite(sat);
  MarkChanged();
  RebuildLists();
}

void TMultiSatSetupForm::AddToGroup(const std::vector<int>& ids) {
  TOneGrp* group = SingleGroup();
  if (group == nullptr || ids.empty()) return;
  for (const int id : ids) (void)network_.AddToGroup(*group, network_.FindSatellite(id));
  MarkChanged();
  FillSatelliteLists();
  RefreshButtons();
}

void TMultiSatSetupForm::RemoveFromGroup(const std::vector<int>& ids) {
  TOneGrp* group = SingleGroup();
  if (group == nullptr || ids.empty()) return;
  for (const int id : ids) std::erase(group->SatList, network_.FindSatellite(id));
  MarkChanged();
  FillSatelliteLists();
  RefreshButtons();
}

// ---- stationary terminals ---------------------------------------------------------------------

std::vector<TOneTerm*> TMultiSatSetupForm::SelectedTerminals() const {
  std::vector<TOneTerm*> terms;
  for (const QListWidgetItem* item : TermListBox->selectedItems()) {
    const auto* wanted =
        reinterpret_cast<const TOneTerm*>(item->data(Qt::UserRole).value<quintptr>());
    for (const auto& term : network_.Terminals) {
      if (term.get() == wanted) terms.push_back(term.get());
    }
  }
  return terms;
}

void TMultiSatSetupForm::RebuildTerminals() {
  const std::vector<TOneTerm*> keepList = SelectedTerminals();
  const std::set<const TOneTerm*> keep(keepList.begin(), keepList.end());
  std::vector<const TOneTerm*> terms;
  for (const auto& term : network_.Terminals) terms.push_back(term.get());
  std::stable_sort(terms.begin(), terms.end(),
                   [](const TOneTerm* a, const TOneTerm* b) { return a->Nr < b->Nr; });
  {
    QSignalBlocker quiet(TermListBox);
    TermListBox->clear();
    for (const TOneTerm* term : terms) {
      auto* item =
          new QListWidgetItem(U8(Format(nettxt::kTerminalItem, term->Nr, term->Name)), TermListBox);
      item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(term)));
      item->setSelected(keep.count(term) > 0);
    }
  }
  RefreshButtons();
}

void TMultiSatSetupForm::NewTerminal() {
  TTermForm form(network_, nullptr, this);
  if (form.exec() != QDialog::Accepted) return;
  if (network_.AddTerminal(form.Nr(), form.Name()) == nullptr) return;
  MarkChanged();
  RebuildTerminals();
}

void TMultiSatSetupForm::EditTerminal() {
  const std::vector<TOneTerm*> terms = SelectedTerminals();
  if (terms.size() != 1) return;
  TTermForm form(network_, terms.front(), this);
  if (form.exec() != QDialog::Accepted) return;
  if (!network_.EditTerminal(*terms.front(), form.Nr(), form.Name())) return;
  MarkChanged();
  RebuildTerminals();
}

void TMultiSatSetupForm::DeleteTerminals() {
  const std::vector<TOneTerm*> terms = SelectedTerminals();
  if (terms.empty()) return;
  const std::string question = terms.size() == 1
                                   ? Format(nettxt::kDeleteOneTerminal, terms.front()->Nr)
                                   : std::string(nettxt::kDeleteTerminals);
  if (!AskYesNoBox(this, question)) return;
  for (const TOneTerm* term : terms) network_.DeleteTerminal(term);
  MarkChanged();
  RebuildTerminals();
}

// ---- options ----------------------------------------------------------------------------------

void TMultiSatSetupForm::CounterToggled(bool on) {
  network_.WithCounter = on;
  DelDoppelteDS->setEnabled(!on);
  TermDatenMitTermNr->setEnabled(!on);
  if (on) {
    // A record with a counter carries its terminal's number and is checked for repeats.
    network_.DeleteDuplicates = true;
    network_.TermIdBeforeData = true;
    ++filling_;
    DelDoppelteDS->setChecked(true);
    TermDatenMitTermNr->setChecked(true);
    --filling_;
  }
}

// ---- the dialog's buttons ---------------------------------------------------------------------

void TMultiSatSetupForm::MarkChanged() {
  changed_ = true;
  RefreshButtons();
}

void TMultiSatSetupForm::RefreshButtons() {
  const bool complete = network_.TerminalCount() > 0 || network_.AnyGroupWithSatellites();
  OkBtn->setEnabled(complete);
  GetActBtn->setEnabled(complete && changed_);

  const size_t groups = SelectedGroups().size();
  const bool one = groups == 1;
  editGroup_->setEnabled(one);
  deleteGroups_->setEnabled(groups > 0);
  const int availableSelected = static_cast<int>(AvailSatListBox->selectedItems().size());
  const int groupSelected = static_cast<int>(GrpSatListBox->selectedItems().size());
  editSatellite_->setEnabled(availableSelected == 1);
  deleteSatellites_->setEnabled(availableSelected > 0);
  editGroupSatellite_->setEnabled(groupSelected == 1);
  deleteGroupSatellites_->setEnabled(groupSelected > 0);
  addSelected_->setEnabled(one && availableSelected > 0);
  addAll_->setEnabled(one && AvailSatListBox->count() > 0);
  removeSelected_->setEnabled(one && groupSelected > 0);
  removeAll_->setEnabled(one && GrpSatListBox->count() > 0);

  const int terms = static_cast<int>(TermListBox->selectedItems().size());
  editTerminal_->setEnabled(terms == 1);
  deleteTerminals_->setEnabled(terms > 0);
}

bool TMultiSatSetupForm::SaveNetwork() {
  if (network_.Save()) return true;
  ShowMessageBox(this, MessageKind::Error, Format(nettxt::kSaveFailed, network_.IniName));
  return false;
}

void TMultiSatSetupForm::OkClicked() {
  if (!OkBtn->isEnabled() || !SaveNetwork()) return;
  changed_ = false;
  done(QDialog::Accepted);
}

void TMultiSatSetupForm::ApplyClicked() {
  if (!GetActBtn->isEnabled() || !SaveNetwork()) return;
  changed_ = false;
  RefreshButtons();
}

void TMultiSatSetupForm::reject() {
  (void)network_.Load();
  changed_ = false;
  QDialog::reject();
}

void TMultiSatSetupForm::done(int result) {
  EndSearchWorker();
  RefreshSearchButtons();
  QDialog::done(result);
}

void InstallNetworkSetupDialog() {
  SetNetworkDialog([](TMultiSat& network, TOrvComm& port, int /*handle*/) {
    QWidget* over = QApplication::activeModalWidget();
    TMultiSatSetupForm form(network, port, over != nullptr ? over : QApplication::activeWindow());
    form.exec();
  });
}

}  // namespace quillon
