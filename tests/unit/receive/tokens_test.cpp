#include "receive/tokens.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct TokenCase {
  std::string data;
  std::string expanded;
  std::array<const char*, 3> targets;
};

TEST(Tokens, ExpandsRepeatsAndTakesFileNames) {
  const TokenCase cases[] = {
      {"AB$3*41$C", "ABAAAC", {"", "", ""}},
      {"$file d:/x.txt|d:/y.txt$", "", {"d:/x.txt", "d:/y.txt", ""}},
      {"$FILE a|b|c|d$rest", "rest", {"a", "b", "c|d"}},
      {"x$fileinfo a.txt$y", "x$fileinfo a.txt$y", {"", "", ""}},
      {"$exec notepad.exe$", "$exec notepad.exe$", {"", "", ""}},
      {"a$b$3*41$", "a$bAAA", {"", "", ""}},
      {"$0*41$x", "x", {"", "", ""}},
      {"$*41$x", "x", {"", "", ""}},
      {"$2*$x", std::string("\0\0x", 3), {"", "", ""}},
      {"$zz*41$x", "x", {"", "", ""}},
      {"unclosed $3*41", "unclosed $3*41", {"", "", ""}},
      {"$FFFFFFFFF*41$", "", {"", "", ""}},
  };
  for (const auto& c : cases) {
    std::array<std::string, 3> targets;
    EXPECT_EQ(ExpandTokens(c.data, targets), c.expanded) << c.data;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(targets[i], c.targets[i]) << c.data << " #" << i;
  }
}

// A record may grow to 1 MiB by its repeat tokens and no further, however the growth is spread.
TEST(Tokens, ExpansionIsBoundedPerRecord) {
  std::array<std::string, 3> targets;
  EXPECT_EQ(ExpandTokens("x$FFFFF*41$", targets)->size(), kMaxRecordBytes);
  EXPECT_EQ(ExpandTokens("xy$FFFFF*41$", targets), std::nullopt);
  EXPECT_EQ(ExpandTokens("$FFFFFFF*41$", targets), std::nullopt) << "one huge token";
  std::string block;
  while (block.size() + 9 <= 255) block += "$FFFF*41$";  // each well below the bound
  EXPECT_EQ(ExpandTokens(block, targets), std::nullopt) << "a whole block of them";
}

}  // namespace
}  // namespace quillon
