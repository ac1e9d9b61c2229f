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

TEST(Tokens, HugeRepeatCountIsBounded) {
  std::array<std::string, 3> targets;
  EXPECT_LE(ExpandTokens("$FFFFFFF*41$", targets).size(), 65536u);
}

}  // namespace
}  // namespace quillon
