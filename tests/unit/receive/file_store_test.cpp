#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "file_store_fixture.h"
#include "receive/drive_ready.h"
#include "serial/line_file.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) { return fs::exists(path); }

TEST_F(FileStoreTest, ModesWriteTheirFiles) {
  struct Case {
    int mode;
    const char* template_;
    const char* existing;  // content of the existing file named by the template, if any
    const char* target;    // name the data goes to, in in/
    const char* content;   // of that file afterwards
  };
  const Case cases[] = {
      {0, "daten.dat", "alt\r\n", "daten.dat", "neu\r\n"},
      {1, "daten.dat", "alt\r\n", "daten.dat", "alt\r\nneu\r\n"},
      {1, "neu/daten.dat", nullptr, "neu/daten.dat", "neu\r\n"},
      {2, "daten.dat", nullptr, "daten.dat.0", "neu\r\n"},
      {2, "d%t%m%j.%lfd", nullptr, "d050324.0", "neu\r\n"},
      {0, "d%t%m%j%lfd.dat", nullptr, "d050324.dat", "neu\r\n"},
  };
  for (const auto& c : cases) {
    const TempDir base;
    opt_.FileName = InDir() + c.template_;
    opt_.FileMode = c.mode;
    store_.reset();
    fs::remove_all(InDir());
    fs::create_directories(InDir());
    if (c.existing) {
      WriteBytes(opt_.FileName, c.existing);
      chmod(opt_.FileName.c_str(), 0604);
    }
    const std::string legend = std::string(c.template_) + " mode " + std::to_string(c.mode);

    EXPECT_TRUE(Receive("neu\r\n")) << legend;
    const std::string target = InDir() + c.target;
    EXPECT_EQ(ReadBytes(target), c.content) << legend;
    EXPECT_EQ(lastStored_, target) << legend;
    EXPECT_FALSE(Exists(Temp())) << legend;
    if (c.existing) {
      EXPECT_EQ(fs::status(target).permissions(), static_cast<fs::perms>(0604)) << legend;
    }
    if (c.mode == 2 && c.existing == nullptr) {
      EXPECT_FALSE(Exists(opt_.FileName)) << legend << ": the template itself stays untouched";
    }
  }
  EXPECT_EQ(acks_, 6);
  EXPECT_FALSE(Exists(LocalDir()));
}

TEST_F(FileStoreTest, SequentialModeTakesTheNextNumber) {
  opt_.FileName = InDir() + "d%t%m%j.%lfd";
  opt_.FileMode = 2;
  opt_.SeqDigits = 3;
  opt_.FirstSeqNo = 1;
  fs::create_directories(InDir());
  WriteBytes(InDir() + "d050324.001", "eins");
  WriteBytes(InDir() + "d050324.002", "zwei");
  ASSERT_TRUE(Receive("drei"));
  EXPECT_EQ(ReadBytes(InDir() + "d050324.003"), "drei");
  EXPECT_EQ(ReadBytes(InDir() + "d050324.001"), "eins");
  ASSERT_TRUE(Receive("vier"));
  EXPECT_EQ(ReadBytes(InDir() + "d050324.004"), "vier");
}

TEST_F(FileStoreTest, ReportsByLogLevelAndMode) {
  struct Case {
    int mode;
    int logLevel;
    int records;
    bool xyz;
    int level;  // 0: nothing reported
    const char* log;
  };
  const Case cases[] = {
      {0, 0, 3, false, 0, ""},
      {0, 1, 3, false, 1, "Daten in Datei %s abgespeichert"},
      {2, 1, 3, true, 1, "Daten in Datei %s abgespeichert"},
      {1, 1, 3, false, 1, "Daten an Datei %s angehängt"},
      {0, 2, 3, false, 2, "3 Datensätze in Datei %s abgespeichert"},
      {0, 3, 1, false, 2, "1 Datensatz in Datei %s abgespeichert"},
      {2, 2, 5, true, 2, "5 Datenblöcke in Datei %s abgespeichert"},
      {0, 2, 1, true, 2, "1 Datenblock in Datei %s abgespeichert"},
      {1, 2, 2, true, 2, "2 Datensätze an Datei %s angehängt"},
      {1, 3, 1, false, 2, "1 Datensatz an Datei %s angehängt"},
  };
  for (const auto& c : cases) {
    opt_.FileMode = c.mode;
    opt_.LogLevel = c.logLevel;
    store_.reset();
    reporter_.reports.clear();
    reporter_.leds.clear();
    fs::remove_all(InDir());
    const std::string legend = "mode " + std::to_string(c.mode) + " level " +
                               std::to_string(c.logLevel) + " records " +
                               std::to_string(c.records) + (c.xyz ? " xyz" : "");

    ASSERT_TRUE(Receive("x", {}, c.records, c.xyz)) << legend;
    EXPECT_EQ(reporter_.leds, std::vector<int>{0}) << legend;
    if (c.level == 0) {
      EXPECT_TRUE(reporter_.reports.empty()) << legend;
      continue;
    }
    ASSERT_EQ(reporter_.reports.size(), 1u) << legend;
    const auto& r = reporter_.reports[0];
    char expected[256];
    std::snprintf(expected, sizeof expected, c.log, lastStored_.c_str());
    EXPECT_EQ(r.log, expected) << legend;
    EXPECT_EQ(r.status, "Datei " + lastStored_ + " gespeichert") << legend;
    EXPECT_EQ(r.level, c.level) << legend;
    EXPECT_TRUE(r.force) << legend;
    EXPECT_EQ(reporter_.fileNames.back(), lastStored_) << legend;
  }
}

