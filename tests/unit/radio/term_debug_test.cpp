#include "radio/term_debug.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr size_t kStampLength = 19;  // "dd.mm.yyyy hh:nn:ss"

size_t FileCount(const TempDir& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++n;
  return n;
}

// The texts of the entries in a file, each with its stamp and the two blanks removed; an empty
// line stays empty.
std::vector<std::string> EntryTexts(const std::string& path) {
  std::vector<std::string> texts;
  const std::string bytes = ReadBytes(path);
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(pos, end - pos);
    texts.push_back(line.empty() ? line : line.substr(kStampLength + 2));
    pos = end + 2;
  }
  return texts;
}

TEST(TermDebugLog, LevelZeroWritesNothing) {
  TempDir dir;
  TTermDebugLog log(dir.path() + "/", 0);
  log.Write(5, "a", true);
  log.Stop();
  EXPECT_EQ(FileCount(dir), 0u);
}

TEST(TermDebugLog, EntriesReachTheirTerminalsFilesInOrder) {
  TempDir dir;
  WriteBytes(dir.File("Term005.Dat"), "01.01.2026 00:00:00  alt\r\n");
  TTermDebugLog log(dir.path() + "/", 1);
  std::vector<std::string> expected{"alt"};
  for (int i = 0; i < 200; ++i) {
    log.Write(5, "Zeile " + std::to_string(i), false);
    expected.push_back("Zeile " + std::to_string(i));
  }
  log.Write(0, "ohne ID", true);
  log.Write(1000, "falsche Nummer", false);
  log.Write(-1, "falsche Nummer", false);
  log.Stop();
  log.Write(5, "nach dem Ende", false);
  EXPECT_EQ(EntryTexts(dir.File("Term005.Dat")), expected);
  EXPECT_EQ(EntryTexts(dir.File("Term000.Dat")), (std::vector<std::string>{"ohne ID", ""}));
  EXPECT_EQ(FileCount(dir), 2u) << "numbers outside 0..999 form no file name";
}

TEST(TermDebugFiles, OversizedFilesOfTerminalsUpTo127) {
  TempDir dir;
  const std::vector<std::pair<const char*, off_t>> files = {
      {"Term012.Dat", 2 * 1048576},
      {"Term013.Dat", 1048576},  // exactly 1 MiB is not over it
      {"Term127.Dat", 1048577},
      {"Term128.Dat", 2 * 1048576},
  };
  for (const auto& [name, size] : files) {
    WriteBytes(dir.File(name), "");
    ASSERT_EQ(truncate(dir.File(name).c_str(), size), 0);
  }
  EXPECT_EQ(OversizedDebugFiles(dir.path() + "/"),
            (std::vector<std::string>{dir.File("Term012.Dat"), dir.File("Term127.Dat")}));
}

}  // namespace
}  // namespace quillon
