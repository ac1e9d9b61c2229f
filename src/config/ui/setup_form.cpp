#include "config/ui/setup_form.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/format.h"
#include "common/ini_file.h"
#include "common/texts.h"
#include "common/ui/message_boxes.h"
#include "config/settings_keys.h"
#include "config/ui/page_acknak.h"
#include "config/ui/page_files.h"
#include "config/ui/page_interface.h"
#include "config/ui/page_modem.h"
#include "config/ui/page_options.h"
#include "config/ui/page_polling.h"
#include "config/ui/page_processing.h"
#include "config/ui/port_selection_page.h"
#include "config/ui/setup_password.h"
#include "config/ui/setup_texts.h"
#include "serial/port_presence.h"

namespace quillon {
namespace {

std::string PortName(int n) { return "COM" + std::to_string(n) + ":"; }

}  // namespace

TQuillonSetupForm::TQuillonSetupForm(AppContext& app, UiSink& ui, QWidget* parent)
    : QDialog(parent), context_(app, ui) {
  setObjectName("TQuillonSetupForm");
  setWindowTitle(U8(txt::kSetupCaption));

  selection_ = new PortSelectionPage(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("PageControl");
  interface_ = AddPage<InterfacePage>(txt::kPageInterface, "Anschluss");
  data_ = AddPage<DataPage>(txt::kPageData, "Daten");
  files_ = AddPage<FilesPage>(txt::kPageFiles, "Dateien");
  processing_ = AddPage<ProcessingPage>(txt::kPageProcessing, "Verarbeitung");
  polling_ = AddPage<PollingPage>(txt::kPagePolling, "Polling");
  modem_ = AddPage<ModemPage>(txt::kPageModem, "Modem");
  net_ = AddPage<NetPage>(txt::kPageNet, "TCPIP");
  options_ = AddPage<OptionsPage>(txt::kPageOptions, "Optionen");
  ackNak_ = AddPage<AckNakPage>(txt::kPageAckNak, "AckNakParameter");

  faces_ = new QStackedWidget(this);
  faces_->addWidget(selection_);
  faces_->addWidget(tabs_);
  buttonRow_ = BuildButtonRow();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(faces_, 1);
  layout->addWidget(buttonRow_);

  connect(selection_, &PortSelectionPage::portTicked, this, &TQuillonSetupForm::PortTicked);
  connect(selection_, &PortSelectionPage::portSettingsRequested, this,
          &TQuillonSetupForm::ShowPort);
  connect(selection_, &PortSelectionPage::newPasswordRequested, this,
          &TQuillonSetupForm::NewPassword);
  connect(selection_, &PortSelectionPage::closeRequested, this, &TQuillonSetupForm::CloseRequested);
  connect(data_, &DataPage::protocolChanged, this, [this] {
    FillPages({interface_, data_, polling_, modem_, ackNak_});
    ApplyRules();
  });

  // The size of the larger face, kept while the faces change.
  buttonRow_->show();
  faces_->setCurrentWidget(tabs_);
  // Wide enough for all nine tabs side by side.
  const int tabsWidth = tabs_->tabBar()->sizeHint().width() + 40;
  setFixedSize(sizeHint().expandedTo(QSize(std::max(640, tabsWidth), 470)));
  ShowSelection();
}

TQuillonSetupForm::~TQuillonSetupForm() { StopPollTest(); }

template <typename Page>
Page* TQuillonSetupForm::AddPage(const char* title, const char* name) {
  auto* page = new Page(context_, tabs_);
  page->setObjectName(name);
  tabs_->addTab(page, U8(title));
  connect(page, &SetupPage::edited, this, &TQuillonSetupForm::MarkModified);
  connect(page, &SetupPage::rulesChanged, this, &TQuillonSetupForm::ApplyRules);
  pages_.push_back(page);
  return page;
}

QWidget* TQuillonSetupForm::BuildButtonRow() {
  auto* row = new QWidget(this);
  ok_ = new QPushButton(U8(txt::kSetupOk), row);
  ok_->setObjectName("OkBtn");
  cancel_ = new QPushButton(U8(txt::kSetupCancel), row);
  cancel_->setObjectName("AbbrechenBtn");
  apply_ = new QPushButton(U8(txt::kSetupApply), row);
  apply_->setObjectName("UebernehmenBtn");
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch();
  for (QPushButton* b : {ok_, cancel_, apply_}) {
    b->setAutoDefault(false);
    b->setMinimumWidth(100);
    layout->addWidget(b);
  }
  connect(ok_, &QPushButton::clicked, this, &TQuillonSetupForm::OkClicked);
  connect(cancel_, &QPushButton::clicked, this, &TQuillonSetupForm::CancelClicked);
  connect(apply_, &QPushButton::clicked, this, &TQuillonSetupForm::ApplyClicked);
  return row;
}

void TQuillonSetupForm::SetRadioNetworkAction(DataPage::RadioNetworkAction action) {
  data_->SetRadioNetworkAction(std::move(action));
}

void TQuillonSetupForm::SetFtpTestAction(NetPage::FtpTestAction action) {
  net_->SetFtpTestAction(std::move(action));
}

void TQuillonSetupForm::ShowSelection() {
  const TGlobalApp& global = context_.Global();
  const IniDocument ini = IniFile(context_.app.AppInfo.IniPath).Load();
  std::array<bool, kPortCount + 1> present{};
  std::array<bool, kPortCount + 1> active{};
  for (int n = 1; n <= kPortCount; ++n) {
    const auto i = static_cast<size_t>(n);
    present[i] = IsPortPresent(PortName(n), global.TestPorts);
    const auto flag = ini.Get(SectionName(SettingsSection::Interface, n), key::kEnabled);
    active[i] = flag && ParseInt(*flag).value_or(0) != 0;
  }
  selection_->Show(present, active);
  ShowPort(0);
}

void TQuillonSetupForm::ShowPort(int n) {
  if (n < 1 || n > kPortCount) {
    editPort_ = 0;
    setWindowTitle(U8(txt::kSetupCaption));
    modified_ = false;
    buttonRow_->hide();
    faces_->setCurrentWidget(selection_);
    selection_->okButton()->setDefault(true);
    return;
  }
  SettingsStore& store = context_.store;
  editPort_ = n;
  const int source = store.GetCopySourcePort(n);
  if (source > 0 && source <= kPortCount && source != n &&
      AskYesNoBox(this, txt::kLoadSameConfig)) {
    // The copy takes everything but the port's own "Aktiviert", which its check box shows.
    const bool enabled =
        IniFile(context_.app.AppInfo.IniPath)
            .ReadBool(SectionName(SettingsSection::Interface, n), key::kEnabled, false);
    store.LoadPortSettings(SettingsSlot::Edit, source);
    context_.Edit().Enabled = enabled;
    store.SavePortSettings(SettingsSlot::Edit, n);
    store.LoadPortSettings(SettingsSlot::Live, source);
  }
  setWindowTitle(QString::fromStdString(Format(txt::kSetupPortCaption, n)));
  store.LoadPortSettings(SettingsSlot::Edit, n);
  FillPages({interface_, data_, files_, processing_, polling_, modem_, net_, options_, ackNak_});
  modified_ = false;
  apply_->setEnabled(false);
  buttonRow_->show();
  faces_->setCurrentWidget(tabs_);
  tabs_->setCurrentIndex(0);
}

bool TQuillonSetupForm::LeavePort(bool ask) {
  bool save = modified_;
  if (modified_ && ask) {
    const YesNoCancel answer = AskYesNoCancelBox(this, txt::kSaveParameters);
    if (answer == YesNoCancel::Cancel) return false;
    save = answer == YesNoCancel::Yes;
  }
  StopPollTest();
  return !save || SaveEditedPort();
}

void TQuillonSetupForm::MarkModified() {
  modified_ = true;
  apply_->setEnabled(true);
}

bool TQuillonSetupForm::SaveEditedPort() {
  if (!context_.store.SavePortSettings(SettingsSlot::Edit, editPort_)) return false;
  context_.store.LoadPortSettings(SettingsSlot::Live, editPort_);
  return true;
}

void TQuillonSetupForm::OkClicked() {
  if (LeavePort(false)) ShowPort(0);
}

void TQuillonSetupForm::CancelClicked() {
  if (LeavePort(true)) ShowPort(0);
}

void TQuillonSetupForm::ApplyClicked() {
  const bool ok = context_.store.SavePortSettings(SettingsSlot::Edit, editPort_);
  modified_ = !ok;
  if (ok) context_.store.LoadPortSettings(SettingsSlot::Live, editPort_);
  apply_->setEnabled(false);
}

void TQuillonSetupForm::PortTicked(int n, bool ticked) {
  const IniFile ini(context_.app.AppInfo.IniPath);
  const std::string section = SectionName(SettingsSection::Interface, n);
  if (!ini.WriteString(section, key::kEnabled, ticked ? "1" : "0")) {
    ShowMessageBox(this, MessageKind::Error,
                   Format(txt::kSettingsWriteFailed, context_.app.AppInfo.IniPath));
    selection_->SetTicked(n, !ticked);
    return;
  }
  // A port never configured opens its pages, so that it gets settings at once.
  if (ticked && !ini.Load().Get(section, key::kBaudrate)) ShowPort(n);
}

void TQuillonSetupForm::NewPassword() {
  const quillon::NewPassword entered = AskNewPassword(this, context_.app, context_.ui);
  if (entered.confirmed && !context_.store.WriteSetupPassword(entered.password)) {
    ShowMessageBox(this, MessageKind::Error,
                   Format(txt::kSettingsWriteFailed, context_.app.AppInfo.IniPath));
  }
}

bool TQuillonSetupForm::MayClose() {
  if (modified_) {
    const YesNoCancel answer = AskYesNoCancelBox(this, txt::kSaveParameters);
    if (answer == YesNoCancel::Cancel) return false;
    StopPollTest();
    return answer == YesNoCancel::No || SaveEditedPort();
  }
  if (context_.store.ReadPortActiveFlags() == 0 && !AskYesNoBox(this, txt::kNoPortActivated)) {
    return false;
  }
  StopPollTest();
  return true;
}

void TQuillonSetupForm::CloseRequested() {
  if (MayClose()) done(QDialog::Accepted);
}

void TQuillonSetupForm::reject() {
  if (MayClose()) QDialog::reject();
}

void TQuillonSetupForm::keyPressEvent(QKeyEvent* event) {
  // Esc on the pages of a port acts as "&Abbrechen".
  if (event->key() == Qt::Key_Escape && editPort_ != 0) {
    event->accept();
    CancelClicked();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TQuillonSetupForm::FillPages(std::initializer_list<SetupPage*> pages) {
  for (SetupPage* page : pages) page->Fill();
}

void TQuillonSetupForm::ApplyRules() {
  for (SetupPage* page : pages_) page->ApplyRules();
}

void TQuillonSetupForm::StopPollTest() { polling_->StopPollTest(); }

}  // namespace quillon
