#include "config/ui/page_polling.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "common/ui/message_boxes.h"
#include "config/sorted_list.h"
#include "config/ui/poll_test_control.h"
#include "config/ui/setup_texts.h"
#include "polling/poll_address.h"
#include "polling/poll_texts.h"
#include "polling/poll_times.h"

namespace quillon {
namespace {

constexpr int kShortestAddress = 5;

// Enter in the new address inserts it.
class EnterInserts : public QObject {
 public:
  EnterInserts(QObject* parent, std::function<void()> insert)
      : QObject(parent), insert_(std::move(insert)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    insert_();
    return true;
  }

 private:
  std::function<void()> insert_;
};

}  // namespace

PollingPage::PollingPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  status_ = NewCombo("PollStatus", {txt::kInactive, txt::kActive});
  addressLength_ = NewCombo("PollAdrLen", txt::kPollAddrLenItems);
  interval_ = NewSpin("PollTakt", 100, 5000, 100);
  QFormLayout* form = NewForm(nullptr);
  form->addRow(U8(txt::kPollStatusLabel), status_);
  form->addRow(U8(txt::kPollAddrLenLabel), addressLength_);
  form->addRow(U8(txt::kPollIntervalLabel), interval_);

  QGroupBox* addresses = NewGroup(txt::kPollListGroup, this);
  list_ = new QListWidget(addresses);
  list_->setObjectName("PollAdrList");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setMinimumWidth(120);
  newAddress_ = NewSpin("NewAdr", 0, 999999, 1);
  newAddress_->setValue(1);
  insert_ = new QPushButton(U8(txt::kPollInsertButton), addresses);
  insert_->setObjectName("InsertAdrBtn");
  delete_ = new QPushButton(U8(txt::kPollDeleteButton), addresses);
  delete_->setObjectName("DeleteAdrBtn");
  for (QPushButton* b : {insert_, delete_}) b->setAutoDefault(false);
  auto* edit = new QVBoxLayout;
  edit->addWidget(new QLabel(U8(txt::kPollNewAddressLabel), addresses));
  edit->addWidget(newAddress_);
  edit->addWidget(insert_);
  edit->addSpacing(8);
  edit->addWidget(delete_);
  edit->addStretch();
  auto* addressLayout = new QHBoxLayout(addresses);
  addressLayout->addWidget(list_, 1);
  addressLayout->addLayout(edit);

  QGroupBox* testGroup = NewGroup(txt::kPollTestGroup, this);
  test_ = new QPushButton(U8(txt::kPollTestButton), testGroup);
  test_->setObjectName("PollTestBtn");
  test_->setCheckable(true);
  test_->setAutoDefault(false);
  testAddress_ = new QLabel(U8(txt::kPollTestNoValue), testGroup);
  testAddress_->setObjectName("TestPollAdr");
  testAddress_->setMinimumWidth(testAddress_->fontMetrics().horizontalAdvance("0000000"));
  testTimes_ = new QLabel(QString::fromStdString(PollTimes{}.Text()), testGroup);
  testTimes_->setObjectName("PollTestTime");
  auto* testLayout = new QHBoxLayout(testGroup);
  testLayout->addWidget(test_);
  testLayout->addSpacing(12);
  testLayout->addWidget(testAddress_);
  testLayout->addSpacing(12);
  testLayout->addWidget(testTimes_, 1);
  pollTest_ = new PollTestControl(test_, testAddress_, testTimes_, this);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(addresses, 1);
  layout->addWidget(testGroup);

  OnChosen(status_, [this](int i) {
    Opt().PollEnabled = i == 1;
    if (i == 0) StopPollTest();
    Edited();
    ApplyRules();
  });
  OnChosen(addressLength_, [this](int i) {
    Opt().PollAddrLen = kShortestAddress + i;
    Edited();
  });
  OnValue(interval_, [this](int v) {
    Opt().PollInterval = v;
    pollTest_->SetInterval(v);
    Edited();
  });
  connect(insert_, &QPushButton::clicked, this, &PollingPage::InsertAddress);
  connect(delete_, &QPushButton::clicked, this, &PollingPage::DeleteAddresses);
  connect(test_, &QPushButton::toggled, this, &PollingPage::TestToggled);
  auto* enter = new EnterInserts(newAddress_, [this] { InsertAddress(); });
  newAddress_->installEventFilter(enter);
  if (auto* inner = newAddress_->findChild<QLineEdit*>()) inner->installEventFilter(enter);
}

void PollingPage::FillValues() {
  const TQuillonOpt& opt = Opt();
  Select(status_, opt.PollEnabled ? 1 : 0);
  Select(addressLength_, opt.PollAddrLen - kShortestAddress);
  ShowNumber(interval_, opt.PollInterval);
  pollTest_->SetInterval(opt.PollInterval);
  ShowAddresses();
}

void PollingPage::ApplyRules() {
  const TQuillonOpt& opt = Opt();
  status_->setEnabled(opt.Protocol == 0 && !opt.ModemEnabled);
  for (QWidget* w : std::initializer_list<QWidget*>{addressLength_, interval_, list_, newAddress_,
                                                    insert_, delete_, test_}) {
    w->setEnabled(opt.PollEnabled);
  }
}

void PollingPage::ShowAddresses() {
  const std::vector<std::string>& addresses = Opt().PollAddresses;
  list_->clear();
  for (const std::string& a : addresses) list_->addItem(QString::fromStdString(a));
  pollTest_->SetAddresses(addresses);
}

void PollingPage::InsertAddress() {
  newAddress_->interpretText();
  TQuillonOpt& opt = Opt();
  const std::string address = FormatPollAddress(newAddress_->value(), opt.PollAddrLen);
  if (!AddSorted(opt.PollAddresses, address)) {
    ShowMessageBox(this, MessageKind::Error, txt::kPollAddressTaken);
    return;
  }
  ShowAddresses();
  newAddress_->setValue(newAddress_->value() + 1);
  Edited();
}

void PollingPage::DeleteAddresses() {
  TQuillonOpt& opt = Opt();
  if (opt.PollAddresses.empty()) {
    ShowMessageBox(this, MessageKind::Error, txt::kPollNothingToDelete);
    return;
  }
  std::vector<int> rows;
  for (const QListWidgetItem* item : list_->selectedItems()) rows.push_back(list_->row(item));
  if (rows.empty()) return;
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) {
    if (row >= 0 && static_cast<size_t>(row) < opt.PollAddresses.size()) {
      opt.PollAddresses.erase(opt.PollAddresses.begin() + row);
    }
  }
  ShowAddresses();
  Edited();
}

void PollingPage::TestToggled(bool on) {
  if (!on) {
    pollTest_->Stop();
    return;
  }
  const TQuillonOpt& opt = Opt();
  pollTest_->SetAddresses(opt.PollAddresses);
  pollTest_->SetInterval(opt.PollInterval);
  pollTest_->Start({opt.PortName, opt.Baudrate, opt.DataBits, opt.Parity, opt.StopBits});
}

void PollingPage::StopPollTest() { pollTest_->Stop(); }

}  // namespace quillon
