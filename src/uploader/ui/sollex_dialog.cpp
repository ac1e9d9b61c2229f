#include "sollex_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "com_settings_dialog.h"

namespace sollex {
namespace {

constexpr int kWindowWidth = 470;
constexpr int kStartDelayMs = 500;
constexpr int kWorkerWaitMs = 2000;
constexpr int kMaxRecent = 5;

const char* const kLedPending = "background:#c8c8c8; border:1px solid #808080; color:#404040;";
const char* const kLedCurrent = "background:#ffd23c; border:1px solid #a08000; color:#000000;";
const char* const kLedDone = "background:#3cb43c; border:1px solid #207020; color:#ffffff;";

}  // namespace

// One transfer as the dialog and its worker thread share it; it lives until both let go.
// The worker queues its reports here and asks the window thread to take them; they reach the
// dialog until it detaches (at closing), so that a worker ending after that reports into
// nothing. The worker's end is a condition the dialog can wait for.
struct SollexDialog::Run {
  CancelFlag cancel;
  std::mutex mutex;
  std::condition_variable ended;
  QObject* target = nullptr;   // guarded by mutex
  std::deque<Report> reports;  // guarded by mutex
  bool called = false;         // guarded by mutex: a call to take the reports is on its way
  bool finished = false;       // guarded by mutex

  void Post(const Report& r) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!target) return;
    reports.push_back(r);
    if (!called) {
      called = true;
      QMetaObject::invokeMethod(target, "TakeReports", Qt::QueuedConnection);
    }
  }
  bool Take(Report& r) {
    std::lock_guard<std::mutex> lock(mutex);
    if (reports.empty()) {
      called = false;
      return false;
    }
    r = std::move(reports.front());
    reports.pop_front();
    return true;
  }
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex);
    target = nullptr;
    reports.clear();
  }
  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
    }
    ended.notify_all();
  }
  bool WaitFinished(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return ended.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished; });
  }
};

SollexDialog::SollexDialog(const CommandLine& commandLine, QWidget* parent)
    : QDialog(parent), portOverride_(commandLine.portIndex), rateOverride_(commandLine.rateIndex) {
  settings_ = SollexSettings::Load();
  BuildWindow();
  FillRecentMenu();
  if (commandLine.file) {
    const QString file = QString::fromStdString(*commandLine.file);
    if (!file.isEmpty() && QFileInfo(file).isFile() && QFile(file).open(QIODevice::ReadOnly)) {
      setCurrentFile(file);
      commandLineMode_ = true;
    } else {
      QTimer::singleShot(0, this, [this, file] {
        Message(QMessageBox::Critical, "Error", QString("The File %1 does not exist").arg(file));
      });
    }
  }
  SetIdleLayout(true);
}

SollexDialog::~SollexDialog() { StopWorker(); }

