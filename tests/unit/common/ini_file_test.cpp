#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "common/encoding.h"
#include "common/file_io.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniDocument, LookupIgnoresCaseBlanksAndComments) {
  const auto doc = IniDocument::Parse(
      "; comment\r\n[Alpha]\r\n  Key One = value 1  \r\n;Key Two=hidden\r\nnoequals\r\n"
      "quoted=\"a b\"\r\n[BETA]\r\nx=2\r\n");
  EXPECT_EQ(doc.Get("alpha", "KEY ONE").value_or("?"), "value 1");
  EXPECT_FALSE(doc.Get("Alpha", "Key Two").has_value()) << "commented-out key";
  EXPECT_FALSE(doc.Get("Alpha", "noequals").has_value());
  EXPECT_EQ(doc.Get("Alpha", "quoted").value_or("?"), "a b") << "enclosing quotes removed";
  EXPECT_EQ(doc.Get("beta", "X").value_or("?"), "2");
  EXPECT_FALSE(doc.Get("Gamma", "x").has_value());
  EXPECT_EQ(doc.SectionLines("ALPHA"),
            (std::vector<std::string>{"Key One=value 1", "quoted=\"a b\""}));
  EXPECT_EQ(doc.SectionKeys("alpha"), (std::vector<std::string>{"Key One", "quoted"}));
}

TEST(IniDocument, FirstOfRepeatedSectionOrKeyWins) {
  auto doc = IniDocument::Parse("[S]\nk=1\nk=2\n[s]\nk=3\nother=4\n");
  EXPECT_EQ(doc.Get("S", "k").value_or("?"), "1");
  EXPECT_FALSE(doc.Get("S", "other").has_value()) << "the second section is not merged";
  doc.Set("S", "k", "9");
  EXPECT_EQ(doc.Serialize(), "[S]\nk=9\nk=2\n[s]\nk=3\nother=4\n");
  EXPECT_TRUE(doc.EraseSection("S"));
  EXPECT_EQ(doc.Serialize(), "") << "every copy of an erased section goes";
}

TEST(IniDocument, SetKeepsEverythingElseByteForByte) {
  const std::string original =
      "; kept comment\r\n[Unknown]\r\nfoo = bar\r\n\r\n[Sec]\r\nA=1\r\n; inner\r\nB = 2\r\n\r\n"
      "[Tail]\nlast=x";
  auto doc = IniDocument::Parse(original);
  doc.Set("sec", "a", "1");  // same value
  EXPECT_EQ(doc.Serialize(), original) << "an unchanged value rewrites nothing";
  doc.Set("Sec", "b", "3");
  doc.Set("Sec", "C", "new");
  doc.Set("Tail", "more", "y");
  doc.Set("New Section", "k", "v");
  EXPECT_EQ(doc.Serialize(),
            "; kept comment\r\n[Unknown]\r\nfoo = bar\r\n\r\n[Sec]\r\nA=1\r\n; inner\r\nB =3\r\n"
            "C=new\r\n\r\n[Tail]\nlast=x\r\nmore=y\r\n\r\n[New Section]\r\nk=v\r\n");
}

TEST(IniDocument, ClearedSectionKeepsItsPlaceAndValuesStayOneLine) {
  auto doc = IniDocument::Parse(
      "[A]\r\nx=1\r\n[Poll]\r\nold1=a\r\n;c\r\nold2=b\r\n\r\n"
      "[B]\r\ny=2\r\n[poll]\r\nold3=c\r\n");
  doc.ClearSection("POLL");
  doc.Set("Poll", "new", "line1\r\nline2\nevil=1");
  EXPECT_EQ(doc.Serialize(),
            "[A]\r\nx=1\r\n[Poll]\r\nnew=line1  line2 evil=1\r\n\r\n[B]\r\ny=2\r\n");
  doc.ClearSection("Missing");
  EXPECT_FALSE(doc.HasSection("Missing"));
}

