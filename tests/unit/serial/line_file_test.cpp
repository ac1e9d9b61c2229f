#include "serial/line_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "common/clock.h"
#include "serial/exact_timer.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(LineFile, NewFileUnusedIsDeletedWrittenFileStays) {
  TempDir dir;
  const std::string unused = dir.File("unused.dat");
  { TOrvFile32 file(unused, false); }
  EXPECT_FALSE(std::filesystem::exists(unused)) << "an empty file goes with its object";

  const std::string used = dir.File("used.dat");
  {
    TOrvFile32 file(used, true);
    file.WriteLn("eins");
    file.Write("zwei");
    EXPECT_FALSE(file.ioError);
    EXPECT_EQ(file.linesWritten, 2);
    EXPECT_TRUE(file.Flush());
  }
  EXPECT_EQ(ReadBytes(used), "eins\r\nzwei");
  EXPECT_EQ(FileSizeOf(used), 10);
  EXPECT_EQ(FileSizeOf(dir.File("missing")), -1);
}

TEST(LineFile, ReadsLinesDroppingEveryCrAndBlocks) {
  TempDir dir;
  const std::string path = dir.File("in.txt");
  WriteBytes(path, std::string("A\rB\nline two\r\n\nlast"));
  TOrvFile32 file(path, false);
  EXPECT_EQ(file.sizeAtOpen, 19);
  EXPECT_EQ(file.ReadLn(), "AB");
  EXPECT_EQ(file.ReadLn(), "line two");
  EXPECT_EQ(file.ReadLn(), "");
  EXPECT_FALSE(file.Eof());
  EXPECT_EQ(file.ReadLn(), "last");
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.Seek(0, 0), 0);
  char c = 0;
  EXPECT_TRUE(file.ReadChar(c));
  EXPECT_EQ(c, 'A');
  char block[8];
  int count = 0;
  EXPECT_TRUE(file.ReadBlock(block, 7, count));
  EXPECT_EQ(count, 7);
  EXPECT_EQ(std::string(block), "\rB\nline");
  EXPECT_EQ(file.Seek(-4, 2), 15);
  EXPECT_EQ(file.ReadLn(), "last");
}

TEST(LineFile, ExclusiveAccessNeverDestroysAFileInUse) {
  TempDir dir;
  const std::string path = dir.File("busy.dat");
  TOrvFile32 first(path, true);
  first.Write("data");
  EXPECT_THROW(TOrvFile32(path, true), std::system_error);
  EXPECT_EQ(ReadBytes(path), "data") << "the refused second writer truncated nothing";
}

// The receive thread stores its transfer from the file it holds open, whatever became of the
// file's name meanwhile, and never deletes a file that took that name.
TEST(LineFile, AppendFromTheOpenFileAndItsNameGoneOrTaken) {
  TempDir dir;
  const std::string target = dir.File("target.dat");
  const std::string other = dir.File("other.dat");
  WriteBytes(target, "A\r\n");
  {
    TOrvFile32 source(other, true);
    source.CollectWrites();
    source.Write("B\r\n");
    EXPECT_TRUE(source.IsNamed(other));
    EXPECT_TRUE(source.Unlink());
    EXPECT_FALSE(source.IsNamed(other));
    TOrvFile32 file(target, false);
    EXPECT_TRUE(file.AppendFrom(source));
    EXPECT_FALSE(file.AppendFrom(file));
  }
  EXPECT_EQ(ReadBytes(target), "A\r\nB\r\n");
  EXPECT_FALSE(std::filesystem::exists(other));

  {
    TOrvFile32 empty(other, true);
    std::filesystem::remove(other);
    WriteBytes(other, "fremd");
    EXPECT_FALSE(empty.IsNamed(other));
    EXPECT_TRUE(empty.Unlink()) << "not ours any more";
  }
  EXPECT_EQ(ReadBytes(other), "fremd") << "an empty file's end deleted the file that took its name";
}

TEST(ExactTimer, MeasuresWhileRunning) {
  TExactTimer timer;
  timer.Start();
  Delay(20);
  const long double first = timer.Elapsed();
  EXPECT_GE(first, 19.0L);
  EXPECT_LT(first, 200.0L);
  EXPECT_EQ(timer.stopCount, -1) << "still running";
  EXPECT_GE(timer.Elapsed(), first);
}

}  // namespace
}  // namespace quillon
