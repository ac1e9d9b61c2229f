// The text rules of the modem dialogue and the way a port's settings become its modem lists
// and its password list.
#include "receive/modem_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/modem_text.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using Items = std::vector<std::string>;

TEST(ModemText, SplitAtTheMarker) {
  const struct {
    const char* text;
    Items items;
  } cases[] = {
      {"", {}},
      {"AT&F^MATS0=1", {"AT&F", "ATS0=1"}},
      {"ATZ", {"ATZ"}},
      {"^M", {""}},
      {"^MA", {"", "A"}},
      {"A^M", {"A"}},
      {"A^M^MB", {"A", "", "B"}},
      {"A^mB", {"A^mB"}},
      {"A^", {"A^"}},
      {"^^MM", {"^", "M"}},
      {"+++~~~ATH0", {"+++~~~ATH0"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitModemText(c.text), c.items) << '"' << c.text << '"';
  }
}

TEST(ModemText, CleaningAndLookUps) {
  EXPECT_EQ(CleanModemLine("\r\n OK \r"), "OK");
  EXPECT_EQ(CleanModemLine("\x01\xff"
                           "CONNECT 9600\x80\t"),
            "CONNECT 9600");
  EXPECT_EQ(CleanModemLine("NO  CARRIER"), "NO  CARRIER") << "blanks inside stay";
  EXPECT_EQ(CleanModemLine(" \r\n"), "");
  EXPECT_TRUE(InModemList({"OK"}, "ok"));
  EXPECT_TRUE(InModemList({"RING", "KLINGEL"}, "Klingel"));
  EXPECT_FALSE(InModemList({"OK"}, "OK "));
  EXPECT_FALSE(InModemList({"OK"}, "OKAY")) << "whole strings only";
  EXPECT_FALSE(InModemList({}, ""));
  EXPECT_EQ(FirstWord("CONNECT 9600/ARQ"), "CONNECT");
  EXPECT_EQ(FirstWord("CARRIER"), "CARRIER");
}

TEST(ModemSettings, SettersAppendToTheLists) {
  TOrvComm port;
  EXPECT_EQ(port.okStrings, Items{"OK"});
  EXPECT_EQ(port.connectStrings, (Items{"CONNECT", "CARRIER"}));
  EXPECT_EQ(port.answerStrings, Items{"ATA"});
  EXPECT_EQ(port.hangUpString, "+++~~~ATH0");
  port.SetOkStrings("0^MFERTIG");
  EXPECT_EQ(port.okStrings, (Items{"OK", "0", "FERTIG"}));
  port.SetRingStrings("");
  EXPECT_EQ(port.ringStrings, Items{"RING"}) << "an empty text appends nothing";
  port.ClearRingStrings();
  port.SetRingStrings("2");
  EXPECT_EQ(port.ringStrings, Items{"2"});
}

TEST(ModemSettings, EmptySettingsKeepTheDefaultsButEmptyTheInitAndAnswerLists) {
  TOrvComm port;
  port.initStrings = {"ALT"};
  TQuillonOpt opt;
  ApplyModemSettings(port, opt, false);
  EXPECT_EQ(port.initStrings, Items{});
  EXPECT_EQ(port.ringStrings, Items{"RING"});
  EXPECT_EQ(port.connectStrings, (Items{"CONNECT", "CARRIER"}));
  EXPECT_EQ(port.okStrings, Items{"OK"});
  EXPECT_EQ(port.answerStrings, Items{}) << "the answer list is always emptied";
  EXPECT_EQ(port.hangUpString, "+++~~~ATH0");
  EXPECT_EQ(port.connectionId, "");
  EXPECT_EQ(port.failureStrings.size(), 7u) << "the failure list has no setting";
}

TEST(ModemSettings, NonEmptySettingsReplaceTheLists) {
  TOrvComm port;
  port.initStrings = {"ALT"};
  TQuillonOpt opt;
  opt.ModemInit = "AT&F^MATS0=0";
  opt.ModemRing = "RING^MKLINGEL";
  opt.ModemConnect = "CONNECT";
  opt.ModemOk = "OK^M0";
  opt.ModemAnswer = "ATA";
  opt.ModemHangup = "~~ATH";
  ApplyModemSettings(port, opt, true);
  EXPECT_EQ(port.initStrings, (Items{"AT&F", "ATS0=0"}));
  EXPECT_EQ(port.ringStrings, (Items{"RING", "KLINGEL"}));
  EXPECT_EQ(port.connectStrings, Items{"CONNECT"});
  EXPECT_EQ(port.okStrings, (Items{"OK", "0"}));
  EXPECT_EQ(port.answerStrings, Items{"ATA"});
  EXPECT_EQ(port.hangUpString, "~~ATH");
  EXPECT_EQ(port.connectionId, "BEREIT\r");

  ApplyModemSettings(port, opt, false);
  EXPECT_EQ(port.initStrings, (Items{"AT&F", "ATS0=0"})) << "applied twice: replaced, not doubled";
  EXPECT_EQ(port.okStrings, (Items{"OK", "0"}));
  EXPECT_EQ(port.answerStrings, Items{"ATA"});
}

TEST(ModemSettings, PasswordListFileFirstThenTheInternalList) {
  test::TempDir dir;
  const std::string file = dir.File("passwoerter.txt");
  // Windows-1252: 0xFC is "ü".
  test::WriteBytes(file, "eins\r\n\r\nM\xFCller\r\n  \r\nzwei\nletzte");
  TQuillonOpt opt;
  opt.ModemPasswordFile = file;
  opt.ModemPasswords = {"intern1", "intern2"};
  EXPECT_EQ(ModemPasswordList(opt), Items{}) << "neither source switched on";
  opt.UseModemPasswords = true;
  EXPECT_EQ(ModemPasswordList(opt), (Items{"intern1", "intern2"}));
  opt.UseModemPasswordFile = true;
  EXPECT_EQ(ModemPasswordList(opt),
            (Items{"eins", "M\xC3\xBCller", "  ", "zwei", "letzte", "intern1", "intern2"}));
  opt.UseModemPasswords = false;
  EXPECT_EQ(ModemPasswordList(opt), (Items{"eins", "M\xC3\xBCller", "  ", "zwei", "letzte"}));
  test::WriteBytes(file,
                   "gr\xC3\xBC\xC3\x9F"
                   "e\r\n");
  EXPECT_EQ(ModemPasswordList(opt), Items{"gr\xC3\xBC\xC3\x9F"
                                          "e"})
      << "a UTF-8 file stays UTF-8";
  opt.ModemPasswordFile = dir.File("fehlt.txt");
  opt.UseModemPasswords = true;
  EXPECT_EQ(ModemPasswordList(opt), (Items{"intern1", "intern2"})) << "a missing file adds none";
}

}  // namespace
}  // namespace quillon
