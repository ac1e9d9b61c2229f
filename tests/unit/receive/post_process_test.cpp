// Post-processing: the command line built from the template, and what the logbook shows for
// each call mode and for a program that cannot be started.
#include "receive/post_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct BuildCase {
  const char* tmpl;
  const char* file;
  int port;
  const char* expected;
  const char* legend;
};

TEST(PostProcessCall, PlaceholdersAreFilledOnce) {
  const BuildCase cases[] = {
      {"import.exe %datei COM%com", "/in/daten.dat", 3, "import.exe /in/daten.dat COM3",
       "both placeholders"},
      {"import %DATEI %Com", "/in/d.dat", 3, "import %DATEI %Com", "case-sensitive"},
      {"x %datei %datei %com%com", "f", 8, "x f f 88", "every occurrence"},
      {"x %datei", "/in/%com%datei.dat", 2, "x /in/%com%datei.dat",
       "inserted text is not searched again"},
      {"x %dat%comei", "f", 4, "x %dat4ei", "a split placeholder is not one"},
      {"x \"%datei\"", "/in/meine daten.dat", 1, "x \"/in/meine daten.dat\"",
       "quoting is the template's business"},
      {"", "f", 1, "", "empty template"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuildProgramCall(c.tmpl, c.file, c.port), c.expected) << c.legend;
}

struct Reported {
  bool force;
  int level;
  std::string log;
  std::string status;
};

class RecordingReporter : public PortReporter {
 public:
  void Report(bool force, int level, const std::string& logText, const std::string& statusText,
              const std::string&, int, int) override {
    reports.push_back({force, level, logText, statusText});
  }
  void SetLed(int) override {}
  void SetFileName(const std::string&) override {}

  std::vector<Reported> reports;
};

class PostProcessTest : public ::testing::Test {
 protected:
  PostProcessTest() {
    out = dir.File("args.txt");
    WriteBytes(dir.File("import"), "#!/bin/sh\nsleep 0.1\nprintf '%s\\n' \"$@\" > '" + out +
                                       ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    chmod(dir.File("import").c_str(), 0755);
    opt.ProgramCall = "import %datei COM%com";
  }

  std::vector<Reported> Run(int callMode) {
    opt.CallMode = callMode;
    RecordingReporter reporter;
    PostProcess(3, opt, "/in/daten.dat", dir.path(), reporter);
    return reporter.reports;
  }

  TempDir dir;
  std::string out;
  TQuillonOpt opt;
};

TEST_F(PostProcessTest, ModeZeroStartsNothing) {
  EXPECT_TRUE(Run(0).empty());
  EXPECT_EQ(ReadBytes(out), "");
}

TEST_F(PostProcessTest, StartAndWaitReportsStartEndAndDuration) {
  const auto r = Run(2);
  EXPECT_EQ(ReadBytes(out), "/in/daten.dat\nCOM3\n") << "ended before PostProcess returned";
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].log, "Starte import /in/daten.dat COM3 und warte");
  EXPECT_EQ(r[0].status, r[0].log);
  EXPECT_FALSE(r[0].force);
  EXPECT_EQ(r[0].level, 1);
  EXPECT_EQ(r[1].log, "Aufruf von import /in/daten.dat COM3 beendet");
  EXPECT_TRUE(r[1].force);
  EXPECT_EQ(r[1].level, 1);
  EXPECT_EQ(r[2].log.rfind("Aufrufdauer: ", 0), 0u) << r[2].log;
  EXPECT_GE(std::stoi(r[2].log.substr(13)), 90) << "the duration covers the program's run";
  EXPECT_TRUE(r[2].force);
  EXPECT_EQ(r[2].level, 2);
}

TEST_F(PostProcessTest, StartWithoutWaitNeverReportsTheEnd) {
  const auto r = Run(1);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].log, "Starte import /in/daten.dat COM3");
  EXPECT_EQ(r[1].log.rfind("Aufrufdauer: ", 0), 0u) << r[1].log;
  EXPECT_LT(std::stoi(r[1].log.substr(13)), 90) << "only the start is measured";
  for (int i = 0; i < 500 && ReadBytes(out).empty(); ++i) usleep(10000);
  EXPECT_EQ(ReadBytes(out), "/in/daten.dat\nCOM3\n") << "the program ran";
}

TEST_F(PostProcessTest, MissingProgramIsReportedAndNothingElse) {
  opt.ProgramCall = "quillon-missing-importer %datei";
  for (int mode : {1, 2}) {
    const auto r = Run(mode);
    ASSERT_EQ(r.size(), 2u) << mode;
    EXPECT_EQ(r[1].log, "Fehler beim Aufruf von quillon-missing-importer /in/daten.dat") << mode;
    EXPECT_EQ(r[1].status, r[1].log);
    EXPECT_TRUE(r[1].force);
    EXPECT_EQ(r[1].level, 1);
  }
}

}  // namespace
}  // namespace quillon