void SollexDialog::BuildWindow() {
  setWindowTitle("Varda Sollex");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* menuBar = new QMenuBar(this);
  fileMenu_ = menuBar->addMenu("&File");
  fileMenu_->addAction("&Open...", this, &SollexDialog::ChooseFile);
  sendAction_ = fileMenu_->addAction("&Send", this, &SollexDialog::StartTransfer);
  abortAction_ = fileMenu_->addAction("&Abort", this, &SollexDialog::Abort);
  fileMenu_->addAction("&Exit", this, &QWidget::close);
  fileMenu_->addSeparator();
  QMenu* settingsMenu = menuBar->addMenu("&Settings");
  settingsMenu->addAction("&COM", this, &SollexDialog::ComSettings);
  QMenu* help = menuBar->addMenu("&Help");
  help->addAction("&About...", this, &SollexDialog::About);
  help->addAction("&More Info...", this, &SollexDialog::MoreInfo);
  // What the window menu offers on other systems is the window's context menu here.
  auto* aboutSollex = new QAction("&About Sollex...", this);
  connect(aboutSollex, &QAction::triggered, this, &SollexDialog::About);
  auto* moreInfo = new QAction("More Info...", this);
  connect(moreInfo, &QAction::triggered, this, &SollexDialog::MoreInfo);
  addActions({aboutSollex, moreInfo});
  setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->setSpacing(6);

  auto* fileRow = new QHBoxLayout;
  fileEdit_ = new QLineEdit(this);
  fileEdit_->setObjectName("fileName");
  fileEdit_->setReadOnly(true);
  browse_ = new QPushButton(" ... ", this);
  browse_->setObjectName("browse");
  connect(browse_, &QPushButton::clicked, this, &SollexDialog::ChooseFile);
  fileRow->addWidget(fileEdit_, 1);
  fileRow->addWidget(browse_);
  layout->addLayout(fileRow);

  auto* actionRow = new QWidget(this);
  actionRow->setFixedHeight(52);
  auto* actions = new QHBoxLayout(actionRow);
  actions->setContentsMargins(0, 0, 0, 0);
  send_ = new QPushButton(style()->standardIcon(QStyle::SP_ArrowForward), "Send", actionRow);
  send_->setObjectName("send");
  send_->setToolTip("Send the file to the terminal");
  abort_ = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop), "Abort", actionRow);
  abort_->setObjectName("abort");
  abort_->setToolTip("Stop the transfer");
  for (QPushButton* b : {send_, abort_}) {
    b->setIconSize(QSize(24, 24));
    b->setMinimumSize(90, 36);
  }
  connect(send_, &QPushButton::clicked, this, &SollexDialog::StartTransfer);
  connect(abort_, &QPushButton::clicked, this, &SollexDialog::Abort);
  actions->addWidget(send_);
  actions->addWidget(abort_);
  actions->addStretch(1);
  banks_ = new QGroupBox(" Banks ", actionRow);
  banks_->setObjectName("banks");
  auto* leds = new QHBoxLayout(banks_);
  leds->setContentsMargins(6, 2, 6, 4);
  leds->setSpacing(4);
  for (int i = 0; i < 8; ++i) {
    bankLeds_[i] = new QLabel(QString::number(i + 1), banks_);
    bankLeds_[i]->setObjectName(QString("bank%1").arg(i + 1));
    bankLeds_[i]->setAlignment(Qt::AlignCenter);
    bankLeds_[i]->setFixedSize(18, 18);
    bankLeds_[i]->setStyleSheet(kLedPending);
    leds->addWidget(bankLeds_[i]);
  }
  actions->addWidget(banks_);
  layout->addWidget(actionRow);

  progressArea_ = new QWidget(this);
  progressArea_->setObjectName("progressArea");
  progressArea_->setFixedHeight(kProgressHeight - layout->spacing());
  auto* progress = new QVBoxLayout(progressArea_);
  progress->setContentsMargins(0, 0, 0, 0);
  progress->setSpacing(1);
  bar_ = new QProgressBar(progressArea_);
  bar_->setObjectName("progress");
  bar_->setTextVisible(false);
  bar_->setFixedHeight(18);
  progress->addWidget(bar_);
  auto* scale = new QHBoxLayout;
  auto* zero = new QLabel("0", progressArea_);
  scaleHalf_ = new QLabel(progressArea_);
  scaleHalf_->setObjectName("scaleHalf");
  scaleHalf_->setAlignment(Qt::AlignCenter);
  scaleTotal_ = new QLabel(progressArea_);
  scaleTotal_->setObjectName("scaleTotal");
  scaleTotal_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  scale->addWidget(zero, 1);
  scale->addWidget(scaleHalf_, 1);
  scale->addWidget(scaleTotal_, 1);
  progress->addLayout(scale);
  status1_ = new QLabel(progressArea_);
  status1_->setObjectName("status1");
  status2_ = new QLabel(progressArea_);
  status2_->setObjectName("status2");
  progress->addSpacing(6);
  progress->addWidget(status1_);
  progress->addWidget(status2_);
  progress->addStretch(1);
  layout->addWidget(progressArea_);

  // The busy window's height, then the idle one 95 pixels shorter.
  banks_->hide();
  adjustSize();
  const int busyHeight = layout->totalSizeHint().height();
  idleHeight_ = busyHeight - kProgressHeight;
}

