#include "radio/sat_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quillon {
namespace {

// "-0-" is the only way to address 0; numbers are 1..100 with nothing around them.
TEST(SatSearch, NewAddressAnswers) {
  const struct {
    const char* answer;
    std::optional<int> address;
  } cases[] = {
      {"-0-", 0},
      {"0", std::nullopt},
      {"1", 1},
      {"100", 100},
      {"101", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"7x", std::nullopt},
      {"-5", std::nullopt},
      {"-0", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSatelliteAddress(c.answer), c.address) << '"' << c.answer << '"';
  }
}

}  // namespace
}  // namespace quillon
