// TMainForm: its components, and how the active ports lay them out.
#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/ui/led.h"
#include "shell/ui/main_form.h"
#include "shell/ui/qtext.h"
#include "shell/ui/window_texts.h"

namespace quillon {
namespace {

QPlainTextEdit* Memo(QWidget* parent, const char* name) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setUndoRedoEnabled(false);
  return memo;
}

// A page of the page control: a caption above its memo.
QWidget* MemoPage(const char* name, const char* caption, QPlainTextEdit*& memo,
                  const char* memoName) {
  auto* page = new QWidget;
  page->setObjectName(name);
  auto* layout = new QVBoxLayout(page);
  auto* label = new QLabel(QText(caption), page);
  memo = Memo(page, memoName);
  label->setBuddy(memo);
  layout->addWidget(label);
  layout->addWidget(memo, 1);
  return page;
}

}  // namespace

// ---- building -------------------------------------------------------------------------------

void TMainForm::BuildMenus() {
  auto item = [this](QMenu* menu, const char* caption, const char* name, QKeySequence key = {}) {
    QAction* action = menu->addAction(QText(caption));
    action->setObjectName(name);
    if (!key.isEmpty()) action->setShortcut(key);
    return action;
  };
  QMenu* file = menuBar()->addMenu(QText(txt::kMenuFile));
  file->setObjectName("DateiMenu");
  ReceptionItem = item(file, txt::kMenuStartReception, "EmpfangItem", Qt::Key_F5);
  ReceptionItem->setCheckable(true);
  connect(ReceptionItem, &QAction::triggered, this, &TMainForm::ToggleReception);
  SendItem = item(file, txt::kMenuSend, "SendenItem", Qt::Key_F6);
  connect(SendItem, &QAction::triggered, this, &TMainForm::OpenSendDialog);
  file->addSeparator();
  QuitItem = item(file, txt::kMenuQuit, "BeendenItem");
  connect(QuitItem, &QAction::triggered, this, &TMainForm::close);

  QMenu* view = menuBar()->addMenu(QText(txt::kMenuView));
  view->setObjectName("AnsichtMenu");
  ViewGroup = new QActionGroup(this);
  ViewGroup->setExclusive(true);
  ViewStatusItem = item(view, txt::kMenuViewStatus, "StatusItem");
  ViewDataItem = item(view, txt::kMenuViewData, "DatenItem");
  ViewLogbookItem = item(view, txt::kMenuViewLogbook, "LogbuchItem");
  for (QAction* action : {ViewStatusItem, ViewDataItem, ViewLogbookItem}) {
    action->setCheckable(true);
    ViewGroup->addAction(action);
  }
  ViewStatusItem->setChecked(true);
  connect(ViewStatusItem, &QAction::triggered, this, [this] { PC->setCurrentWidget(TSStatus); });
  connect(ViewDataItem, &QAction::triggered, this, [this] { PC->setCurrentWidget(TSDaten); });
  connect(ViewLogbookItem, &QAction::triggered, this, [this] { PC->setCurrentWidget(TSLogbuch); });

  QMenu* program = menuBar()->addMenu(QText(txt::kMenuProgram));
  program->setObjectName("ProgrammMenu");
  SettingsItem = item(program, txt::kMenuSettings, "EinstellungenItem", Qt::Key_F9);
  connect(SettingsItem, &QAction::triggered, this, &TMainForm::OpenSettings);

  QMenu* info = menuBar()->addMenu(QText(txt::kMenuInfo));
  info->setObjectName("InfoMenu");
  VersionItem = item(info, txt::kMenuVersion, "ProgrammversionItem", Qt::Key_F1);
  connect(VersionItem, &QAction::triggered, this, &TMainForm::ShowAbout);
}

QWidget* TMainForm::BuildToolRow(QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto button = [row](const char* name, const char* caption, const char* hint,
                      QStyle::StandardPixmap glyph) {
    auto* b = new QToolButton(row);
    b->setObjectName(name);
    b->setText(QText(caption));
    b->setToolTip(QText(hint));
    b->setIcon(row->style()->standardIcon(glyph));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setMinimumHeight(28);
    return b;
  };
  StartStopBtn =
      button("StartStopBtn", txt::kStartStopCaption, txt::kHintStartStop, QStyle::SP_MediaPlay);
  StartStopBtn->setCheckable(true);
  connect(StartStopBtn, &QToolButton::clicked, this, &TMainForm::StartStopClicked);
  TxBtn = button("TxBtn", txt::kSendCaption, txt::kHintSend, QStyle::SP_ArrowRight);
  connect(TxBtn, &QToolButton::clicked, this, &TMainForm::OpenSendDialog);
  KonfigBtn = button("KonfigBtn", txt::kSettingsCaption, txt::kHintSettings,
                     QStyle::SP_FileDialogDetailedView);
  connect(KonfigBtn, &QToolButton::clicked, this, &TMainForm::OpenSettings);
  LED = new TLED(row);
  LED->setObjectName("LED");

  layout->addWidget(StartStopBtn);
  layout->addWidget(TxBtn);
  layout->addSpacing(8);
  layout->addWidget(KonfigBtn);
  layout->addStretch(1);
  layout->addWidget(LED);
  layout->addSpacing(4);
  return row;
}