void SollexDialog::SetIdleLayout(bool idle) {
  progressArea_->setVisible(!idle);
  if (idle) banks_->hide();
  const int height = idle ? idleHeight_ : idleHeight_ + kProgressHeight;
  setFixedSize(kWindowWidth, height);
  const bool canSend = idle && !file_.isEmpty();
  send_->setEnabled(canSend);
  sendAction_->setEnabled(canSend);
  abort_->setEnabled(!idle);
  abortAction_->setEnabled(!idle);
  browse_->setEnabled(idle);
}

void SollexDialog::setCurrentFile(const QString& file) {
  file_ = file;
  fileEdit_->setText(file);
  if (!busy_) {
    send_->setEnabled(!file.isEmpty());
    sendAction_->setEnabled(!file.isEmpty());
  }
}

void SollexDialog::FillRecentMenu() {
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    delete a;
  }
  recentActions_.clear();
  for (int i = 0; i < settings_.recent.size(); ++i) {
    const QString file = settings_.recent[i];
    QAction* a = fileMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(file));
    connect(a, &QAction::triggered, this, [this, file] {
      if (busy_) return;
      setCurrentFile(file);
      StartTransfer();
    });
    recentActions_ << a;
  }
}

void SollexDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!started_) {
    started_ = true;
    if (commandLineMode_) QTimer::singleShot(kStartDelayMs, this, &SollexDialog::StartTransfer);
  }
}

void SollexDialog::StartTransfer() {
  if (file_.isEmpty() || busy_) return;
  if (worker_.joinable()) worker_.join();
  SetIdleLayout(false);
  banks_->hide();
  for (QLabel* led : bankLeds_) led->setStyleSheet(kLedPending);
  bankLeds_[7]->setText("8");
  status1_->clear();
  status2_->clear();
  scaleHalf_->clear();
  scaleTotal_->clear();
  bar_->setRange(0, 1);
  bar_->setValue(0);
  total_ = 0;
  busy_ = true;
  sentPath_ = file_;
  run_ = std::make_shared<Run>();
  run_->target = this;

  UploadJob job;
  job.portIndex = portIndex();
  job.rateIndex = rateIndex();
  job.path = file_.toStdString();
  job.remapFile = remapFile.toStdString();
  job.bankPauseMs = bankPauseMs;
  job.cancel = &run_->cancel;
  // The kind of transfer follows the file itself; a name without a known extension follows
  // the type chosen last in the file dialog.
  const std::string ext = UpperExtension(job.path);
  const bool script = ext == "EXS" || (ext != "HEX" && ext.rfind('H', 0) != 0 &&
                                       settings_.selection.toUpper() == "EXS");
  const std::shared_ptr<Run> run = run_;
  job.report = [run](const Report& r) { run->Post(r); };
  try {
    worker_ = std::thread([job, script, run] {
      if (script)
        RunScriptTransfer(job);
      else
        RunHexTransfer(job);
      run->Finish();
    });
  } catch (const std::system_error&) {
    busy_ = false;
    run_->Finish();
    SetIdleLayout(true);
    Message(QMessageBox::Critical, "Error", "Error Creating Thread to send File");
  }
}

// The cancel wakes every wait of the worker, so it ends soon after; the reports it posts on
// its way out are handled when the window thread returns to its event loop.
bool SollexDialog::WaitForWorker(int ms) { return !run_ || run_->WaitFinished(ms); }

void SollexDialog::Abort() {
  if (!run_) return;
  run_->cancel.Set();
  WaitForWorker(kWorkerWaitMs);
}

