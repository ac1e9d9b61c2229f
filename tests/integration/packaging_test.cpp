// The installed shape of the programs: the service unit passes systemd's own check, and
// "--version"/"--help" answer without a window, settings file or logbook being made.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::TempDir;

constexpr int kTimeoutMs = 30000;

std::string SourceFile(const std::string& relative) {
  return (fs::path(__FILE__).parent_path() / "../.." / relative).lexically_normal().string();
}

std::string FindProgram(const std::string& name) {
  for (const char* dir : {"/usr/bin/", "/bin/"}) {
    if (fs::exists(std::string(dir) + name)) return std::string(dir) + name;
  }
  return {};
}

TEST(Packaging, ServiceUnitPassesSystemdVerify) {
  const std::string analyze = FindProgram("systemd-analyze");
  if (analyze.empty()) GTEST_SKIP() << "systemd-analyze is not installed";
  std::ifstream in(SourceFile("packaging/quillon.service"));
  ASSERT_TRUE(in) << "packaging/quillon.service";
  std::stringstream unit;
  unit << in.rdbuf();
  // The check wants the program in place: the one just built stands in for /usr/bin/quillon.
  std::string text = unit.str();
  const std::string installed = "ExecStart=/usr/bin/quillon ";
  const size_t at = text.find(installed);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, installed.size(), std::string("ExecStart=") + QUILLON_BIN_DIR + "/quillon ");
  TempDir dir;
  std::ofstream(dir.File("quillon.service")) << text;

  ChildProcess child;
  const int code = RunToEnd(child, {analyze, "verify", "--man=no", dir.File("quillon.service")},
                            dir.path(), {}, kTimeoutMs);
  EXPECT_EQ(code, 0) << child.err();
  // Unknown keys and bad values are only warnings: any word from the check is a fault.
  EXPECT_EQ(child.out() + child.err(), "");
}

TEST(Packaging, VersionAndHelpTouchNothing) {
  struct Case {
    const char* program;
    const char* argument;
    const char* begins;
  };
  const Case cases[] = {
      {"quillon", "--version", "Quillon "},         {"quillon", "--help", "Aufruf: quillon"},
      {"sollex", "--version", "Sollex "},           {"sollex", "--help", "Usage: sollex"},
      {"quillon-sim", "--version", "quillon-sim "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.argument);
    const std::string built = std::string(QUILLON_BIN_DIR) + "/" + c.program;
    if (!fs::exists(built)) {  // only the receiver and the simulator are built for these tests
      std::printf("%s is not built: not checked\n", built.c_str());
      continue;
    }
    // A copy alone in a writable directory would keep its settings and logbooks beside it.
    TempDir dir;
    fs::copy_file(built, dir.File(c.program));
    ChildProcess child;
    const int code = RunToEnd(child, {dir.File(c.program), c.argument}, dir.path(),
                              {"QUILLON_DATA_DIR=" + dir.File("data"), "HOME=" + dir.File("home"),
                               "QT_QPA_PLATFORM=offscreen"},
                              kTimeoutMs);
    EXPECT_EQ(code, 0) << child.err();
    EXPECT_EQ(child.out().rfind(c.begins, 0), 0u) << child.out();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "nothing but the program in its directory";
  }
}

}  // namespace
}  // namespace quillon
