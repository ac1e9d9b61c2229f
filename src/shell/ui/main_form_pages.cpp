// TMainForm: the pages of the shown port and the status bar.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <cstdlib>
#include <mutex>

#include "common/encoding.h"
#include "shell/ui/main_form.h"
#include "shell/ui/port_events.h"
#include "shell/ui/qtext.h"
#include "shell/ui/window_texts.h"

namespace quillon {
namespace {

void ScrollToLastLine(QPlainTextEdit* memo) {
  memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
  memo->horizontalScrollBar()->setValue(0);
}

}  // namespace

// ---- pages -----------------------------------------------------------------------------------

void TMainForm::PageChanged(int index) {
  QWidget* page = PC->widget(index);
  if (page == TSStatus) ViewStatusItem->setChecked(true);
  if (page == TSDaten) ViewDataItem->setChecked(true);
  if (page == TSLogbuch) ViewLogbookItem->setChecked(true);
  const int shown = ShownPort();
  if (shown == 0) return;
  // The new page is filled at once, by an update of the shown port as if a thread had sent it.
  logbookStale_ = true;
  env_.receiver.logbook().TakeOver(shown, false, false);
  QCoreApplication::postEvent(this, new PortEvent(kWmPortUpdate, shown, 0));
}

void TMainForm::PortButtonClicked(int index) {
  if (index < 0 || static_cast<size_t>(index) >= layout_.ButtonPorts.size()) return;
  shownPort_ = layout_.ButtonPorts[static_cast<size_t>(index)];
  RefreshShownPort();
}

void TMainForm::RefreshShownPort() {
  const int shown = ShownPort();
  logbookStale_ = true;
  RefreshStatusPage(shown);
  RefreshDataPage(shown);
  if (shown != 0) env_.receiver.logbook().TakeOver(shown, false, false);
  RefreshLogbookPage();
  RefreshStatusBar(shown);
}

void TMainForm::RefreshStatusPage(int port) {
  if (PC->currentWidget() != TSStatus) return;
  const QString first = RxTxDatenBloeckeLbl->text();
  if (port < 0 && first.contains("Empfang")) {
    RxTxDatenBloeckeLbl->setText(QText(txt::kSentBlocks));
    RxTxBytesLbl->setText(QText(txt::kSentBytes));
  } else if (port > 0 && first.contains("Gesendet")) {
    RxTxDatenBloeckeLbl->setText(QText(txt::kReceivedBlocks));
    RxTxBytesLbl->setText(QText(txt::kReceivedBytes));
  }
  int n = std::abs(port);
  if (n < 1 || n > kPortCount) n = ShownPort();
  TGlobalApp& global = env_.receiver.app().GlobalApp;
  if (!Receiving() || n == 0) {
    AnzDSLbl->setText("0");
    AnzBytesLbl->setText("0");
    shownFileName_.clear();
    FileNameLbl->clear();
    FileNameLbl->setToolTip({});
    {
      std::lock_guard lock(global.ListLock);
      for (int p = 1; p <= kPortCount; ++p) env_.receiver.status()[p].DataLines.clear();
    }
    Datenzeilen->clear();
    return;
  }
  const TMyThreads& record = env_.receiver.status()[n];
  AnzDSLbl->setText(QString::number(record.Records.load()));
  AnzBytesLbl->setText(QString::number(record.Bytes.load()));
  std::string fileName;
  {
    std::lock_guard lock(global.ListLock);
    fileName = record.FileName;
  }
  if (fileName != shownFileName_) {
    shownFileName_ = fileName;
    const int width = std::max(FileNameLbl->width(), FileNameLbl->minimumWidth());
    FileNameLbl->setText(
        FileNameLbl->fontMetrics().elidedText(QText(fileName), Qt::ElideMiddle, width));
    FileNameLbl->setToolTip(QText(fileName));
  }
}

void TMainForm::RefreshDataPage(int port) {
  if (PC->currentWidget() != TSDaten || port < 1 || port > kPortCount) return;
  // Called when lines were added or the page or port changed: the memo is always refilled.
  // Going by DataChanged alone could miss a line that arrives between the flag and the list.
  TMyThreads& record = env_.receiver.status()[port];
  record.DataChanged = false;
  QStringList lines;
  {
    std::lock_guard lock(env_.receiver.app().GlobalApp.ListLock);
    for (const std::string& line : record.DataLines) lines << QText(Cp1252ToUtf8(line));
  }
  Datenzeilen->setPlainText(lines.join('\n'));
  ScrollToLastLine(Datenzeilen);
}

void TMainForm::RefreshLogbookPage() {
  if (PC->currentWidget() != TSLogbuch || !logbookStale_) return;
  logbookStale_ = false;
  QStringList lines;
  for (const std::string& line : env_.receiver.logbook().Lines(ShownPort())) lines << QText(line);
  Logbuchzeilen->setPlainText(lines.join('\n'));
  ScrollToLastLine(Logbuchzeilen);
}

void TMainForm::RefreshStatusBar(int port) {
  const int n = std::abs(port);
  QString text;
  if (n >= 1 && n <= kPortCount) {
    std::lock_guard lock(env_.receiver.app().GlobalApp.ListLock);
    text = QText(env_.receiver.status()[n].StatusText);
  }
  if (StatusBarText->text() != text) StatusBarText->setText(text);
}

}  // namespace quillon