TEST(IniDocument, EncodingIsDetectedAndKept) {
  // Windows-1252: "Parität" with 0xE4, and a Latin-1 key name matched in any case.
  const std::string cp1252 = "[Schnittstellenparameter f\xFCr COM1:]\r\nParit\xE4t=0\r\n";
  auto doc = IniDocument::Parse(cp1252);
  EXPECT_EQ(doc.encoding(), TextEncoding::Cp1252);
  EXPECT_EQ(doc.Get("Schnittstellenparameter für COM1:", "PARITÄT").value_or("?"), "0");
  doc.Set("Schnittstellenparameter für COM1:", "Parität", "2");
  doc.Set("Schnittstellenparameter für COM1:", "Geräteadresse 1", "äöü");
  EXPECT_EQ(doc.Serialize(),
            "[Schnittstellenparameter f\xFCr COM1:]\r\nParit\xE4t=2\r\n"
            "Ger\xE4teadresse 1=\xE4\xF6\xFC\r\n");

  const std::string utf8 = "[Schnittstellenparameter für COM1:]\nParität=1\n";
  auto edited = IniDocument::Parse(utf8);
  EXPECT_EQ(edited.encoding(), TextEncoding::Utf8);
  EXPECT_EQ(edited.Get("Schnittstellenparameter für COM1:", "Parität").value_or("?"), "1");
  edited.Set("Schnittstellenparameter für COM1:", "Parität", "€");
  EXPECT_EQ(edited.Serialize(), "[Schnittstellenparameter für COM1:]\nParität=€\n");
}

TEST(IniDocument, SurvivesBinaryGarbage) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  garbage += "\n[S]\nk=v\n[\n=\n]]]\n[S2\nx=1";
  auto doc = IniDocument::Parse(garbage);
  EXPECT_EQ(doc.Get("S", "k").value_or("?"), "v");
  EXPECT_EQ(doc.Get("S2", "x").value_or("?"), "1") << "an unclosed header still names a section";
  EXPECT_EQ(doc.Serialize(), garbage) << "the bytes round-trip";
}

TEST(ParseInt, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseInt("42"), 42);
  EXPECT_EQ(ParseInt(" -1 "), -1);
  EXPECT_EQ(ParseInt("+7"), 7);
  EXPECT_EQ(ParseInt("0x1F"), 31);
  EXPECT_EQ(ParseInt("2147483647"), 2147483647);
  EXPECT_FALSE(ParseInt("2147483648")) << "overflow";
  EXPECT_FALSE(ParseInt("99999999999999999999999"));
  EXPECT_FALSE(ParseInt(""));
  EXPECT_FALSE(ParseInt("12abc"));
  EXPECT_FALSE(ParseInt("-"));
}

TEST(IniFile, MissingFileReadsAsEmptyAndFirstWriteCreatesIt) {
  TempDir dir;
  const IniFile ini(dir.File("new.ini"));
  EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("S", "k", -1), -1);
  EXPECT_TRUE(ini.ReadSectionLines("S").empty());
  ASSERT_TRUE(ini.WriteString("Einstellungen", "Paßwort", "geheim"));
  ASSERT_TRUE(ini.WriteInteger("Einstellungen", "Zahl", -5));
  EXPECT_EQ(ReadBytes(ini.path()), "[Einstellungen]\r\nPa\xDFwort=geheim\r\nZahl=-5\r\n")
      << "a new file is Windows-1252 with CR LF";
  EXPECT_EQ(ini.ReadInteger("einstellungen", "zahl", 0), -5);
  EXPECT_TRUE(ini.ReadBool("Einstellungen", "Zahl", false));
  ASSERT_TRUE(ini.EraseSection("EINSTELLUNGEN"));
  EXPECT_EQ(ReadBytes(ini.path()), "");
}

TEST(IniFile, ReadOnlyFileOrDirectoryRefusesWritesAndKeepsContent) {
  TempDir dir;
  const std::string path = dir.File("ro.ini");
  WriteBytes(path, "[S]\r\nk=1\r\n");
  chmod(path.c_str(), 0444);
  const IniFile ini(path);
  EXPECT_FALSE(ini.WriteString("S", "k", "2"));
  EXPECT_FALSE(ini.EraseSection("S"));
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=1\r\n");

  const std::string roDir = dir.File("ro");
  mkdir(roDir.c_str(), 0555);
  EXPECT_FALSE(IniFile(roDir + "/x.ini").WriteString("S", "k", "1"));
}

