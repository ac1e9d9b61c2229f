#pragma once
// A file store for port 1 over a fresh directory: the program directory "prog/" holds the
// temporary file, targets go to "in/". Reports, LED states and shown file names are recorded.
#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "receive/file_store.h"
#include "receive/port_reporter.h"
#include "serial/line_file.h"
#include "support/temp_dir.h"

namespace quillon::test {

class RecordingReporter : public PortReporter {
 public:
  struct Entry {
    bool force;
    int level;
    std::string log;
    std::string status;
  };

  void Report(bool force, int level, const std::string& logText, const std::string& statusText,
              const std::string&, int, int) override {
    std::lock_guard lock(mutex);
    reports.push_back({force, level, logText, statusText});
    if (onReport) onReport();
  }
  void SetLed(int state) override {
    std::lock_guard lock(mutex);
    leds.push_back(state);
  }
  void SetFileName(const std::string& name) override {
    std::lock_guard lock(mutex);
    fileNames.push_back(name);
  }

  std::vector<std::string> Logs() const {
    std::vector<std::string> out;
    for (const auto& r : reports) out.push_back(r.log);
    return out;
  }

  std::mutex mutex;
  std::vector<Entry> reports;
  std::vector<int> leds;
  std::vector<std::string> fileNames;
  std::function<void()> onReport;
};

class FileStoreTest : public ::testing::Test {
 protected:
  FileStoreTest() {
    std::filesystem::create_directories(ProgramDir());
    opt_.FileName = InDir() + "daten.dat";
    opt_.FileMode = 0;
    opt_.SeqDigits = 1;
    opt_.FirstSeqNo = 0;
    opt_.Protocol = 0;
    opt_.LogLevel = 1;
  }

  std::string ProgramDir() const { return dir_.path() + "/prog/"; }
  std::string InDir() const { return dir_.path() + "/in/"; }
  std::string Temp() const { return ProgramDir() + "rxtmp1.dat"; }
  std::string LocalDir() const { return ProgramDir() + "Temp. Daten von COM1/"; }
  std::string LocalFile(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "Daten(%05d).dat", n);
    return LocalDir() + name;
  }

  FileStore& Store() {
    if (!store_) {
      store_ = std::make_unique<FileStore>(1, opt_, ProgramDir(), reporter_);
      store_->SetClock([] {
        std::tm tm{};
        tm.tm_year = 124;
        tm.tm_mon = 2;
        tm.tm_mday = 5;
        tm.tm_hour = 10;
        return tm;
      });
    }
    return *store_;
  }

  // Stores the temporary file holding `data` (nothing, as after a transfer of zero records)
  // with the given target names from the data, the file open as the receive thread holds it.
  bool Receive(const std::string& data, std::array<std::string, 3> names = {}, int records = 1,
               bool xyz = false) {
    TOrvFile32 temp(Temp(), true);
    temp.Write(data);
    return StoreTemp(temp, names, records, xyz);
  }
  bool StoreTemp(TOrvFile32& temp, std::array<std::string, 3> names = {}, int records = 1,
                 bool xyz = false) {
    targetNames_ = names;
    return Store().StoreFile(temp, targetNames_, records, xyz, lastStored_, [this] {
      ++acks_;
      return ackSucceeds_;
    });
  }

  TempDir dir_;
  TQuillonOpt opt_;
  RecordingReporter reporter_;
  std::unique_ptr<FileStore> store_;
  std::array<std::string, 3> targetNames_;
  std::string lastStored_;
  int acks_ = 0;
  bool ackSucceeds_ = true;
};

}  // namespace quillon::test