QWidget* TMainForm::BuildPortColumn(QWidget* parent) {
  auto* column = new QWidget(parent);
  column->setObjectName("PortColumn");
  auto* layout = new QGridLayout(column);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setHorizontalSpacing(6);
  layout->setVerticalSpacing(4);
  ComBtnGroup = new QButtonGroup(this);
  ComBtnGroup->setExclusive(true);
  for (int i = 0; i < kPortCount; ++i) {
    auto* button = new QPushButton(QText(PortButtonCaption(i + 1)), column);
    button->setObjectName(QString("ComBtn%1").arg(i + 1));
    button->setCheckable(true);
    button->setToolTip(QText(txt::kHintPortButton));
    button->setFixedWidth(72);
    // The pressed button stands out a little more than its style alone would show.
    connect(button, &QPushButton::toggled, button, [button](bool on) {
      QFont font = button->font();
      font.setBold(on);
      button->setFont(font);
    });
    ComBtnGroup->addButton(button, i);
    auto* led = new TLED(column);
    led->setObjectName(QString("ComLED%1").arg(i + 1));
    layout->addWidget(button, i, 0);
    layout->addWidget(led, i, 1);
    ComBtn[i] = button;
    ComLED[i] = led;
  }
  connect(ComBtnGroup, &QButtonGroup::idClicked, this, &TMainForm::PortButtonClicked);
  return column;
}

QWidget* TMainForm::BuildPages(QWidget* parent) {
  PC = new QTabWidget(parent);
  PC->setObjectName("PC");
  PC->setMinimumSize(600, 250);

  TSStatus = new QWidget;
  TSStatus->setObjectName("TSStatus");
  auto* grid = new QGridLayout(TSStatus);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(10);
  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, TSStatus);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    return l;
  };
  RxTxDatenBloeckeLbl = label("RxTxDatenBloeckeLbl", QText(txt::kReceivedBlocks));
  AnzDSLbl = label("AnzDSLbl", "0");
  RxTxBytesLbl = label("RxTxBytesLbl", QText(txt::kReceivedBytes));
  AnzBytesLbl = label("AnzBytesLbl", "0");
  DateiLbl = label("DateiLbl", QText(txt::kFileLabel));
  FileNameLbl = label("FileNameLbl", {});
  FileNameLbl->setMinimumWidth(400);
  FileNameLbl->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  grid->addWidget(RxTxDatenBloeckeLbl, 0, 0);
  grid->addWidget(AnzDSLbl, 0, 1);
  grid->addWidget(RxTxBytesLbl, 1, 0);
  grid->addWidget(AnzBytesLbl, 1, 1);
  grid->addWidget(DateiLbl, 2, 0);
  grid->addWidget(FileNameLbl, 2, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  TSDaten = MemoPage("TSDaten", txt::kDataLabel, Datenzeilen, "Datenzeilen");
  Datenzeilen->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Datenzeilen->setMaximumBlockCount(static_cast<int>(kMaxDataLines));
  TSLogbuch = MemoPage("TSLogbuch", txt::kLogbookLabel, Logbuchzeilen, "Logbuchzeilen");
  TSLeer = new QWidget;
  TSLeer->setObjectName("TSLeer");

  PC->addTab(TSStatus, QText(txt::kPageStatus));
  PC->addTab(TSDaten, QText(txt::kPageData));
  PC->addTab(TSLogbuch, QText(txt::kPageLogbook));
  PC->addTab(TSLeer, {});
  connect(PC, &QTabWidget::currentChanged, this, &TMainForm::PageChanged);
  return PC;
}

// ---- layout of ports and pages ---------------------------------------------------------------

void TMainForm::AssignPorts(const PortButtonLayout& layout) {
  layout_ = layout;
  const size_t count = layout_.ButtonPorts.size();
  for (size_t i = 0; i < ComBtn.size(); ++i) {
    const bool used = i < count;
    if (used) ComBtn[i]->setText(QText(PortButtonCaption(layout_.ButtonPorts[i])));
    ComBtn[i]->setVisible(used);
    ComLED[i]->setVisible(used);
  }
  if (count > 0) ComBtn[0]->setChecked(true);
  shownPort_ = layout_.ShownPort();

  const bool empty = layout_.ShowEmptyPage;
  {
    // The pages change without the page-change handling; everything is refreshed below.
    const QSignalBlocker block(PC);
    PC->setTabVisible(PC->indexOf(TSStatus), !empty);
    PC->setTabVisible(PC->indexOf(TSDaten), !empty);
    PC->setTabVisible(PC->indexOf(TSLogbuch), !empty);
    PC->setTabVisible(PC->indexOf(TSLeer), empty);
    PC->tabBar()->setVisible(!empty);
    PC->setCurrentWidget(empty ? TSLeer : TSStatus);
  }
  ViewStatusItem->setChecked(true);
  EnableCommands();
  RefreshShownPort();
  AdjustHeight();
}

void TMainForm::EnableCommands() {
  const bool enabled = layout_.MenusEnabled;
  for (QAction* action : {ReceptionItem, SendItem, ViewStatusItem, ViewDataItem, ViewLogbookItem}) {
    action->setEnabled(enabled);
  }
  StartStopBtn->setEnabled(enabled);
  TxBtn->setEnabled(enabled);
}

void TMainForm::AdjustHeight() {
  // The frame is fixed: it takes the size its content asks for (fewer port buttons, a lower
  // window where the pages allow it).
  ensurePolished();  // fonts and style metrics decide the sizes
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // The port column asks for another size with other buttons shown; the layouts above it
  // remember the old one until told.
  ComBtn[0]->parentWidget()->updateGeometry();
  for (QLayout* l : {centralWidget()->layout(), layout()}) {
    l->invalidate();
    l->activate();
  }
  setFixedSize(sizeHint());
}

void TMainForm::ShowCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
}

void TMainForm::EnableTimer() { Timer->start(); }

bool TMainForm::Receiving() const { return env_.receiver.reception().Receiving(); }

}  // namespace quillon
