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

namespace quillon::test {

class RecordingSink : public UiSink {
 public:
  void PostPortUpdate(int, bool) override {}
  void PostPortLed(int, int) override {}
  void PostSendFile(int) override {}
  void PostSendProgress(int, int) override {}
  void PostSendResult(int, int) override {}
  void ShowMessage(MessageKind kind, const std::string& text) override {
    messages.push_back({kind, text});
  }
  bool AskYesNo(const std::string&, bool safeAnswer) override { return safeAnswer; }
  int Count(const std::string& text) const {
    int n = 0;
    for (const auto& m : messages) n += m.second == text;
    return n;
  }
  std::vector<std::pair<MessageKind, std::string>> messages;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillon-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    app_.AppInfo.ExeDir = dir_ + "/";
    app_.AppInfo.IniPath = dir_ + "/quillon.ini";
  }
  void TearDown() override {
    std::filesystem::permissions(ini(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec_);
    std::filesystem::remove_all(dir_, ec_);
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
    store_.LoadPortSettings(-n);
    ui_.messages.clear();
  }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_TRUE(IniFile(ini()).WriteString(section, key, value));
  }
  std::string Get(const std::string& section, const std::string& key) const {
    return IniFile(ini()).ReadString(section, key, "<fehlt>");
  }

  std::string dir_;
  std::error_code ec_;
  AppContext app_;
  RecordingSink ui_;
  SettingsStore store_{app_, ui_};
};

inline const std::string kS1 = "Schnittstellenparameter für COM1:";
inline const std::string kS5 = "Pollingparameter für COM1:";
inline const std::string kS6 = "Modemparameter für COM1:";
inline const std::string kS7 = "TCP/IP-Parameter für COM1:";

}  // namespace quillon::test
