#pragma once
// A logbook over a fresh directory: ports 1 and 2 present, enabled and logging, port 3 present
// and enabled with logging off, port 4 present but disabled, the others absent. The clock is a
// variable the test sets; echoed lines and window refreshes are recorded.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "receive/logbook.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace quillon::test {

// Local noon of a day, so that a test never straddles midnight or a clock change.
inline std::time_t Noon(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

class LogbookTest : public ::testing::Test {
 protected:
  LogbookTest() {
    app_.AppInfo.ProgramDir = dir_.path() + "/";
    app_.AppInfo.IniPath = dir_.File("quillon.ini");
    TGlobalApp& global = app_.GlobalApp;
    for (int n = 1; n <= kPortCount; ++n) {
      global.PortLogFile[n] = dir_.File("quillon_com" + std::to_string(n) + ".log");
      global.PortPresent[n] = n <= 4;
      global.PortActive[n] = n != 4;
      app_.PortSettings[n].Enabled = n != 4;
      app_.PortSettings[n].LogLevel = n == 3 ? 0 : 1;
    }
    global.ExtLogDir = ExtDir();  // without the final '/', as a user may type it
    std::filesystem::create_directory(ExtDir());
    global.ExtLogDays = 3;
    MakeLogbook();
  }

  // A logbook as after a program start (the previous one's lists are gone).
  void MakeLogbook() {
    log_ = std::make_unique<Logbook>(app_, status_, ui_);
    log_->clock = [this] { return now_; };
    log_->echo = [this](const std::string& line) { echoed_.push_back(line); };
    log_->changed = [this](int port) { refreshed_.push_back(port); };
    log_->printer.devicePattern = dir_.File("lp%d");
  }

  std::string ExtDir() const { return dir_.File("ext"); }
  std::string ExtFile(int port, int slot) const {
    return ExtDir() + "/COM" + std::to_string(port) + "_Logbuch" + std::to_string(slot) + ".txt";
  }
  std::vector<std::string> ExtDirEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ExtDir())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  AppContext app_;
  PortStatusArray status_;
  RecordingSink ui_;
  std::time_t now_ = Noon(2024, 3, 1);
  std::vector<std::string> echoed_;
  std::vector<int> refreshed_;
  std::unique_ptr<Logbook> log_;
};

}  // namespace quillon::test
