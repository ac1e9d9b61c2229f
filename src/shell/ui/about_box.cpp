#include "shell/ui/about_box.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <charconv>

#include "common/file_io.h"
#include "common/format.h"
#include "common/texts.h"
#include "shell/ui/window_texts.h"

namespace quillon {

std::optional<long long> MemAvailableKb(std::string_view meminfo) {
  constexpr std::string_view kKey = "MemAvailable:";
  size_t pos = 0;
  while (pos < meminfo.size()) {
    size_t end = meminfo.find('\n', pos);
    if (end == std::string_view::npos) end = meminfo.size();
    std::string_view line = meminfo.substr(pos, end - pos);
    pos = end + 1;
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    long long kb = 0;
    const auto [rest, ec] = std::from_chars(line.data(), line.data() + line.size(), kb);
    if (ec != std::errc() || rest == line.data()) return std::nullopt;
    return kb;
  }
  return std::nullopt;
}

std::string AvailableMemoryText(std::optional<long long> kb) {
  if (!kb) return Format(txt::kAboutMemory, txt::kAboutMemoryUnknown);
  const QString mb = QLocale(QLocale::German, QLocale::Germany).toString(*kb / 1024);
  return Format(txt::kAboutMemory, mb.toStdString() + " MB");
}

void ShowAboutBox(QWidget* parent) {
  QDialog box(parent);
  box.setObjectName("AboutBox");
  box.setWindowTitle(QString::fromUtf8(txt::kAboutTitle));
  box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

  auto* icon = new QLabel(&box);
  icon->setPixmap(box.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);

  auto* name = new QLabel(QString::fromUtf8(txt::kProgramName), &box);
  name->setObjectName("ProductName");
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  auto* description = new QLabel(QString::fromUtf8(txt::kAboutDescription), &box);
  auto* version =
      new QLabel(QString::fromStdString(Format(txt::kAboutVersion, QUILLON_VERSION)), &box);
  version->setObjectName("Version");
  const std::optional<std::string> meminfo = ReadWholeFile("/proc/meminfo");
  auto* memory = new QLabel(QString::fromStdString(AvailableMemoryText(
                                meminfo ? MemAvailableKb(*meminfo) : std::nullopt)),
                            &box);
  memory->setObjectName("Memory");

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(description);
  texts->addSpacing(8);
  texts->addWidget(version);
  texts->addWidget(memory);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(&box);
  QPushButton* ok = buttons->addButton(QString::fromUtf8(txt::kOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("okButton");
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);

  auto* layout = new QVBoxLayout(&box);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  box.exec();
}

}  // namespace quillon
