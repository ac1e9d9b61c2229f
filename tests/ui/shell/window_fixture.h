#pragma once
// The receiver with its window, run inside the test process: an installation directory with
// ComRemap.ini and a settings file, lines that are pseudo-terminals (idle or with a simulated
// terminal), and helpers to find the window's components by their names and to wait for them.
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/startup.h"
#include "shell/ui/led.h"
#include "shell/ui/window_app.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace quillon::test {

inline constexpr int kUiWaitMs = 15000;

class WindowFixture {
 public:
  // Ports without a line of their own point nowhere, so no real serial port is touched.
  WindowFixture() {
    for (int port = 1; port <= 8; ++port) lines_[port] = "pts/nirgends";
  }
  // The window and its threads go before the lines they use.
  ~WindowFixture() {
    receiver.reset();
    for (const int fd : heldLines_) close(fd);
  }

  // COM`port` on an idle line: present, nobody answers.
  void IdleLine(int port) {
    auto pty = std::make_unique<PtyPair>();
    lines_[port] = pty->path();
    ptys_.push_back(std::move(pty));
  }

  // COM`port` on a simulated terminal running quillon-sim --pty with `args`.
  bool Terminal(int port, const std::vector<std::string>& args) {
    auto sim = std::make_unique<ChildProcess>();
    std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim"};
    // A mode word ("satellites") comes first.
    const bool mode = !args.empty() && args.front() == "satellites";
    if (mode) argv.push_back(args.front());
    argv.push_back("--pty");
    argv.insert(argv.end(), args.begin() + (mode ? 1 : 0), args.end());
    if (!sim->Start(argv, dir.path()) || !sim->WaitForOutput("\n", kUiWaitMs)) return false;
    const std::string& out = sim->out();
    if (out.rfind("LINE ", 0) != 0) return false;
    lines_[port] = out.substr(5, out.find('\n') - 5);
    sims[port] = std::move(sim);
    return true;
  }

  // Keeps COM`port`'s line there while the receiver has it closed, as a cable stays plugged in:
  // a pseudo-terminal nobody holds would hang up on its terminal.
  bool HoldLine(int port) {
    const int fd = open(lines_[port].c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) heldLines_.push_back(fd);
    return fd >= 0;
  }

  // Settings text (Windows-1252) added to quillon.ini.
  void Settings(const std::string& text) { ini_ += text; }
  // "Aktiviert=1" for the port, plus further keys of its first section.
  void Active(int port, const std::string& moreKeys = {}) {
    ini_ +=
        "[Schnittstellenparameter f\xFC"
        "r COM" +
        std::to_string(port) + ":]\r\nAktiviert=1\r\n" + moreKeys;
  }

  // Writes the files and, unless told otherwise, completes the settings of the present ports
  // the way a first start does, so that the window's start shows no box about them.
  void Install(bool completeSettings = true) {
    std::string remap = "[Remap]\r\n";
    for (const auto& [port, line] : lines_) {
      remap += "COM" + std::to_string(port) + "=" + line + "\r\n";
    }
    WriteBytes(dir.File("ComRemap.ini"), remap);
    WriteBytes(dir.File("quillon.ini"), ini_);
    if (!completeSettings) return;
    AppContext app;
    RecordingSink sink;
    PortButtonLayout layout;
    RunStartup(app, sink, {exePath(), {}, dir.path()}, layout);
  }

  // Installs and starts the receiver with its window, made the active window.
  bool Start(const std::vector<std::string>& args = {}) {
    Install();
    receiver = std::make_unique<WindowedReceiver>();
    if (!receiver->Start(exePath(), args, dir.path())) return false;
    if (receiver->window().HasClosed()) return true;
    QApplication::setActiveWindow(&window());
    return QTest::qWaitForWindowActive(&window());
  }

  std::string exePath() const { return dir.File("quillon"); }
  TMainForm& window() { return receiver->window(); }

  template <typename T>
  T* Find(const char* name) {
    return window().findChild<T*>(QString::fromUtf8(name));
  }
  QString Text(const char* label) { return Find<QLabel>(label)->text(); }
  QString StatusBar() { return Text("StatusBarText"); }
  QStringList MemoLines(const char* memo) {
    return Find<QPlainTextEdit>(memo)->toPlainText().split('\n', Qt::SkipEmptyParts);
  }
  TLED* Led(const char* name) { return Find<TLED>(name); }
  void Key(Qt::Key key) { QTest::keyClick(&window(), key); }

  TempDir dir;
  std::map<int, std::unique_ptr<ChildProcess>> sims;
  std::unique_ptr<WindowedReceiver> receiver;

 private:
  std::map<int, std::string> lines_;
  std::vector<std::unique_ptr<PtyPair>> ptys_;
  std::vector<int> heldLines_;
  std::string ini_;
};

// Waits, with the event loop running, until `done` holds.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kUiWaitMs) {
  return QTest::qWaitFor(done, timeoutMs);
}

}  // namespace quillon::test