// Closing: the worker is cancelled and its reports no longer reach the window, so that no box
// of its ending appears after the window is gone.
void SollexDialog::StopWorker() {
  if (run_) {
    run_->Detach();
    run_->cancel.Set();
  }
  if (!worker_.joinable()) return;
  if (WaitForWorker(kWorkerWaitMs))
    worker_.join();
  else
    worker_.detach();  // it holds its own share of the run and reports into nothing
}

void SollexDialog::TakeReports() {
  // One at a time: a box shown for one report may run a nested event loop, and whatever is
  // taken there still comes in order from the same queue.
  const std::shared_ptr<Run> run = run_;
  Report report;
  while (run && run->Take(report)) Handle(report);
}

QString SollexDialog::BankPath(long bank) const {
  // The file that failed: in a bank set the bank's own file.
  QString path = sentPath_;
  if (path.endsWith('0') && bank > 0 && bank <= 9) path[path.size() - 1] = QChar('0' + int(bank));
  return path;
}

QString SollexDialog::RateText() const { return QString::number(RateOf(rateShown_)); }

void SollexDialog::Step(long done, const char* unit) {
  bar_->setValue(std::min(bar_->value() + 1, bar_->maximum()));
  status2_->setText(
      QString("Download %1 of %2 %3 at %4").arg(done).arg(total_).arg(unit).arg(RateText()));
}

void SollexDialog::ResetDisplay() {
  bar_->setValue(0);
  busy_ = false;
  if (worker_.joinable() && WaitForWorker(kWorkerWaitMs)) worker_.join();
  SetIdleLayout(true);
}

void SollexDialog::Handle(const Report& r) {
  switch (r.code) {
    case kDone:
      bar_->setValue(0);
      busy_ = false;
      if (!commandLineMode_ && !settings_.recent.contains(sentPath_)) {
        settings_.recent.prepend(sentPath_);
        while (settings_.recent.size() > kMaxRecent) settings_.recent.removeLast();
        FillRecentMenu();
      }
      ResetDisplay();
      if (run_->cancel.IsSet()) {
        Message(QMessageBox::Critical, "Attention", "Data Transfer is aborted by the user");
      } else {
        Message(QMessageBox::Warning, "Notice", "Data Transfer is succefully terminated");
      }
      break;
    case kCancelled:
      ResetDisplay();
      break;
    case kBytesSent:
      Step(r.value, "bytes");
      break;
    case kFrameSent:
      Step(r.value, "Frames");
      break;
    case kPortError:
      ResetDisplay();
      Message(QMessageBox::Critical, "Error",
              QString("Error opening serial line, Error:%1").arg(r.value));
      break;
    case kHandshakeError:
      // The worker has ended: the window returns to idle so that a new transfer can start.
      ResetDisplay();
      Message(QMessageBox::Critical, "Error",
              QString("Error initial handshaking, Error:%1").arg(r.value));
      break;
    case kFileError:
      ResetDisplay();
      Message(QMessageBox::Critical, "Error", "Error opening file : " + BankPath(r.value));
      break;
    case kLineCount:
      bar_->setRange(0, static_cast<int>(r.value));
      bar_->setValue(0);
      break;
    case kTotalBytes:
      total_ = r.value;
      scaleHalf_->setText(QString::number(r.value / 2));
      scaleTotal_->setText(QString::number(r.value));
      break;
    case kFrameCount:
      total_ = r.value;
      scaleHalf_->setText(QString::number(r.value / 2));
      scaleTotal_->setText(QString::number(r.value));
      bar_->setRange(0, static_cast<int>(r.value));
      bar_->setValue(0);
      break;
    case kFilePath:
      status1_->setText("Downloading : " + QString::fromStdString(ShortPath(r.text)));
      break;
    case kWriteError:
      ResetDisplay();
      Message(QMessageBox::Critical, "Error", "Error writing file");
      break;
    case kNoAck:
      ResetDisplay();
      Message(QMessageBox::Warning, "Attention", "TimeOut waiting response from terminal ");
      break;
    case kBankCount:
      for (int i = 0; i < 8; ++i) {
        bankLeds_[i]->setVisible(i < r.value);
        bankLeds_[i]->setStyleSheet(kLedPending);
      }
      bankLeds_[7]->setText("8");
      banks_->show();
      break;
    case kBankNumber: {
      // A set has up to ten banks: the ninth and tenth are shown on the last indicator, which
      // then carries their number.
      const long shown = std::min(r.value, 8L);
      for (int i = 0; i < 8; ++i) {
        bankLeds_[i]->setStyleSheet(i + 1 < shown    ? kLedDone
                                    : i + 1 == shown ? kLedCurrent
                                                     : kLedPending);
      }
      bankLeds_[7]->setText(QString::number(std::max(r.value, 8L)));
      break;
    }
    case kRate:
      rateShown_ = static_cast<int>(r.value);
      break;
    case kWrongFormat:
      ResetDisplay();
      Message(QMessageBox::Warning, "Attention", "Wronng Format File");
      break;
    case kNoFrameAck:
      ResetDisplay();
      Message(QMessageBox::Warning, "Attention", "Error waiting ACK from device");
      break;
    default:
      break;
  }
}

