// Command transfers through the running receiver: a terminal sends a file of "$...$" commands,
// gets its replies as transfers, and the port goes on receiving or closes on "$v24close".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/clock.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::Key;
using test::kS3;
using test::kS8;
using test::kWaitMs;
using test::ReadBytes;
using test::Station;
using test::WriteBytes;

TEST(ReceptionCommands, RepliesGoBackAndTheCommandFileIsNotStored) {
  Station s;
  WriteBytes(s.dir.File("info.txt"), "12345");
  WriteBytes(s.dir.File("cmd.txt"), "$fileinfo info.txt$\r\n");
  WriteBytes(s.dir.File("data.txt"), "nach dem Befehl\r\n");
  ASSERT_TRUE(
      s.Terminal(1, {"--send", "cmd.txt", "--receive", "reply.txt", "--then-send", "data.txt"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")}, {Key(kS8, "Protokolldatei"), "1"}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err() << s.receiver.out();
  ASSERT_TRUE(s.receiver.WaitForOutput("Daten in Datei", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);

  const std::string reply = ReadBytes(s.dir.File("reply.txt"));
  EXPECT_NE(reply.find(",5\r\n"), std::string::npos) << reply;
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "1QUILLON-SIM,data.txt\r\n+nach dem Befehl\r\n")
      << "only the data transfer is stored";
  const std::string log = s.receiver.out();
  EXPECT_NE(log.find("MDE-Befehl: Ermittle Informationen zur Datei"), std::string::npos) << log;
  EXPECT_NE(log.find("MDE-Kommando(s) korrekt ausgeführt"), std::string::npos) << log;
}

TEST(ReceptionCommands, HostileCommandsNeitherReachAShellNorStopThePort) {
  Station s;
  const std::string pwned = s.dir.File("pwned");
  WriteBytes(s.dir.File("cmd.txt"), "$exec x;touch " + pwned + "$\r\n$del ..$\r\n$fileinfo " +
                                        std::string(3000, 'a') + "$\r\n$del quillon.ini$\r\n");
  WriteBytes(s.dir.File("data.txt"), "weiter\r\n");
  ASSERT_TRUE(
      s.Terminal(1, {"--send", "cmd.txt", "--receive", "r1.txt", "--receive", "r2.txt", "--receive",
                     "r3.txt", "--receive", "r4.txt", "--then-send", "data.txt"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err() << s.receiver.out();
  ASSERT_TRUE(s.receiver.WaitForOutput("Daten in Datei", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_FALSE(std::filesystem::exists(pwned));
  EXPECT_TRUE(std::filesystem::exists(s.dir.path())) << "'..' deleted nothing";
  EXPECT_NE(ReadBytes(s.dir.File("r3.txt")).find("nicht gefunden$"), std::string::npos);
  EXPECT_NE(ReadBytes(s.dir.File("r4.txt")).find("quillon.ini nicht gefunden$"), std::string::npos)
      << "the settings file is not the terminal's to delete";
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "1QUILLON-SIM,data.txt\r\n+weiter\r\n");
}

TEST(ReceptionCommands, V24CloseEndsTheReceptionOfThatPortOnly) {
  Station s;
  WriteBytes(s.dir.File("close.txt"), "$v24close$\r\n");
  WriteBytes(s.dir.File("data.txt"), "daten\r\n");
  // After the close command nobody answers on COM1 any more: the terminal gives up quickly.
  ASSERT_TRUE(
      s.Terminal(1, {"--send", "close.txt", "--then-send", "data.txt", "--ack-timeout", "300",
                     "--final-timeout", "300", "--max-retries", "1", "--transfer-retries", "0"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("eins.dat")}});
  s.Port(2, {{Key(kS3, "Dateiname"), s.dir.File("zwei.dat")}});
  ASSERT_TRUE(s.Terminal(2, {"--send", "data.txt"}));
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_NE(s.TerminalDone(1), 0) << "the data after the close command is not taken";
  EXPECT_EQ(s.TerminalDone(2), 0) << s.sims[2]->err();
  ASSERT_TRUE(s.receiver.WaitForOutput("Schnittstelle wird geschlossen", kWaitMs))
      << s.receiver.out();
  const uint64_t until = Clock() + kWaitMs;
  while (Clock() < until && !std::filesystem::exists(s.dir.File("zwei.dat"))) Delay(50);
  EXPECT_EQ(ReadBytes(s.dir.File("zwei.dat")), "1QUILLON-SIM,data.txt\r\n+daten\r\n")
      << "the other port goes on";
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("eins.dat")));
  EXPECT_EQ(s.StopReceiver(), 0) << "the ended thread was joined";
}

}  // namespace
}  // namespace quillon
