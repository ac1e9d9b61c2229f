#pragma once
// A settings file in a fresh temporary directory, the store working on it and a sink that
// records the message boxes.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// Root reads and writes any file whatever its permissions say. While this lives, the calling
// thread does without the two capabilities behind that, so file permissions hold for it too;
// they stay permitted and come back at the end. Without root this changes nothing.
class WithoutPermissionOverride {
 public:
  WithoutPermissionOverride() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    active_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~WithoutPermissionOverride() {
    if (active_) syscall(SYS_capset, &header_, saved_);
  }
  WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
  WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

inline const std::string kS1 = "Schnittstellenparameter für COM1:";
inline const std::string kS5 = "Pollingparameter für COM1:";
inline const std::string kS6 = "Modemparameter für COM1:";
inline const std::string kS7 = "TCP/IP-Parameter für COM1:";

}  // namespace quillon::test
