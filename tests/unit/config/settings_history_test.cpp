// The single values outside a port's load and save: enable flags, setup password and the two
// history values.
#include "settings_fixture.h"

namespace quillon::test {
namespace {

TEST_F(SettingsTest, ActiveFlagsAreReadAsBooleans) {
  const std::vector<std::pair<int, std::string>> stored = {
      {1, "1"}, {2, "0"}, {3, "-1"}, {4, "abc"}, {6, "7"}};
  for (const auto& [n, value] : stored) {
    Set("Schnittstellenparameter für COM" + std::to_string(n) + ":", "Aktiviert", value);
  }
  EXPECT_EQ(store_.ReadPortActiveFlags(), 3);
  const bool expected[] = {false, true, false, true, false, false, true, false, false};
  for (int n = 1; n <= kPortCount; ++n) {
    EXPECT_EQ(app_.GlobalApp.PortActive[n], expected[n]) << "COM" << n;
  }
}

TEST_F(SettingsTest, HistoryValuesRoundTrip) {
  EXPECT_EQ(store_.ReadSetupPassword(), "");
  ASSERT_TRUE(store_.WriteSetupPassword("Würde"));
  EXPECT_EQ(Get("Einstellungen", "Paßwort"), "Würde");
  EXPECT_EQ(store_.ReadSetupPassword(), "Würde");

  const LastSendFile none = store_.ReadLastSendFile();
  EXPECT_EQ(none.File + "|" + std::to_string(none.PortIndex) + std::to_string(none.ProtocolIndex),
            "|00");
  ASSERT_TRUE(store_.WriteLastSendFile({"/daten/auftrag.txt", 2, 3}));
  EXPECT_EQ(Get("History", "Letzte Sendedatei"), "/daten/auftrag.txt|2|3");
  EXPECT_EQ(store_.ReadLastSendFile().ProtocolIndex, 3);

  const std::vector<std::pair<std::string, std::string>> extLogs = {
      {"", "-1 0.0.0"},
      {"4|07.03.2024", "4 7.3.2024"},
      {"4|31.02.2024", "4 0.0.0"},
      {"x|07.03.2024", "-1 0.0.0"},
  };
  for (const auto& [stored, expected] : extLogs) {
    Set("Einstellungen", "Letzte externe Protokolldatei", stored);
    const LastExtLog last = store_.ReadLastExtLog();
    EXPECT_EQ(std::to_string(last.Index) + " " + std::to_string(last.Date.day) + "." +
                  std::to_string(last.Date.month) + "." + std::to_string(last.Date.year),
              expected)
        << stored;
  }
  ASSERT_TRUE(store_.WriteLastExtLog(5, {2024, 3, 7}));
  EXPECT_EQ(Get("Einstellungen", "Letzte externe Protokolldatei"), "5|07.03.2024");
  ASSERT_TRUE(store_.WriteLastExtLog(-1, {2024, 3, 7}));
  EXPECT_EQ(Get("Einstellungen", "Letzte externe Protokolldatei"), "");
}

}  // namespace
}  // namespace quillon::test