TEST(IniFile, FailedWriteLeavesOldFileWhole) {
  TempDir dir;
  const std::string path = dir.File("big.ini");
  const std::string original = "[S]\r\nk=1\r\n";
  WriteBytes(path, original);
  // A file-size limit makes every larger write fail the way a full disk does.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = IniFile(path).WriteString("S", "k", std::string(1000, 'x'));
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(path), original);
  int leftovers = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    leftovers += e.path().filename() != "big.ini";
  }
  EXPECT_EQ(leftovers, 0) << "no temporary file stays behind";
}

TEST(IniFile, WriteKeepsPermissionsAndFollowsSymlink) {
  TempDir dir;
  const std::string target = dir.File("real.ini");
  WriteBytes(target, "[S]\nk=1\n");
  chmod(target.c_str(), 0640);
  const std::string link = dir.File("link.ini");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(IniFile(link).WriteString("S", "k", "2"));
  EXPECT_EQ(ReadBytes(target), "[S]\nk=2\n");
  struct stat st {};
  lstat(link.c_str(), &st);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
  stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Runs `work` on a thread of its own and waits for its end, at most `limit`: a read that blocks
// (a FIFO without a writer) leaves its thread behind instead of hanging the test.
std::optional<std::string> RunBounded(std::function<std::string()> work,
                                      std::chrono::seconds limit = std::chrono::seconds(20)) {
  std::packaged_task<std::string()> task(std::move(work));
  auto result = task.get_future();
  std::thread(std::move(task)).detach();
  if (result.wait_for(limit) != std::future_status::ready) return std::nullopt;
  return result.get();
}

// What may stand where a settings file should be. Each is read as empty at once and reported
// as unreadable (not as missing); a write through IniFile replaces none of them, and neither
// does a direct atomic write replace what is not a regular file.
TEST(IniFile, NameThatIsNoReadableFileReadsEmptyAndIsNeverReplaced) {
  TempDir dir;
  struct Case {
    std::string name;
    std::function<void(const std::string&)> make;
    int readError;
  };
  const std::vector<Case> cases = {
      {"loop.ini",
       [](const std::string& p) {
         ASSERT_EQ(symlink((p + ".b").c_str(), p.c_str()), 0);
         ASSERT_EQ(symlink(p.c_str(), (p + ".b").c_str()), 0);
       },
       ELOOP},
      {"fifo.ini", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, EINVAL},
      {"zero.ini", [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
       EINVAL},
      {"sparse.ini",
       [](const std::string& p) {
         WriteBytes(p, "[S]\r\nk=1\r\n");
         ASSERT_EQ(truncate(p.c_str(), off_t{17} << 20), 0);
       },
       EFBIG},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    c.make(path);
    struct stat before {};
    ASSERT_EQ(lstat(path.c_str(), &before), 0) << c.name;
    const bool regular = c.readError == EFBIG;
    const auto outcome = RunBounded([path, regular] {
      const IniFile ini(path);
      std::string seen = ini.ReadString("S", "k", "leer");
      seen += " " + std::to_string(ini.Load().readError());
      if (ini.WriteString("S", "k", "2")) seen += " geschrieben";
      if (!regular && WriteFileAtomically(path, "x")) seen += " ersetzt";
      return seen;
    });
    EXPECT_EQ(outcome.value_or("blockiert"), "leer " + std::to_string(c.readError)) << c.name;
    struct stat after {};
    ASSERT_EQ(lstat(path.c_str(), &after), 0) << c.name;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
    EXPECT_EQ(after.st_size, before.st_size) << c.name;
  }
}

TEST(Encoding, Cp1252RoundTripAndFolding) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80\xE4"), "€ä");
  EXPECT_EQ(Utf8ToCp1252("漢"), "?");
  EXPECT_TRUE(EqualsNoCase("GERÄTEADRESSE", "Geräteadresse"));
  EXPECT_FALSE(EqualsNoCase("Paßwort", "Passwort"));
  EXPECT_TRUE(IsValidUtf8("ä€"));
  EXPECT_FALSE(IsValidUtf8("\xE4"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80")) << "overlong";
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
}

}  // namespace
}  // namespace quillon
