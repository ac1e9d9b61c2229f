#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "file_store_fixture.h"
#include "receive/drive_ready.h"
#include "serial/line_file.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

class LocalStoreRecovery : public FileStoreTest {
 protected:
  void Keep(std::initializer_list<const char*> contents) {
    fs::create_directories(LocalDir());
    int n = 0;
    for (const char* c : contents) WriteBytes(LocalFile(++n), c);
  }
  int KeptCount() const {
    if (!fs::exists(LocalDir())) return 0;
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(LocalDir())) ++n;
    return n;
  }
};

TEST_F(LocalStoreRecovery, MovesKeptFilesOldestFirst) {
  struct Case {
    int mode;
    int callMode;
    const char* template_;
    std::vector<std::pair<const char*, const char*>> files;  // name in in/, content
    std::vector<std::string> seen;  // the target's content as each moved file is handed on
  };
  const Case cases[] = {
      {2, 0, "d.%lfd", {{"d.0", "A"}, {"d.1", "B"}, {"d.2", "C"}}, {"A", "B", "C"}},
      {1, 2, "daten.dat", {{"daten.dat", "ABC"}}, {"A", "AB", "ABC"}},
      // Overwrite mode: within one pass the kept files are joined, not wiped out one by one...
      {0, 1, "daten.dat", {{"daten.dat", "ABC"}}, {"A", "AB", "ABC"}},
      {0, 0, "%jhd/%m/daten.dat", {{"2024/03/daten.dat", "ABC"}}, {"A", "AB", "ABC"}},
      // ... unless the port's program took each file before the next one came.
      {0, 2, "daten.dat", {{"daten.dat", "C"}}, {"A", "B", "C"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(InDir());
    opt_.FileName = InDir() + c.template_;
    opt_.FileMode = c.mode;
    opt_.CallMode = c.callMode;
    store_.reset();
    reporter_.reports.clear();
    Keep({"A", "B", "C"});
    const std::string legend = std::string(c.template_) + " mode " + std::to_string(c.mode) +
                               " call mode " + std::to_string(c.callMode);

    std::vector<std::string> seen;
    ASSERT_TRUE(Store().RecoverLocalFiles([&](const std::string& target) {
      seen.push_back(ReadBytes(target));
      EXPECT_EQ(target, InDir() + c.files[c.files.size() == 3 ? seen.size() - 1 : 0].first);
    })) << legend;
    EXPECT_EQ(seen, c.seen) << legend;
    for (const auto& [name, content] : c.files) {
      EXPECT_EQ(ReadBytes(InDir() + name), content) << legend << " " << name;
    }
    EXPECT_EQ(KeptCount(), 0) << legend;
    ASSERT_EQ(reporter_.reports.size(), 3u) << legend;
    for (int n = 1; n <= 3; ++n) {
      const std::string target = InDir() + c.files[c.files.size() == 3 ? n - 1 : 0].first;
      EXPECT_EQ(reporter_.reports[n - 1].log,
                "Daten von lokaler Datei " + LocalFile(n) + " nach " + target + " verschoben")
          << legend;
    }
  }
  EXPECT_FALSE(fs::exists(InDir() + "%jhd")) << "no directory named after a placeholder";
}

TEST_F(LocalStoreRecovery, StopsAtTheFirstFailureAndResumesLater) {
  opt_.FileMode = 1;
  Keep({"A", "B", "C"});
  {
    TOrvFile32 inUse(LocalFile(2), false);  // the second kept file cannot be read now
    EXPECT_FALSE(Store().RecoverLocalFiles());
    EXPECT_FALSE(Store().RecoverLocalFiles());
    EXPECT_EQ(reporter_.reports.size(), 2u)
        << "moved A, failed on B; the same failure again is silent";
  }
  EXPECT_EQ(ReadBytes(opt_.FileName), "A");
  EXPECT_EQ(reporter_.Logs().back(),
            "Fehler beim Verschieben der lokalen Datei " + LocalFile(2) + " nach " + opt_.FileName);
  EXPECT_EQ(KeptCount(), 2);

  ASSERT_TRUE(Store().RecoverLocalFiles());
  EXPECT_EQ(ReadBytes(opt_.FileName), "ABC");
  EXPECT_EQ(KeptCount(), 0);
}

TEST_F(LocalStoreRecovery, UnwritableTargetKeepsEverything) {
  Keep({"A", "B"});
  fs::create_directories(InDir());
  WriteBytes(opt_.FileName, "alt");
  chmod(opt_.FileName.c_str(), 0444);
  EXPECT_FALSE(Store().RecoverLocalFiles());
  EXPECT_EQ(reporter_.Logs(), std::vector<std::string>{"Genereller Zugriffsfehler auf Laufwerk " +
                                                       DriveOf(InDir()) + " (1)"});
  EXPECT_EQ(ReadBytes(opt_.FileName), "alt");
  EXPECT_EQ(KeptCount(), 2);

  reporter_.reports.clear();
  opt_.FileName = "daten.dat";  // not ready: silently wait for a later reception
  EXPECT_FALSE(Store().RecoverLocalFiles());
  EXPECT_TRUE(reporter_.reports.empty());
  EXPECT_EQ(KeptCount(), 2);
}

// Recovery runs before every wait for a transfer, about once a second.
TEST_F(LocalStoreRecovery, AFailureThatStaysIsReportedOnce) {
  const std::string blocked = LocalDir().substr(0, LocalDir().size() - 1);
  const std::string error = "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(InDir()) + " (1)";
  WriteBytes(blocked, "a file where the local store should be: it cannot be read");
  EXPECT_FALSE(Store().RecoverLocalFiles());
  EXPECT_FALSE(Store().RecoverLocalFiles());
  EXPECT_EQ(reporter_.Logs(), std::vector<std::string>{error});

  fs::remove(blocked);
  EXPECT_TRUE(Store().RecoverLocalFiles());
  WriteBytes(blocked, "again");
  EXPECT_FALSE(Store().RecoverLocalFiles());
  EXPECT_EQ(reporter_.Logs(), (std::vector<std::string>{error, error})) << "a success re-arms it";
}

TEST_F(LocalStoreRecovery, EmptyLocalStoreTouchesNoTarget) {
  EXPECT_TRUE(Store().RecoverLocalFiles());
  EXPECT_FALSE(fs::exists(InDir()));
  EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(LocalStoreRecovery, KeptDataGoesToTheTemplateNotToNamesFromTheData) {
  const std::string blocker = dir_.File("blocker");
  WriteBytes(blocker, "x");
  ASSERT_TRUE(Receive("satz", {blocker + "/named.txt"}));
  ASSERT_EQ(KeptCount(), 1);
  ASSERT_TRUE(Store().RecoverLocalFiles());
  EXPECT_EQ(ReadBytes(opt_.FileName), "satz");
}

}  // namespace
}  // namespace quillon::test
