#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "common/paths.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteBytes;

// Fresh settings with recognisable values, so that changes and non-changes show.
std::unique_ptr<AppContext> LoadedApp() {
  auto app = std::make_unique<AppContext>();
  for (int n = 1; n <= kPortCount; ++n) {
    auto& opt = app->PortSettings[n];
    opt.Baudrate = 4800;
    opt.DataBits = 7;
    opt.Parity = 2;
    opt.StopBits = 2;
  }
  return app;
}

TEST(CommandLine, PortOptionsApplyToTheSelectedPortOnly) {
  auto app = LoadedApp();
  CommandLine cl(*app);
  const auto result = cl.Apply({"/com3 b:9600 f:8N1", "/COM5 B:115200 F:7e2"});
  ASSERT_TRUE(result.ok) << result.message;
  const auto& com3 = app->PortSettings[3];
  EXPECT_EQ(com3.Baudrate, 9600);
  EXPECT_EQ(com3.DataBits, 8);
  EXPECT_EQ(com3.Parity, 0);
  EXPECT_EQ(com3.StopBits, 1);
  const auto& com5 = app->PortSettings[5];
  EXPECT_EQ(com5.Baudrate, 115200) << "option words in any case";
  EXPECT_EQ(com5.Parity, 2);
  EXPECT_EQ(app->PortSettings[4].Baudrate, 4800) << "other ports untouched";
}

TEST(CommandLine, SwitchesAndIgnoredArguments) {
  auto app = LoadedApp();
  CommandLine cl(*app);
  const auto result =
      cl.Apply({"/autostart /notest", "; b:1 anything", "/inic:/somewhere", "/dir/tmp/x", ""});
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(app->GlobalApp.Autostart);
  EXPECT_FALSE(app->GlobalApp.TestPorts);
  EXPECT_FALSE(cl.headless());
  EXPECT_TRUE(HasHeadlessSwitch({"/com1", "/autostart /HEADLESS"}));
  EXPECT_FALSE(HasHeadlessSwitch({"; /headless"}));
}

struct ErrorCase {
  const char* arg;
  const char* message;
  bool endsProgram;
};

TEST(CommandLine, ErrorsNameArgumentAndOption) {
  const ErrorCase cases[] = {
      {"/com9", "Fehler in Parameterzeile /com9\rParameter /com ist fehlerhaft !", true},
      {"/com0", "Fehler in Parameterzeile /com0\rParameter /com ist fehlerhaft !", true},
      {"/com12 b:9600", "Fehler in Parameterzeile /com12 b:9600\rParameter /com ist fehlerhaft !",
       true},
      {"/comx", "Fehler in Parameterzeile /comx\rParameter /com ist fehlerhaft !", false},
      {"/com", "Fehler in Parameterzeile /com\rParameter /com ist fehlerhaft !", false},
      {"/com3 f:8X1", "Fehler in Parameterzeile /com3 f:8X1\rParameter f: ist fehlerhaft !", true},
      {"/com3 f:9N1", "Fehler in Parameterzeile /com3 f:9N1\rParameter f: ist fehlerhaft !", true},
      {"/com3 f:8N", "Fehler in Parameterzeile /com3 f:8N\rParameter f: ist fehlerhaft !", true},
      {"/com3 b:96OO", "Fehler in Parameterzeile /com3 b:96OO\rParameter b: ist fehlerhaft !",
       true},
      {"/com3 b:", "Fehler in Parameterzeile /com3 b:\rParameter b: ist fehlerhaft !", true},
      {"/com3 b:12345", "Fehler in Parameterzeile /com3 b:12345\rParameter b: ist fehlerhaft !",
       true},
      {"b:19200", "Fehler in Parameterzeile b:19200\rParameter b:19200 ist fehlerhaft !", false},
      {"/com2 b:9600 quatsch mehr",
       "Fehler in Parameterzeile /com2 b:9600 quatsch mehr\rParameter quatsch ist fehlerhaft !",
       false},
      {"/com2 tx:/no/such/file",
       "Fehler in Parameterzeile /com2 tx:/no/such/file\rDatei /no/such/file nicht gefunden !",
       true},
  };
  for (const auto& c : cases) {
    auto app = LoadedApp();
    const auto result = CommandLine(*app).Apply({c.arg});
    EXPECT_FALSE(result.ok) << c.arg;
    EXPECT_EQ(result.message, c.message) << c.arg;
    EXPECT_EQ(result.endProgram, c.endsProgram) << c.arg;
  }
}

TEST(CommandLine, FatalErrorAppliesNothingOfItsArgument) {
  auto app = LoadedApp();
  const auto result = CommandLine(*app).Apply({"/com2 b:19200", "/autostart /com3 b:9600 f:8X1"});
  ASSERT_TRUE(result.endProgram);
  EXPECT_EQ(app->PortSettings[2].Baudrate, 19200) << "earlier arguments stay applied";
  EXPECT_EQ(app->PortSettings[3].Baudrate, 4800);
  EXPECT_FALSE(app->GlobalApp.Autostart);
}

TEST(CommandLine, LeftOverTextKeepsWhatCameBeforeAndStopsParsing) {
  auto app = LoadedApp();
  const auto result = CommandLine(*app).Apply({"/com2 b:19200 oops", "/com4 b:300"});
  ASSERT_FALSE(result.ok);
  EXPECT_FALSE(result.endProgram);
  EXPECT_EQ(app->PortSettings[2].Baudrate, 19200);
  EXPECT_EQ(app->PortSettings[4].Baudrate, 4800) << "parsing stops at the first error";
}

TEST(CommandLine, OptionFileAndSendFile) {
  TempDir dir;
  const std::string data = dir.File("daten.txt");
  WriteBytes(data, "x");
  const std::string options = dir.File("opts.txt");
  WriteBytes(options, "; Kommentar /com9\r\n/com1 b:57600 tx:" + data + "\r\n\r\n/autostart\n");
  auto app = LoadedApp();
  const auto result = CommandLine(*app).Apply({"@" + options});
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(app->PortSettings[1].Baudrate, 57600);
  EXPECT_EQ(app->PortSettings[1].StartSendFile, data);
  EXPECT_EQ(app->PortSettings[1].StartSendMode, 1);
  EXPECT_TRUE(app->GlobalApp.Autostart);

  WriteBytes(options, "/autostart\n/com3 f:8X1\n");
  auto app2 = LoadedApp();
  const auto bad = CommandLine(*app2).Apply({"@" + options});
  EXPECT_TRUE(bad.endProgram);
  EXPECT_EQ(bad.message, "Fehler in Parameterzeile /com3 f:8X1\rParameter f: ist fehlerhaft !")
      << "a line of the file is named as the argument";

  const auto missing = CommandLine(*app2).Apply({"@nicht-da.txt"});
  EXPECT_TRUE(missing.endProgram);
  EXPECT_EQ(missing.message, "Fehler in Parameterzeile @nicht-da.txt\rDatei " +
                                 AbsolutePath("nicht-da.txt") + " nicht gefunden !");
}

TEST(CommandLine, SelfIncludingOptionFileEnds) {
  TempDir dir;
  const std::string options = dir.File("loop.txt");
  WriteBytes(options, "@" + options + "\n");
  auto app = LoadedApp();
  const auto result = CommandLine(*app).Apply({"@" + options});
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.endProgram);
}

}  // namespace
}  // namespace quillon