TEST_F(FileStoreTest, AcknowledgementOnlyForTheBlockProtocolAndItsResultCounts) {
  opt_.Protocol = 3;
  EXPECT_TRUE(Receive("a"));
  EXPECT_EQ(acks_, 0) << "X/Y/Z ports have no final acknowledgement";

  opt_.Protocol = 0;
  ackSucceeds_ = false;
  EXPECT_FALSE(Receive("b")) << "the terminal did not get its acknowledgement";
  EXPECT_EQ(acks_, 1);
  EXPECT_EQ(reporter_.leds.back(), -1);
  EXPECT_EQ(ReadBytes(opt_.FileName), "b") << "the data itself is safe";
}

TEST_F(FileStoreTest, SeveralTargetsFromTheDataEachGetAllOfIt) {
  const std::string other = dir_.File("other/b.txt");
  // The temporary file must still exist while every target but the last is written.
  std::vector<bool> tempSeen;
  reporter_.onReport = [&] { tempSeen.push_back(Exists(Temp())); };
  ASSERT_TRUE(Receive("satz\r\n", {"a.txt", other, "c%t.txt"}));
  EXPECT_EQ(ReadBytes(InDir() + "a.txt"), "satz\r\n") << "a bare name lies beside the template";
  EXPECT_EQ(ReadBytes(other), "satz\r\n");
  EXPECT_EQ(ReadBytes(InDir() + "c05.txt"), "satz\r\n") << "placeholders work in names too";
  EXPECT_EQ(tempSeen, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(Exists(Temp())) << "deleted once every target holds the data";
  EXPECT_FALSE(Exists(InDir() + "daten.dat")) << "the template is not used";
  EXPECT_EQ(lastStored_, InDir() + "c05.txt");
  EXPECT_EQ(targetNames_, (std::array<std::string, 3>{}));
  EXPECT_EQ(acks_, 1);

  reporter_.onReport = nullptr;
  ASSERT_TRUE(Receive("zwei", {"x.txt", "", "z.txt"}));
  EXPECT_EQ(ReadBytes(InDir() + "x.txt"), "zwei");
  EXPECT_EQ(ReadBytes(InDir() + "z.txt"), "zwei") << "an empty name between does not end the list";
  EXPECT_FALSE(Exists(Temp()));
}

TEST_F(FileStoreTest, ZeroRecordsLeaveNoFile) {
  opt_.FileMode = 2;
  ASSERT_TRUE(Receive("", {}, 0));
  EXPECT_FALSE(Exists(InDir() + "daten.dat.0"));
  EXPECT_EQ(acks_, 1);
  EXPECT_FALSE(Exists(LocalDir()));
  EXPECT_FALSE(Exists(Temp()));
  EXPECT_EQ(lastStored_, "") << "nothing stored, nothing to post-process";
}

// The temporary file deleted (a user, another port's terminal) or replaced by another file while
// the transfer ran: nothing is stored as if it were the transfer, the terminal repeats it.
TEST_F(FileStoreTest, TemporaryFileLostDuringTheTransferFailsIt) {
  for (const bool replaced : {false, true}) {
    const std::string legend = replaced ? "replaced" : "deleted";
    reporter_.reports.clear();
    {
      TOrvFile32 temp(Temp(), true);
      temp.Write("satz\r\n");
      fs::remove(Temp());
      if (replaced) WriteBytes(Temp(), "fremd");
      EXPECT_FALSE(StoreTemp(temp)) << legend;
    }
    EXPECT_EQ(acks_, 0) << legend;
    EXPECT_FALSE(Exists(opt_.FileName)) << legend;
    EXPECT_FALSE(Exists(LocalDir())) << legend;
    EXPECT_EQ(reporter_.leds.back(), -1) << legend;
    ASSERT_EQ(reporter_.Logs().size(), 1u) << legend;
    EXPECT_EQ(reporter_.reports[0].level, 1) << legend;
    EXPECT_EQ(ReadBytes(Temp()), replaced ? "fremd" : "") << legend << ": another file stays";
  }
}

struct UnwritableCase {
  const char* what;
  std::function<void(FileStoreTest&, TQuillonOpt&)> setUp;
  std::function<std::string(const TQuillonOpt&)> report;
};

TEST_F(FileStoreTest, UnwritableTargetGoesToTheLocalStore) {
  const std::string in = InDir();
  const std::string blocker = dir_.File("blocker");
  WriteBytes(blocker, "x");
  const UnwritableCase cases[] = {
      {"directory cannot be created",
       [&](FileStoreTest&, TQuillonOpt& o) { o.FileName = blocker + "/in/daten.dat"; },
       [&](const TQuillonOpt&) {
         return "Fehler beim Erstellen des Verzeichnisses " + blocker + "/in/";
       }},
      {"relative path", [&](FileStoreTest&, TQuillonOpt& o) { o.FileName = "daten.dat"; },
       [&](const TQuillonOpt&) { return std::string("Laufwerk daten.dat: ist nicht bereit"); }},
      {"read-only file",
       [&](FileStoreTest&, TQuillonOpt& o) {
         fs::create_directories(in);
         WriteBytes(o.FileName, "alt");
         chmod(o.FileName.c_str(), 0444);
       },
       [&](const TQuillonOpt& o) {
         return "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(o.FileName) + " (5)";
       }},
      {"read-only directory",
       [&](FileStoreTest&, TQuillonOpt&) {
         fs::create_directories(in);
         chmod(in.c_str(), 0555);
       },
       [&](const TQuillonOpt& o) {
         return "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(o.FileName) + " (5)";
       }},
      {"directory in place of the file",
       [&](FileStoreTest&, TQuillonOpt& o) { fs::create_directories(o.FileName); },
       [&](const TQuillonOpt& o) {
         return "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(o.FileName) + " (5)";
       }},
  };
  int number = 0;
  for (const auto& c : cases) {
    opt_ = TQuillonOpt{};
    opt_.FileName = in + "daten.dat";
    opt_.FileMode = 1;
    opt_.LogLevel = 1;
    c.setUp(*this, opt_);
    store_.reset();
    reporter_.reports.clear();
    const std::string data = std::string("daten ") + c.what;

    ASSERT_TRUE(Receive(data)) << c.what << ": the local store has the data";
    ++number;
    ASSERT_EQ(reporter_.Logs(),
              (std::vector<std::string>{
                  c.report(opt_), "Daten in lokaler Datei " + LocalFile(number) + " gespeichert"}))
        << c.what;
    EXPECT_EQ(reporter_.reports[0].status, reporter_.reports[0].log) << c.what;
    EXPECT_EQ(ReadBytes(LocalFile(number)), data) << c.what;
    EXPECT_EQ(lastStored_, "") << c.what << ": only in the local store";
    EXPECT_FALSE(Exists(Temp())) << c.what;
    EXPECT_EQ(acks_, number) << c.what;
    EXPECT_EQ(reporter_.leds.back(), 0) << c.what;
    chmod(in.c_str(), 0755);
    fs::remove_all(in);
  }
}

TEST_F(FileStoreTest, TargetHeldByAnotherPortGoesLocal) {
  fs::create_directories(InDir());
  WriteBytes(opt_.FileName, "alt");
  {
    TOrvFile32 otherPort(opt_.FileName, false);
    ASSERT_TRUE(Receive("neu"));
  }
  EXPECT_EQ(reporter_.Logs().front(),
            "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(opt_.FileName) + " (5)");
  EXPECT_EQ(ReadBytes(opt_.FileName), "alt");
  EXPECT_EQ(ReadBytes(LocalFile(1)), "neu");
}

TEST_F(FileStoreTest, TargetThatIsTheTemporaryFileItselfIsRefused) {
  opt_.FileName = ProgramDir() + "daten.dat";
  ASSERT_TRUE(Receive("wertvoll", {"rxtmp1.dat"}));
  EXPECT_EQ(ReadBytes(LocalFile(1)), "wertvoll") << "the data was not destroyed by rewriting";
}

// A file-size limit makes every write beyond it fail, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST_F(FileStoreTest, FailedWriteLeavesTheTargetAsItWasAndKeepsTheDataLocally) {
  opt_.FileMode = 1;
  fs::create_directories(InDir());
  const std::string old(4000, 'a');
  WriteBytes(opt_.FileName, old);
  const std::string data(500, 'b');
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(Receive(data));
  }
  EXPECT_EQ(ReadBytes(opt_.FileName), old) << "no half-written data behind the old content";
  EXPECT_EQ(ReadBytes(LocalFile(1)), data);
  ASSERT_EQ(reporter_.reports.size(), 2u);
  EXPECT_EQ(reporter_.reports[0].log, "Fehler beim Abspeichern der Datei " + opt_.FileName);
  EXPECT_EQ(reporter_.reports[0].status, "Fehler beim Abspeichern der Datei");

  // Overwriting on a full disk: the old content is not given up before the new one is safe.
  // Here nothing has room, so the terminal keeps its data.
  opt_.FileMode = 0;
  TOrvFile32 temp(Temp(), true);
  temp.Write(std::string(5000, 'c'));
  {
    FileSizeLimit limit(4096);
    EXPECT_FALSE(StoreTemp(temp));
  }
  EXPECT_EQ(ReadBytes(opt_.FileName), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(InDir()), fs::directory_iterator()), 1)
      << "no new file left beside the target";
}

