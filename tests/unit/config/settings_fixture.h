#pragma once
// A settings file in a fresh temporary directory, the store working on it and a sink that
// records the message boxes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/ini_file.h"
#include "common/ui_sink.h"
#include "config/settings_store.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace quillon::test {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.AppInfo.ExeDir = dir_.path() + "/";
    app_.AppInfo.IniPath = dir_.File("quillon.ini");
  }
  const std::string& ini() const { return app_.AppInfo.IniPath; }
  void WriteBytes(const std::string& bytes) { std::ofstream(ini(), std::ios::binary) << bytes; }
  std::string Bytes() const {
    std::ostringstream out;
    out << std::ifstream(ini(), std::ios::binary).rdbuf();
    return out.str();
  }
  // A file holding every key of COM n, written by the repair of an empty file.
  void MakeComplete(int n = 1) {
    store_.LoadPortSettings(SettingsSlot::Live, n);
    ui_.messages.clear();
  }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_TRUE(IniFile(ini()).WriteString(section, key, value));
  }
  std::string Get(const std::string& section, const std::string& key) const {
    return IniFile(ini()).ReadString(section, key, "<fehlt>");
  }

  TempDir dir_;
  AppContext app_;
  RecordingSink ui_;
  SettingsStore store_{app_, ui_};
};

inline const std::string kS1 = "Schnittstellenparameter für COM1:";
inline const std::string kS5 = "Pollingparameter für COM1:";
inline const std::string kS6 = "Modemparameter für COM1:";
inline const std::string kS7 = "TCP/IP-Parameter für COM1:";

}  // namespace quillon::test