void SollexDialog::Message(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  if (messageHook) {
    messageHook(icon, caption, text);
    return;
  }
  QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
  box.exec();
}

void SollexDialog::ChooseFile() {
  if (busy_) return;
  const QString single = "Single Bank (*.hex)";
  const QString multi = "Multi bank (*.h00)";
  const QString app = "Mokri Application (*.exs)";
  const QString selection = settings_.selection.toUpper();
  QStringList filters = selection == "HEX"   ? QStringList{single, multi, app}
                        : selection == "H00" ? QStringList{multi, single, app}
                                             : QStringList{app, multi, single};
  QFileDialog dialog(this, "Open", settings_.path);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(settings_.selection.toLower());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().first();
  setCurrentFile(file);
  settings_.path = QFileInfo(file).absolutePath();
  settings_.selection = QString::fromStdString(UpperExtension(file.toStdString()));
}

void SollexDialog::ComSettings() {
  ComSettingsDialog dialog(portIndex(), rateIndex(), this);
  if (dialog.exec() == QDialog::Accepted) {
    // The user's own choice: it replaces the command line's and is stored.
    settings_.portIndex = dialog.portIndex();
    settings_.rateIndex = dialog.rateIndex();
    portOverride_.reset();
    rateOverride_.reset();
  }
}

void SollexDialog::About() {
  QMessageBox::about(this, "About Sollex",
                     "<b>Varda Sollex</b><br>Loads applications into data-capture terminals "
                     "over a serial line:<br>single-bank HEX files, multi-bank sets (.h00, "
                     ".h01, ...) and application scripts (.exs).");
}

void SollexDialog::MoreInfo() {
  QDialog dialog(this);
  dialog.setWindowTitle("More Info");
  auto* text = new QPlainTextEdit(QString(kCommandLineHelp).remove('\r'), &dialog);
  text->setObjectName("helpText");
  text->setReadOnly(true);
  // A fixed font keeps the columns made of tabs in line.
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const int column = text->fontMetrics().horizontalAdvance(' ');
  text->setTabStopDistance(column * 8);
  text->setMinimumSize(column * 64, text->fontMetrics().lineSpacing() * 6 + 16);
  auto* ok = new QPushButton("OK", &dialog);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addWidget(ok, 0, Qt::AlignRight);
  dialog.exec();
}

void SollexDialog::reject() { close(); }

void SollexDialog::closeEvent(QCloseEvent* e) {
  if (busy_) {
    bool stop = false;
    if (confirmStopHook) {
      stop = confirmStopHook();
    } else {
      stop = QMessageBox::warning(this, "Attention", "Do you want to stop the transfer",
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    if (!stop) {
      e->ignore();
      return;
    }
  }
  settings_.Save();
  StopWorker();
  busy_ = false;
  e->accept();
  QDialog::done(QDialog::Rejected);
  bar_->setValue(0);
  SetIdleLayout(true);
}

}  // namespace sollex