TEST_F(FileStoreTest, LocalFilesAreNumberedUpwards) {
  opt_.FileName = "daten.dat";  // never ready
  fs::create_directories(LocalDir());
  WriteBytes(LocalFile(3), "drei");
  WriteBytes(LocalFile(7), "sieben");
  WriteBytes(LocalDir() + "Daten(x).dat", "fremd");
  ASSERT_TRUE(Receive("acht"));
  EXPECT_EQ(ReadBytes(LocalFile(8)), "acht");
  ASSERT_TRUE(Receive("neun"));
  EXPECT_EQ(ReadBytes(LocalFile(9)), "neun");
}

TEST_F(FileStoreTest, NoFreeLocalNumberUsesTheLostFileWithoutOverwritingIt) {
  opt_.FileName = "daten.dat";
  fs::create_directories(LocalDir());
  WriteBytes(LocalFile(99999), "voll");
  ASSERT_TRUE(Receive("eins;"));
  ASSERT_TRUE(Receive("zwei;"));
  EXPECT_EQ(ReadBytes(LocalDir() + "Lost(00000).dat"), "eins;zwei;");
  EXPECT_EQ(reporter_.Logs()[1],
            "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(LocalDir()) + " (4)");
}

TEST_F(FileStoreTest, LocalStoreFailingMeansNoAcknowledgement) {
  opt_.FileName = "daten.dat";
  fs::create_directories(ProgramDir());
  WriteBytes(LocalDir().substr(0, LocalDir().size() - 1), "a file in the way");
  EXPECT_FALSE(Receive("daten"));
  EXPECT_EQ(acks_, 0);
  EXPECT_EQ(reporter_.leds.back(), -1);
  EXPECT_EQ(reporter_.Logs().back(), "Fehler beim Erstellen des Verzeichnisses " + LocalDir());
  EXPECT_EQ(ReadBytes(Temp()), "daten") << "the temporary file is kept for the caller";

  fs::remove(LocalDir().substr(0, LocalDir().size() - 1));
  fs::create_directories(LocalDir());
  chmod(LocalDir().c_str(), 0555);
  reporter_.reports.clear();
  EXPECT_FALSE(Receive("daten"));
  EXPECT_EQ(acks_, 0);
  EXPECT_EQ(reporter_.Logs().back(),
            "Genereller Zugriffsfehler auf Laufwerk " + DriveOf(LocalDir()) + " (3)");
}

TEST_F(FileStoreTest, FirstTargetFailingKeepsOneLocalCopyAndLaterTargetsStillGetTheData) {
  const std::string blocker = dir_.File("blocker");
  WriteBytes(blocker, "x");
  ASSERT_TRUE(Receive("d", {blocker + "/a.txt", "b.txt", blocker + "/c.txt"}));
  EXPECT_EQ(ReadBytes(InDir() + "b.txt"), "d");
  EXPECT_EQ(ReadBytes(LocalFile(1)), "d");
  EXPECT_FALSE(Exists(LocalFile(2))) << "one transfer is kept once";
  EXPECT_EQ(lastStored_, InDir() + "b.txt") << "the last target written, not the last tried";
  EXPECT_FALSE(Exists(Temp()));
  EXPECT_EQ(acks_, 1);
}

TEST_F(FileStoreTest, LaterTargetNotReadyIsOnlySkipped) {
  opt_.FileName = "daten.dat";  // a bare name from the data lies beside it: never ready
  ASSERT_TRUE(Receive("d", {dir_.File("a.txt"), "b.txt"}));
  EXPECT_EQ(ReadBytes(dir_.File("a.txt")), "d");
  EXPECT_EQ(reporter_.Logs().back(), "Laufwerk ./b.txt: ist nicht bereit");
  EXPECT_FALSE(Exists(LocalDir()));
  EXPECT_EQ(acks_, 1);
}

}  // namespace
}  // namespace quillon::test
