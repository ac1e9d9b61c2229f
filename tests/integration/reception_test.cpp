// The receiver as a user runs it (`quillon /headless`), with the terminal simulator on
// pseudo-terminal lines: what ends up in the target files, the local store and the logbook.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "receive/com_thread.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/recording_sink.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::Key;
using test::kS2;
using test::kS3;
using test::kS4;
using test::kS5;
using test::kS6;
using test::kS8;
using test::kWaitMs;
using test::ReadBytes;
using test::Station;
using test::TempDir;
using test::WriteBytes;

TEST(Reception, RecordEndsHeaderAndTypeCharacterOnFourPorts) {
  Station s;
  WriteBytes(s.dir.File("zwei.txt"), "eins\r\nzwei\r\n");
  struct Expect {
    int saveFormat;
    bool header;
    bool typeChar;
    std::string bytes;
  };
  const Expect cases[] = {
      {0, true, true, "1KOPF\r\n+eins\r\n+zwei\r\n"},
      {1, false, true, "+eins\n+zwei\n"},
      {2, true, false, "KOPF\reins\rzwei\r"},
      {3, false, false, "eins\nzwei\n"},
  };
  for (int port = 1; port <= 4; ++port) {
    const Expect& e = cases[port - 1];
    ASSERT_TRUE(s.Terminal(port, {"--send", "zwei.txt", "--header", "KOPF"}));
    s.Port(port, {{Key(kS3, "Dateiname"), s.dir.File("ziel" + std::to_string(port) + ".dat")},
                  {Key(kS8, "Datens\xE4tze mit CR/LF"), std::to_string(e.saveFormat)},
                  {Key(kS2, "Header"), e.header ? "1" : "0"},
                  {Key(kS2, "Typzeichen"), e.typeChar ? "1" : "0"}});
  }
  ASSERT_TRUE(s.StartReceiver());
  for (int port = 1; port <= 4; ++port) {
    EXPECT_EQ(s.TerminalDone(port), 0) << "COM" << port << ": " << s.sims[port]->err();
  }
  EXPECT_EQ(s.StopReceiver(), 0) << s.receiver.err();
  for (int port = 1; port <= 4; ++port) {
    EXPECT_EQ(ReadBytes(s.dir.File("ziel" + std::to_string(port) + ".dat")), cases[port - 1].bytes)
        << "COM" << port;
  }
  EXPECT_NE(s.receiver.out().find("(com1:) Daten in Datei"), std::string::npos) << s.receiver.out();
  EXPECT_TRUE(std::filesystem::exists(s.dir.File("quillon_com1.log")));
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("rxtmp1.dat")));
}

