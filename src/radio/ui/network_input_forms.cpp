#include "radio/ui/network_input_forms.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "common/encoding.h"
#include "common/format.h"
#include "common/ui/message_boxes.h"
#include "radio/ui/network_texts.h"

namespace quillon {
namespace {

// Longer than any name a list shows readably; the file takes any length.
constexpr int kMaxNameLength = 60;

QString U8(const char* text) { return QString::fromUtf8(text); }
QString U8(const std::string& text) { return QString::fromStdString(text); }

std::string Trimmed(const QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

QLineEdit* NewNameEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(kMaxNameLength);
  edit->setMinimumWidth(220);
  return edit;
}

// Typed numbers count once the field is left or Enter is pressed, so that the stepping to a
// free number does not act on the first digit of "45".
QSpinBox* NewNumber(const char* name, int min, int max, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(min, max);
  spin->setKeyboardTracking(false);
  return spin;
}

// "&Ok" and "&Abbrechen" below the fields; returns "&Ok".
QPushButton* AddButtons(QDialog* dialog, QVBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(U8(nettxt::kFormOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(U8(nettxt::kFormCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("AbbrechenBtn");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return ok;
}

// A name for the network file: not empty, nothing that splits a value or ends a line. Says
// why not in a box.
bool NameAccepted(QWidget* parent, const std::string& name) {
  if (name.empty()) {
    ShowMessageBox(parent, MessageKind::Error, nettxt::kNameEmpty);
    return false;
  }
  if (!FitsNetworkFile(name)) {
    ShowMessageBox(parent, MessageKind::Error, nettxt::kNameUnfit);
    return false;
  }
  return true;
}

// A group name is a key of the file as well.
bool GroupNameAccepted(QWidget* parent, const std::string& name) {
  if (!NameAccepted(parent, name)) return false;
  if (name.find('=') != std::string::npos || name.front() == ';' || name.front() == '[') {
    ShowMessageBox(parent, MessageKind::Error, nettxt::kGroupNameUnfit);
    return false;
  }
  return true;
}

// The default name of a numbered record is followed along while the user has not typed one.
void FollowDefaultName(QLineEdit* edit, const char* prefix, int oldNr, int newNr) {
  const QString text = edit->text().trimmed();
  if (text.isEmpty() || text == U8(prefix) + QString::number(oldNr)) {
    edit->setText(U8(prefix) + QString::number(newNr));
  }
}

}  // namespace

// ---- TGrpForm ---------------------------------------------------------------------------------

TGrpForm::TGrpForm(const TMultiSat& network, const TOneGrp* editing, QWidget* parent)
    : QDialog(parent), network_(network), editing_(editing) {
  setObjectName("TGrpForm");
  setWindowTitle(U8(nettxt::kGroupCaption));
  GrpName = NewNameEdit("GrpName", this);
  GrpName->setText(U8(editing ? editing->Name : network.NewGroupName()));
  GrpName->selectAll();
  auto* form = new QFormLayout;
  form->addRow(U8(nettxt::kNameLabel), GrpName);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  ok_ = AddButtons(this, layout);
  connect(GrpName, &QLineEdit::textChanged, this, &TGrpForm::NameEdited);
  NameEdited();
}

std::string TGrpForm::Name() const { return Trimmed(GrpName); }

void TGrpForm::NameEdited() {
  const std::string name = Name();
  // A group may keep its own name in another letter case.
  const bool own = editing_ != nullptr && EqualsNoCase(editing_->Name, name);
  ok_->setEnabled(!name.empty() && (own || !network_.GroupNameInUse(name)));
}

void TGrpForm::accept() {
  if (!ok_->isEnabled() || !GroupNameAccepted(this, Name())) return;
  QDialog::accept();
}

// ---- TSatForm ---------------------------------------------------------------------------------

TSatForm::TSatForm(const TMultiSat& network, const TOneSat* editing, QWidget* parent)
    : QDialog(parent), network_(network), editing_(editing) {
  setObjectName("TSatForm");
  setWindowTitle(U8(nettxt::kSatelliteCaption));
  SatNr = NewNumber("SatNr", kMinSatelliteId, kMaxSatelliteId, this);
  SatName = NewNameEdit("SatName", this);
  VonTerm = NewNumber("VonTerm", kMinTerminalNr, kMaxTerminalNr, this);
  BisTerm = NewNumber("BisTerm", kMinTerminalNr, kMaxTerminalNr, this);

  if (editing != nullptr) {
    shownNr_ = editing->Nr;
    SatName->setText(U8(editing->Name));
    VonTerm->setValue(editing->VonTerm);
    BisTerm->setValue(editing->BisTerm);
  } else {
    shownNr_ = network.FreeSatelliteId();
    SatName->setText(U8(nettxt::kSatelliteNamePrefix) + QString::number(shownNr_));
    // Where the last satellite's range ended, both 1 before the first one.
    VonTerm->setValue(network.LastVonTerm > 0 ? network.LastVonTerm : 1);
    BisTerm->setValue(network.LastBisTerm > 0 ? network.LastBisTerm : 1);
  }
  SatNr->setValue(shownNr_);
  SatName->selectAll();

  auto* range = new QHBoxLayout;
  range->addWidget(VonTerm);
  range->addWidget(new QLabel(U8(nettxt::kBisTermLabel), this));
  range->addWidget(BisTerm);
  range->addStretch();
  auto* form = new QFormLayout;
  form->addRow(U8(nettxt::kSatNrLabel), SatNr);
  form->addRow(U8(nettxt::kNameLabel), SatName);
  form->addRow(U8(nettxt::kVonTermLabel), range);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  AddButtons(this, layout);

  connect(SatNr, &QSpinBox::valueChanged, this, &TSatForm::NrChanged);
  // A range is never reversed: the other end follows.
  connect(VonTerm, &QSpinBox::valueChanged, this, [this](int von) {
    if (von > BisTerm->value()) BisTerm->setValue(von);
  });
  connect(BisTerm, &QSpinBox::valueChanged, this, [this](int bis) {
    if (bis < VonTerm->value()) VonTerm->setValue(bis);
  });
}

int TSatForm::Nr() const { return SatNr->value(); }
std::string TSatForm::Name() const { return Trimmed(SatName); }
int TSatForm::Von() const { return VonTerm->value(); }
int TSatForm::Bis() const { return BisTerm->value(); }

bool TSatForm::IdFree(int id) const {
  // Its own ID stays its own, even where a file edited by hand gave a terminal the same.
  if (editing_ != nullptr && id == editing_->Nr) return true;
  if (network_.FindSatellite(id) != nullptr) return false;
  return std::none_of(network_.Terminals.begin(), network_.Terminals.end(),
                      [id](const auto& term) { return term->Nr == id; });
}

void TSatForm::NrChanged(int value) {
  if (value == shownNr_) return;
  // A taken ID steps on to the nearest free one in the direction of the change; with none
  // there the ID stays where it was.
  const int step = value > shownNr_ ? 1 : -1;
  int id = value;
  while (id >= kMinSatelliteId && id <= kMaxSatelliteId && !IdFree(id)) id += step;
  if (id < kMinSatelliteId || id > kMaxSatelliteId) id = shownNr_;
  const int before = shownNr_;
  shownNr_ = id;
  if (id != value) {
    QSignalBlocker quiet(SatNr);
    SatNr->setValue(id);
  }
  FollowDefaultName(SatName, nettxt::kSatelliteNamePrefix, before, id);
}

void TSatForm::accept() {
  if (!NameAccepted(this, Name())) return;
  if (!IdFree(Nr())) {
    ShowMessageBox(this, MessageKind::Error, Format(nettxt::kSatelliteIdTaken, Nr()));
    return;
  }
  QDialog::accept();
}

// ---- TTermForm --------------------------------------------------------------------------------

TTermForm::TTermForm(const TMultiSat& network, const TOneTerm* editing, QWidget* parent)
    : QDialog(parent), network_(network), editing_(editing) {
  setObjectName("TTermForm");
  setWindowTitle(U8(nettxt::kTerminalCaption));
  TermNr = NewNumber("TermNr", kMinTerminalNr, kMaxTerminalNr, this);
  TermName = NewNameEdit("TermName", this);
  if (editing != nullptr) {
    shownNr_ = editing->Nr;
    TermName->setText(U8(editing->Name));
  } else {
    shownNr_ = NextFree(0, true);
    TermName->setText(U8(nettxt::kTerminalNamePrefix) + QString::number(shownNr_));
  }
  TermNr->setValue(shownNr_);
  TermName->selectAll();

  auto* form = new QFormLayout;
  form->addRow(U8(nettxt::kTermNrLabel), TermNr);
  form->addRow(U8(nettxt::kNameLabel), TermName);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  AddButtons(this, layout);
  connect(TermNr, &QSpinBox::valueChanged, this, &TTermForm::NrChanged);
}

int TTermForm::Nr() const { return TermNr->value(); }
std::string TTermForm::Name() const { return Trimmed(TermName); }

bool TTermForm::NrFree(int nr) const {
  if (editing_ != nullptr && nr == editing_->Nr) return true;
  if (network_.FindSatellite(nr) != nullptr) return false;
  return std::none_of(network_.Terminals.begin(), network_.Terminals.end(),
                      [&](const auto& t) { return t->Nr == nr && t.get() != editing_; });
}

int TTermForm::NextFree(int from, bool up) const {
  const int step = up ? 1 : -1;
  for (int nr = from + step; nr >= kMinTerminalNr && nr <= kMaxTerminalNr; nr += step) {
    if (NrFree(nr)) return nr;
  }
  return from;
}

void TTermForm::NrChanged(int value) {
  if (value == shownNr_) return;
  int nr = value;
  if (!NrFree(nr)) {
    nr = NextFree(value, value > shownNr_);
    if (nr == value) nr = shownNr_;
  }
  const int before = shownNr_;
  shownNr_ = nr;
  if (nr != value) {
    QSignalBlocker quiet(TermNr);
    TermNr->setValue(nr);
  }
  FollowDefaultName(TermName, nettxt::kTerminalNamePrefix, before, nr);
}

void TTermForm::accept() {
  if (!NameAccepted(this, Name())) return;
  if (!NrFree(Nr())) {
    ShowMessageBox(this, MessageKind::Error, Format(nettxt::kTerminalNrTaken, Nr()));
    return;
  }
  QDialog::accept();
}

}  // namespace quillon
