// The simulator's modem mode against the port object's modem dialogue: a whole call
// with initialisation, ring, answer, password and hang-up; a refused call; a wrong password; a
// call with a transfer behind it; and the option rules of the mode.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "protocols/ack_nak.h"
#include "serial/result_codes.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::TempDir;

constexpr int kWaitMs = 20000;

// The simulator in modem mode on its own pseudo-terminal, and our port on the other end.
struct SimModem {
  TempDir dir;
  ChildProcess sim;
  TOrvAckNak port;
  std::vector<std::string> log;

  bool Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "modem",
                                     "--pty"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!sim.Start(argv, dir.path()) || !sim.WaitForOutput("\n", kWaitMs)) return false;
    const std::string& out = sim.out();
    if (out.rfind("LINE ", 0) != 0) return false;
    if (port.Open(out.substr(5, out.find('\n') - 5), 9600, 8, 0, 1) <= 0) return false;
    port.SetTimeout(5000);
    port.logTarget = [this](const std::string& text) { log.push_back(text); };
    return true;
  }

  // True when the simulator printed `lines` in this order (other lines may come between).
  bool PrintedInOrder(const std::vector<std::string>& lines) const {
    size_t pos = 0;
    for (const std::string& line : lines) {
      pos = sim.out().find(line + "\n", pos);
      if (pos == std::string::npos) return false;
      pos += line.size();
    }
    return true;
  }
};

TEST(SimModem, InitRingAnswerPasswordAndHangUp) {
  SimModem m;
  ASSERT_TRUE(m.Start({"--password", "geheim@ACKNAK", "--ring-after", "1500"})) << m.sim.err();
  m.port.SetInitStrings("AT&F^MATS0=0");
  EXPECT_TRUE(m.port.ModemPresent());
  EXPECT_EQ(m.port.InitModem(), 0);
  EXPECT_EQ(m.port.WaitForCall({"andere", "GEHEIM"}), 0);
  EXPECT_EQ(m.port.protocolRequest, "ACKNAK");
  EXPECT_EQ(m.port.HangUp(), 0);
  EXPECT_EQ(m.sim.Wait(kWaitMs), 0) << m.sim.err();
  EXPECT_TRUE(m.PrintedInOrder({"AT AT", "AT AT&F", "AT ATS0=0", "RING", "AT ATA", "CONNECTED",
                                "PASSWORD OK", "ESCAPE", "AT ATH0", "HANGUP"}))
      << m.sim.out();
}

TEST(SimModem, RefusedCallIsReleased) {
  SimModem m;
  ASSERT_TRUE(m.Start({"--fail-answer", "NO CARRIER", "--no-echo"})) << m.sim.err();
  EXPECT_EQ(m.port.WaitForCall({}), rc::kModemFailure)
      << "connection failed, and the hang-up released the line";
  EXPECT_EQ(m.sim.Wait(kWaitMs), 0) << m.sim.err();
  EXPECT_TRUE(m.PrintedInOrder({"RING", "AT ATA", "REFUSED", "ESCAPE", "AT ATH0", "HANGUP"}))
      << m.sim.out();
  EXPECT_EQ(m.log, (std::vector<std::string>{"Anruf erhalten", "Versuche Verbindung herzustellen",
                                             "Verbindung kann nicht hergestellt werden",
                                             "Versuche Leitung freizugeben"}));
}

TEST(SimModem, WrongPasswordIsRejected) {
  SimModem m;
  ASSERT_TRUE(m.Start({"--password", "falsch"})) << m.sim.err();
  EXPECT_EQ(m.port.WaitForCall({"richtig"}), rc::kModemFailure);
  EXPECT_EQ(m.sim.Wait(kWaitMs), 1) << "the simulator's password was refused";
  EXPECT_TRUE(m.PrintedInOrder({"AT ATA", "PASSWORD REJECTED", "ESCAPE", "AT ATH0", "HANGUP"}))
      << m.sim.out();
}

TEST(SimModem, TransferBehindTheCallAndASecondCall) {
  SimModem m;
  {
    std::ofstream out(m.dir.File("daten.txt"), std::ios::binary);
    out << "eins\r\nzwei\r\n";
  }
  ASSERT_TRUE(m.Start({"--send", "daten.txt", "--header", "KOPF", "--password", "pw", "--calls",
                       "2", "--ok-answer", "ok", "--connect-answer", "CONNECT 19200/ARQ"}))
      << m.sim.err();
  for (int call = 1; call <= 2; ++call) {
    ASSERT_EQ(m.port.WaitForCall({"PW"}), 0) << "call " << call;
    std::vector<std::string> lines;
    char first = '1';
    for (int i = 0; i < 1000; ++i) {
      const int r = m.port.ReceiveBlock(first);
      if (r == rc::kEndOfTransfer) break;
      if (r != rc::kBlockReceived) continue;
      first = '+';
      lines.emplace_back(reinterpret_cast<char*>(m.port.FrameBuffer()) + 4,
                         static_cast<size_t>(m.port.DataLength()));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"KOPF", "eins", "zwei"})) << "call " << call;
    EXPECT_EQ(m.port.HangUp(), 0) << "\"+++\" leaves the connection; ok in lower case counts";
  }
  EXPECT_EQ(m.sim.Wait(kWaitMs), 0) << m.sim.err();
  EXPECT_TRUE(m.PrintedInOrder({"PASSWORD OK", "SENT 1 4 0", "ESCAPE", "HANGUP", "RING", "AT ATA",
                                "PASSWORD OK", "SENT 1 4 0", "ESCAPE", "HANGUP"}))
      << m.sim.out();
}

TEST(SimModem, SilentModemIsNotPresent) {
  SimModem m;
  ASSERT_TRUE(m.Start({"--no-answer", "--ring-after", "60000"})) << m.sim.err();
  EXPECT_FALSE(m.port.ModemPresent());
  m.sim.Signal(SIGTERM);
  m.sim.Wait(kWaitMs);
  EXPECT_NE(m.sim.out().find("AT AT\n"), std::string::npos) << "heard, but not answered";
}

TEST(SimModem, ModemOptionsOnlyInModemMode) {
  TempDir dir;
  ChildProcess sim;
  const std::string bin = std::string(QUILLON_BIN_DIR) + "/quillon-sim";
  EXPECT_EQ(test::RunToEnd(sim, {bin, "--pty", "--password", "x"}, dir.path(), {}, kWaitMs), 2);
  ChildProcess both;
  EXPECT_EQ(test::RunToEnd(both, {bin, "modem", "--pty", "--no-answer", "--fail-answer", "BUSY"},
                           dir.path(), {}, kWaitMs),
            2);
  ChildProcess help;
  EXPECT_EQ(test::RunToEnd(help, {bin, "--help"}, dir.path(), {}, kWaitMs), 0);
  EXPECT_NE(help.out().find("--ring-after MS"), std::string::npos);
  EXPECT_NE(help.out().find("quillon-sim modem"), std::string::npos);
}

}  // namespace
}  // namespace quillon