TEST(Reception, TokensTargetNamesAndSequentialFiles) {
  Station s;
  WriteBytes(s.dir.File("tok.txt"), "A$3*42$C\r\n$file " + s.dir.File("eigen.dat") + "$\r\nX\r\n");
  WriteBytes(s.dir.File("seq.txt"), "S\r\n");
  // A target name that is the receiver's own settings file, by a relative detour.
  const std::string dirName = std::filesystem::path(s.dir.File("x")).parent_path().filename();
  WriteBytes(s.dir.File("ini.txt"), "$file ../" + dirName + "/quillon.ini$\r\nI\r\n");
  ASSERT_TRUE(s.Terminal(1, {"--send", "tok.txt"}));
  ASSERT_TRUE(s.Terminal(2, {"--send", "seq.txt", "--transfers", "3"}));
  ASSERT_TRUE(s.Terminal(3, {"--send", "ini.txt"}));
  s.Port(3, {{Key(kS3, "Dateiname"), s.dir.File("t3.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("t1.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  s.Port(2, {{Key(kS3, "Dateiname"), s.dir.File("seq/d%lfd.dat")},
             {Key(kS3, "Dateimodus"), "2"},
             {Key(kS3, "Stellenanzahl fortlfd. Nr."), "3"},
             {Key(kS3, "Erste fortlfd. Nr."), "1"},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err();
  EXPECT_EQ(s.TerminalDone(2), 0) << s.sims[2]->err();
  EXPECT_EQ(s.TerminalDone(3), 0) << s.sims[3]->err();
  const std::string settingsBefore = ReadBytes(s.dir.File("quillon.ini"));
  EXPECT_EQ(s.StopReceiver(), 0);
  // Kept locally, and moved on to the template by the next wait.
  EXPECT_EQ(ReadBytes(s.dir.File("Temp. Daten von COM3/Daten(00001).dat")) +
                ReadBytes(s.dir.File("t3.dat")),
            "I\r\n")
      << "never written into the settings file";
  EXPECT_EQ(settingsBefore.find("I\r\n"), std::string::npos);
  EXPECT_EQ(ReadBytes(s.dir.File("eigen.dat")), "ABBBC\r\nX\r\n")
      << "the terminal named the target";
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("t1.dat")));
  for (const char* name : {"seq/d001.dat", "seq/d002.dat", "seq/d003.dat"}) {
    EXPECT_EQ(ReadBytes(s.dir.File(name)), "S\r\n") << name;
  }
}

// The transfer is post-processed once, when it has reached its target: the started program
// notes what the file held when it was called.
TEST(Reception, UnwritableTargetGoesToLocalStoreAndMovesLater) {
  Station s;
  const std::string target = s.dir.File("ziel");
  std::filesystem::create_directory(target);
  WriteBytes(target + "/daten.dat", "alt\r\n");
  chmod((target + "/daten.dat").c_str(), 0444);
  WriteBytes(s.dir.File("a.txt"), "neu\r\n");
  const std::string script = s.dir.File("nachlauf.sh");
  WriteBytes(script, "#!/bin/sh\n{ cat \"$1\"; echo '|'; } >> \"$(dirname \"$0\")/calls.txt\"\n");
  chmod(script.c_str(), 0755);
  ASSERT_TRUE(s.Terminal(1, {"--send", "a.txt", "--stay"}));
  s.Port(1, {{Key(kS3, "Dateiname"), target + "/daten.dat"},
             {Key(kS3, "Dateimodus"), "1"},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"},
             {Key(kS4, "Programm"), "nachlauf.sh %datei"},
             {Key(kS4, "Aufrufmodus"), "2"}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(s.sims[1]->WaitForOutput("SENT 1", kWaitMs)) << "the terminal got its ACK";
  const std::string kept = s.dir.File("Temp. Daten von COM1/Daten(00001).dat");
  EXPECT_EQ(ReadBytes(kept), "neu\r\n");
  EXPECT_EQ(ReadBytes(target + "/daten.dat"), "alt\r\n");

  // Writable again: the receiver moves the kept data before it waits for the next transfer.
  chmod((target + "/daten.dat").c_str(), 0644);
  const uint64_t deadline = Clock() + kWaitMs;
  const std::string calls = s.dir.File("calls.txt");
  while ((std::filesystem::exists(kept) || ReadBytes(calls).empty()) && Clock() < deadline) {
    Delay(50);
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
  EXPECT_EQ(ReadBytes(target + "/daten.dat"), "alt\r\nneu\r\n");
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_NE(s.receiver.out().find("Daten von lokaler Datei"), std::string::npos);
  EXPECT_EQ(ReadBytes(calls), "alt\r\nneu\r\n|\n") << "called once, with the data in the target";
}

// A block as a terminal builds it, the checksum summed here independently of the receiver.
std::string Frame(char type, const std::string& data, int counter) {
  char head[4];
  snprintf(head, sizeof head, "%02X", static_cast<unsigned>(data.size()));
  const std::string body = std::string(head) + type + data + static_cast<char>('0' + counter);
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  char tail[4];
  snprintf(tail, sizeof tail, "%02X", sum & 0xFF);
  return "-" + body + tail + "\r";
}

// The temporary file deleted while a transfer runs (by hand, by a terminal on another port): the
// transfer is not confirmed, and the terminal's repeat is stored. The test plays the terminal.
TEST(Reception, TemporaryFileDeletedDuringTheTransferIsNotConfirmed) {
  Station s;
  test::PtyPair line;
  s.RemapOnly(1, line.path());
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(
      s.receiver.WaitForOutput("(com1:) Schnittstelle wird ge\xC3\xB6"
                               "ffnet",
                               kWaitMs));
  const std::string ack = "\x06";
  auto send = [&](const std::string& block) {
    line.Write(block);
    return line.Read(1, kWaitMs);
  };
  auto transfer = [&](const std::function<void()>& midway) {
    ASSERT_EQ(send(Frame('1', "KOPF", 0)), ack);
    ASSERT_EQ(send(Frame('+', "eins", 1)), ack);
    midway();
    ASSERT_EQ(send(Frame('+', "zwei", 2)), ack);
    line.Write("-0000FF\r");
  };

  transfer([&] { ASSERT_TRUE(std::filesystem::remove(s.dir.File("rxtmp1.dat"))); });
  ASSERT_TRUE(s.receiver.WaitForOutput("(com1:) Die Empfangsdatei", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(line.ReadFor(1), "") << "no final ACK: the terminal keeps its data";
  EXPECT_EQ(s.receiver.out().find("abgespeichert"), std::string::npos) << s.receiver.out();
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("ziel.dat")));

  transfer([] {});
  EXPECT_EQ(line.Read(1, kWaitMs), ack) << "the repeat is stored";
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "eins\r\nzwei\r\n");
  EXPECT_EQ(s.StopReceiver(), 0);
}

// A few bytes of repeat tokens could ask for gigabytes: a record beyond 1 MiB fails its transfer,
// and the data page keeps only the start of a long record.
TEST(Reception, HugeRecordsNeitherFillTheDiskNorTheMemory) {
  Station s;
  std::string block;
  while (block.size() + 9 <= 255) block += "$FFFF*41$";  // each token well below the bound
  WriteBytes(s.dir.File("gross.txt"), "klein\r\n" + block + "\r\n");
  ASSERT_TRUE(s.Terminal(1, {"--send", "gross.txt", "--ack-timeout", "500", "--max-retries", "1",
                             "--transfer-retries", "0"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_NE(s.TerminalDone(1), 0) << "no ACK: the terminal keeps its data";
  ASSERT_TRUE(s.receiver.WaitForOutput("Fehler beim Empfangen der Datei", kWaitMs));
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("ziel.dat")));
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("rxtmp1.dat")));

  test::RecordingSink ui;
  const auto env = std::make_shared<ReceptionEnv>(ui);
  TComThread thread(env, 1);
  thread.Report(false, 1, {}, {}, std::string(5000, 'x'), 5000, 1);
  EXPECT_EQ(env->status[1].DataLines.back(), std::string(1000, 'x'));
  EXPECT_EQ(env->status[1].Bytes.load(), 5000);
}

TEST(Reception, PollingClockSyncAndPostProcessing) {
  Station s;
  WriteBytes(s.dir.File("p.txt"), "polled\r\n");
  // The started program writes its arguments, so the test sees what it was given; the file gets
  // its name when it is complete.
  const std::string script = s.dir.File("nachlauf.sh");
  WriteBytes(script,
             "#!/bin/sh\nd=\"$(dirname \"$0\")\"\necho \"$1 $2\" > \"$d/args.tmp\"\n"
             "mv \"$d/args.tmp\" \"$d/args.txt\"\n");
  chmod(script.c_str(), 0755);
  ASSERT_TRUE(s.Terminal(1, {"--answer-polls", "000007", "--send", "p.txt", "--clock"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("polled.dat")},
             {Key(kS5, "Polling"), "1"},
             // The poll cycle is also the time the terminal has to answer.
             {Key(kS5, "Pollingtakt"), "3000"},
             {Key(kS5, "Ger\xE4teadresse 1"), "000003"},
             {Key(kS5, "Ger\xE4teadresse 2"), "000007"},
             {Key(kS2, "MDE-Uhr-Synchronisation"), "1"},
             {Key(kS4, "Programm"), "nachlauf.sh %datei COM%com"},
             {Key(kS4, "Aufrufmodus"), "2"},
             {Key(kS8, "Protokolldatei"), "3"}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err();
  EXPECT_NE(s.sims[1]->out().find("POLLED 000007"), std::string::npos);
  EXPECT_NE(s.sims[1]->out().find("CLOCK "), std::string::npos) << s.sims[1]->out();
  const uint64_t deadline = Clock() + kWaitMs;
  while (!std::filesystem::exists(s.dir.File("args.txt")) && Clock() < deadline) Delay(50);
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_EQ(ReadBytes(s.dir.File("args.txt")), s.dir.File("polled.dat") + " COM1\n");
  const std::string log = s.receiver.out();
  EXPECT_NE(log.find("MDE-Ger\xC3\xA4teadresse 000007 ist aktiv"), std::string::npos) << log;
  EXPECT_NE(log.find("Datenübertragung wird nach MDE-Uhr-Synchronisation korrekt beendet"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Aufruf von nachlauf.sh"), std::string::npos) << log;
  EXPECT_NE(log.find("Aufrufdauer: "), std::string::npos) << log;
}

std::string Lines(int count, const std::string& prefix) {
  std::string text;
  for (int i = 0; i < count; ++i) text += prefix + std::to_string(i) + "\r\n";
  return text;
}

// The terminal has its final ACK before the clock is set: a clock it does not take must not
// keep the stored transfer from its import.
TEST(Reception, StoredTransferIsPostProcessedEvenWhenTheClockIsNotTaken) {
  Station s;
  WriteBytes(s.dir.File("c.txt"), "uhr\r\n");
  const std::string script = s.dir.File("nachlauf.sh");
  WriteBytes(script, "#!/bin/sh\ncp \"$1\" \"$(dirname \"$0\")/import.txt\"\n");
  chmod(script.c_str(), 0755);
  ASSERT_TRUE(s.Terminal(1, {"--send", "c.txt"}));  // no clock handling
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("uhr.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"},
             {Key(kS2, "MDE-Uhr-Synchronisation"), "1"},
             {Key(kS4, "Programm"), "nachlauf.sh %datei"},
             {Key(kS4, "Aufrufmodus"), "2"}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(s.receiver.WaitForOutput("Fehler beim Synchronisieren der MDE-Uhr", kWaitMs))
      << s.receiver.out();
  ASSERT_TRUE(s.receiver.WaitForOutput(" beendet", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_EQ(ReadBytes(s.dir.File("import.txt")), "uhr\r\n");
}

TEST(Reception, FaultyLinesStoreEveryTransferExactlyOnce) {
  Station s;
  const std::string data = Lines(150, "Zeile ");
  WriteBytes(s.dir.File("viel.txt"), data);
  // COM1: corrupted, dropped and extra bytes; COM2: silence in the middle of transfers.
  ASSERT_TRUE(
      s.Terminal(1, {"--send", "viel.txt", "--transfers", "2", "--fault-rate", "0.03", "--faults",
                     "checksum,counter,drop,extra", "--seed", "11", "--ack-timeout", "1500"}));
  ASSERT_TRUE(s.Terminal(2, {"--send", "viel.txt", "--fault-rate", "0.03", "--faults", "silence",
                             "--seed", "3", "--ack-timeout", "1500", "--transfer-retries", "8"}));
  for (int port = 1; port <= 2; ++port) {
    s.Port(port, {{Key(kS3, "Dateiname"), s.dir.File("f" + std::to_string(port) + ".dat")},
                  {Key(kS3, "Dateimodus"), "1"},
                  {Key(kS2, "Header"), "0"},
                  {Key(kS2, "Typzeichen"), "0"},
                  {"AckNak-Einstellungen f\xFCr COM%d:|Empfangstimeout", "400"}});
  }
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err();
  EXPECT_EQ(s.TerminalDone(2), 0) << s.sims[2]->err() << s.sims[2]->out();
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_TRUE(ReadBytes(s.dir.File("f1.dat")) == data + data) << "two transfers, each once";
  EXPECT_TRUE(ReadBytes(s.dir.File("f2.dat")) == data) << "repeated transfer stored once";
  EXPECT_EQ(s.sims[2]->out().find("FAULTS 0\n"), std::string::npos) << "silence happened";
  EXPECT_NE(s.receiver.out().find("(com2:) Kommunikationsfehler (v24-Timeout; DS="),
            std::string::npos)
      << s.receiver.out();
}

// The receiver killed in the middle of a transfer: it has taken and acknowledged half of the
// records, but the final ACK was never given, so the terminal keeps its data and repeats the
// whole transfer at the next start, which must be stored exactly once.
TEST(Reception, KilledReceiverLeavesTargetsAloneAndTheRepeatIsStoredOnce) {
  Station s;
  const std::string data = Lines(400, "K");
  WriteBytes(s.dir.File("k.txt"), data);
  WriteBytes(s.dir.File("ziel.dat"), "vorher\r\n");
  ASSERT_TRUE(s.Terminal(1, {"--send", "k.txt", "--hold-after", "200"}));
  // A read time-out far beyond the test keeps the receiver inside the transfer while it waits.
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
             {Key(kS3, "Dateimodus"), "1"},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"},
             {"AckNak-Einstellungen f\xFCr COM%d:|Empfangstimeout", "600000"}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(s.sims[1]->WaitForOutput("HOLD 200", kWaitMs)) << s.sims[1]->err();
  s.receiver.Signal(SIGKILL);
  EXPECT_EQ(s.receiver.Wait(kWaitMs), 128 + SIGKILL);
  EXPECT_NE(s.TerminalDone(1), 0) << "no final ACK: the terminal keeps its data";
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "vorher\r\n");

  // Next start: a new terminal session repeats the transfer.
  ASSERT_TRUE(s.Terminal(1, {"--send", "k.txt"}));
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err();
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_TRUE(ReadBytes(s.dir.File("ziel.dat")) == "vorher\r\n" + data);
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("rxtmp1.dat")));
}

TEST(Reception, NoPlaceForTheDataMeansNoFinalAck) {
  Station s;
  WriteBytes(s.dir.File("x.txt"), "x\r\n");
  // A file where the local store's directory should be: nothing can keep the data.
  WriteBytes(s.dir.File("Temp. Daten von COM1"), "im Weg");
  WriteBytes(s.dir.File("blockiert"), "auch im Weg");
  ASSERT_TRUE(
      s.Terminal(1, {"--send", "x.txt", "--final-timeout", "1500", "--transfer-retries", "1"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("blockiert/ziel.dat")}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_NE(s.TerminalDone(1), 0) << "the terminal must keep its data";
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_NE(s.receiver.out().find("Fehler beim Erstellen des Verzeichnisses"), std::string::npos)
      << s.receiver.out();
}

TEST(Reception, TwoPortsIntoOneTargetLoseNothing) {
  Station s;
  WriteBytes(s.dir.File("a.txt"), Lines(300, "A"));
  WriteBytes(s.dir.File("b.txt"), Lines(300, "B"));
  ASSERT_TRUE(s.Terminal(1, {"--send", "a.txt", "--transfers", "3", "--stay"}));
  ASSERT_TRUE(s.Terminal(2, {"--send", "b.txt", "--transfers", "3", "--stay"}));
  for (int port = 1; port <= 2; ++port) {
    s.Port(port, {{Key(kS3, "Dateiname"), s.dir.File("gemeinsam.dat")},
                  {Key(kS3, "Dateimodus"), "1"},
                  {Key(kS2, "Header"), "0"},
                  {Key(kS2, "Typzeichen"), "0"}});
  }
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(s.sims[1]->WaitForOutput("SENT 3", kWaitMs));
  ASSERT_TRUE(s.sims[2]->WaitForOutput("SENT 3", kWaitMs));
  // Whatever went to a local store moves to the target at the next wait.
  const uint64_t deadline = Clock() + kWaitMs;
  auto kept = [&] {
    int n = 0;
    for (int port = 1; port <= 2; ++port) {
      const std::string dir = s.dir.File("Temp. Daten von COM" + std::to_string(port));
      if (!std::filesystem::exists(dir)) continue;
      for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.is_regular_file();
    }
    return n;
  };
  while (kept() > 0 && Clock() < deadline) Delay(50);
  EXPECT_EQ(s.StopReceiver(), 0);
  const std::string all = ReadBytes(s.dir.File("gemeinsam.dat"));
  const std::string a = Lines(300, "A");
  const std::string b = Lines(300, "B");
  size_t as = 0, bs = 0;
  for (size_t pos = all.find(a); pos != std::string::npos; pos = all.find(a, pos + 1)) ++as;
  for (size_t pos = all.find(b); pos != std::string::npos; pos = all.find(b, pos + 1)) ++bs;
  EXPECT_EQ(as, 3u) << "every transfer of COM1 whole and once";
  EXPECT_EQ(bs, 3u) << "every transfer of COM2 whole and once";
  EXPECT_EQ(all.size(), 3 * a.size() + 3 * b.size());
}

// A terminal calling through an answering modem: the receiver initialises the modem, takes the
// call, checks the password, receives and hangs up.
TEST(Reception, ModemCallWithPasswordAndRejectedCaller) {
  Station s;
  WriteBytes(s.dir.File("m.txt"), "per Modem\r\n");
  ASSERT_TRUE(s.Terminal(1, {"modem", "--ring-after", "1500", "--password", "Geheim@ACKNAK",
                             "--guard-time", "500", "--send", "m.txt"}));
  ASSERT_TRUE(s.Terminal(
      2, {"modem", "--ring-after", "1500", "--password", "falsch", "--guard-time", "500"}));
  for (int port = 1; port <= 2; ++port) {
    s.Port(port, {{Key(kS3, "Dateiname"), s.dir.File("modem" + std::to_string(port) + ".dat")},
                  {Key(kS2, "Header"), "0"},
                  {Key(kS2, "Typzeichen"), "0"},
                  {Key(kS6, "Modem"), "1"},
                  {Key(kS6, "Modemstatus-Pollzeit"), "30"},
                  {Key(kS6, "Interne Pa\xDFwortliste benutzen"), "1"},
                  {Key(kS6, "Pa\xDFwort1"), "geheim"}});
  }
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err() << s.sims[1]->out();
  EXPECT_NE(s.TerminalDone(2), 0) << "a rejected caller";
  ASSERT_TRUE(s.sims[1]->WaitForOutput("HANGUP", kWaitMs)) << s.sims[1]->out();
  // Logged although COM2 never received anything.
  EXPECT_TRUE(s.receiver.WaitForOutput("(com2:) Passwort ist falsch", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_EQ(ReadBytes(s.dir.File("modem1.dat")), "per Modem\r\n");
  EXPECT_NE(s.sims[1]->out().find("PASSWORD OK"), std::string::npos);
  EXPECT_NE(s.sims[2]->out().find("PASSWORD REJECTED"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("modem2.dat")));
  EXPECT_NE(s.receiver.out().find("(com1:) Modem ist online"), std::string::npos)
      << s.receiver.out();
}

TEST(Reception, LogbookOfAPortOutlivesTheProgram) {
  Station s;
  WriteBytes(s.dir.File("a.txt"), "eins\r\n");
  ASSERT_TRUE(s.Terminal(1, {"--send", "a.txt"}));
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")}, {Key(kS8, "Protokolldatei"), "1"}});
  ASSERT_TRUE(s.StartReceiver());
  EXPECT_EQ(s.TerminalDone(1), 0);
  ASSERT_TRUE(s.receiver.WaitForOutput("abgespeichert", kWaitMs));
  EXPECT_EQ(s.StopReceiver(), 0);
  const std::string logFile = s.dir.File("quillon_com1.log");
  const std::string first = ReadBytes(logFile);
  EXPECT_NE(first.find("Schnittstelle wird ge\xC3\xB6"
                       "ffnet\r\n"),
            std::string::npos)
      << "UTF-8 lines ending in CR LF: " << first;
  EXPECT_NE(first.find("abgespeichert"), std::string::npos) << first;

  // The next run starts with the lines of the last one; its terminal is gone.
  s.RemapOnly(1, s.dir.File("kein-geraet"));
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(
      s.receiver.WaitForOutput("Fehler beim \xC3\x96"
                               "ffnen",
                               kWaitMs))
      << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);
  const std::string second = ReadBytes(logFile);
  EXPECT_EQ(second.rfind(first.substr(0, first.size() - 2), 0), 0u) << second;
  EXPECT_NE(second.find("\xC3\x96"
                        "ffnen",
                        first.size()),
            std::string::npos)
      << second;
}

}  // namespace
}  // namespace quillon
