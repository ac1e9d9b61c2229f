// The modem dialogue of the port object against a far end played byte by byte by the
// test: each step waits for exactly the bytes the port must send and then answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "serial/orv_comm.h"
#include "serial/result_codes.h"
#include "support/pty_pair.h"

namespace quillon {
namespace {

using test::PtyPair;

// The modem (and the caller behind it) as a script run on its own thread.
class FarEnd {
 public:
  explicit FarEnd(PtyPair& line) : line_(line) {}
  ~FarEnd() { Join(); }

  // Waits up to 15 s for exactly `expect`, records when it was complete, then sends `reply`.
  FarEnd& On(std::string expect, std::string reply) {
    steps_.push_back({std::move(expect), std::move(reply)});
    return *this;
  }
  void Start() {
    thread_ = std::thread([this] {
      for (const Step& step : steps_) {
        const std::string got = line_.Read(step.expect.size(), 15000);
        received += got;
        times.push_back(Clock());
        if (got != step.expect) return;
        if (!step.reply.empty()) line_.Write(step.reply);
      }
      complete = true;
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  std::string received;
  std::vector<uint64_t> times;  // Clock() when each expected text was complete
  bool complete = false;

 private:
  struct Step {
    std::string expect;
    std::string reply;
  };
  PtyPair& line_;
  std::vector<Step> steps_;
  std::thread thread_;
};

struct ModemLine {
  PtyPair line;
  ShutdownState shutdown;
  TOrvComm port{&shutdown};
  std::vector<std::string> log;
  ModemLine() {
    EXPECT_GT(port.Open(line.path(), 9600, 8, 0, 1), 0);
    port.SetTimeout(1000);
    port.logTarget = [this](const std::string& text) { log.push_back(text); };
  }
  bool Logged(const std::string& text) const {
    return std::find(log.begin(), log.end(), text) != log.end();
  }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += "[" + l + "]";
  return out;
}

TEST(ModemCommand, LowerCaseOkMatchesTheDefaultOkList) {
  ModemLine m;
  FarEnd far(m.line);
  far.On("AT\r", "AT\r\r\nok\r\n").On("AT\r", "\r\nOk\r\n");
  far.Start();
  std::string answer;
  EXPECT_EQ(m.port.ModemCommand("AT", &answer, true), rc::kModemOk);
  EXPECT_EQ(answer, "ok") << "the echo and empty lines are skipped, the answer is cleaned";
  EXPECT_EQ(m.port.GetLastError(), rc::kModemOk);
  EXPECT_TRUE(m.port.ModemPresent());
  EXPECT_EQ(m.port.GetTimeout(), 1000) << "ModemPresent restores the time-out";
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
}

TEST(ModemCommand, AnswerKinds) {
  ModemLine m;
  FarEnd far(m.line);
  far.On("ATA\r", "CONNECT 9600/ARQ\r\n")
      .On("ATA\r", "\r\nNO CARRIER\r\n")
      .On("ATD\r", "HELLO\r\n")
      .On("AT", "\x01 OK \xff\r\n")
      .On("AT\r", "");
  far.Start();
  std::string answer;
  EXPECT_EQ(m.port.ModemCommand("ATA", &answer, true), rc::kModemConnected)
      << "the first word CONNECT counts";
  EXPECT_EQ(answer, "CONNECT 9600/ARQ");
  EXPECT_EQ(m.port.ModemCommand("ATA", &answer, true), rc::kModemFailure);
  EXPECT_EQ(answer, "NO CARRIER");
  EXPECT_EQ(m.port.ModemCommand("ATD", &answer, true), rc::kModemBadAnswer);
  EXPECT_EQ(m.port.ModemCommand("AT", nullptr, false), rc::kModemOk)
      << "no CR appended; control characters and blanks around the answer removed";
  m.port.SetTimeout(200);
  EXPECT_EQ(m.port.ModemCommand("AT", &answer, true), rc::kModemInitFailed) << "no answer";
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
  m.port.Close();
  EXPECT_EQ(m.port.ModemCommand("AT", &answer, true), rc::kNotOpen);
  EXPECT_FALSE(m.port.ModemPresent());
  EXPECT_EQ(m.port.InitModem(), rc::kNotOpen);
  EXPECT_EQ(m.port.WaitForCall({}), rc::kNotOpen);
  EXPECT_EQ(m.port.HangUp(), rc::kNotOpen);
}

TEST(ModemInit, SendsEachInitStringAfterAPauseAndStopsAtTheFirstNonOk) {
  ModemLine m;
  m.port.SetInitStrings("AT&F^MATS0=0");
  m.port.SetInitStrings("ATE0");
  ASSERT_EQ(m.port.initStrings, (std::vector<std::string>{"AT&F", "ATS0=0", "ATE0"}));
  m.port.verboseLog = true;
  FarEnd far(m.line);
  far.On("AT&F\r", "OK\r\n").On("ATS0=0\r", "OK\r\n").On("ATE0\r", "OK\r\n");
  const uint64_t start = Clock();
  far.Start();
  EXPECT_EQ(m.port.InitModem(), 0);
  far.Join();
  ASSERT_TRUE(far.complete) << far.received;
  EXPECT_GE(far.times[0] - start, 500u) << "500 ms before the first string";
  EXPECT_GE(far.times[1] - far.times[0], 500u);
  EXPECT_TRUE(m.Logged("Sende \"AT&F\" an Modem")) << Joined(m.log);
  EXPECT_TRUE(m.Logged("Empfange \"OK\" vom Modem")) << Joined(m.log);
  EXPECT_EQ(m.port.GetTimeout(), 1000);

  FarEnd second(m.line);
  second.On("AT&F\r", "OK\r\n").On("ATS0=0\r", "ERROR\r\n");
  second.Start();
  EXPECT_EQ(m.port.InitModem(), rc::kModemInitFailed);
  second.Join();
  EXPECT_TRUE(second.complete);
  EXPECT_EQ(m.line.ReadFor(700), "") << "ATE0 is not sent after the failure";

  m.port.ClearInitStrings();
  EXPECT_EQ(m.port.InitModem(), 0) << "no init strings";
}

TEST(ModemCall, PasswordWithProtocolRequest) {
  ModemLine m;
  FarEnd far(m.line);
  far.On("ATA\r", "ATA\r\r\nCONNECT 9600\r\npw@ACKNAK\r").On("KENNWORT OK\r", "");
  m.line.Write("RING\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({"geheim", "PW"}), 0);
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
  EXPECT_EQ(m.port.protocolRequest, "ACKNAK");
  EXPECT_EQ(m.port.GetLastError(), 0);
  EXPECT_EQ(m.port.GetTimeout(), 1000) << "the time-out is restored";
  EXPECT_EQ(m.log, (std::vector<std::string>{"Anruf erhalten", "Versuche Verbindung herzustellen",
                                             "Verbindung hergestellt", "Passwort empfangen",
                                             "Passwort ist korrekt"}));
}

TEST(ModemCall, VerboseLogNamesTheStringsAndTheConnectionIdGoesAfterTheFirstRead) {
  ModemLine m;
  m.port.verboseLog = true;
  m.port.connectionId = "BEREIT\r";
  FarEnd far(m.line);
  far.On("ATA\r", "CONNECT 9600\r\nsecret\r").On("BEREIT\rKENNWORT OK\r", "");
  m.line.Write("ring\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({"SECRET"}), 0);
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
  EXPECT_EQ(m.port.protocolRequest, "");
  EXPECT_EQ(m.log, (std::vector<std::string>{
                       "Anruf erhalten", "Versuche Verbindung herzustellen",
                       "Empfange \"CONNECT 9600\" vom Modem", "Verbindung hergestellt",
                       "Sende Verbindungskennung \"BEREIT\"", "Passwort \"secret\" empfangen",
                       "Passwort \"secret\" ist korrekt"}));
}

TEST(ModemCall, EmptyPasswordListAcceptsRightAfterTheConnectAnswer) {
  ModemLine m;
  FarEnd far(m.line);
  far.On("ATA\r", "CONNECT 9600\r\nX");
  m.line.Write("RING\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({}), 0);
  far.Join();
  uint8_t c = 0;
  EXPECT_EQ(m.port.ReadChar(c), 1);
  EXPECT_EQ(c, 'X') << "nothing was read after the connect line";
  EXPECT_EQ(m.line.ReadFor(200), "") << "no password answer sent";
}

TEST(ModemCall, EmptyAnswerListSendsNothing) {
  ModemLine m;
  m.port.ClearAnswerStrings();
  m.line.Write("RING\r\n");
  EXPECT_EQ(m.port.WaitForCall({}), 0);
  EXPECT_EQ(m.line.ReadFor(200), "") << "the modem answers by itself";
  EXPECT_TRUE(m.Logged("Verbindung hergestellt"));

  m.line.Write("RING\r\nPW\r");
  EXPECT_EQ(m.port.WaitForCall({"pw"}), 0) << "a RING alone leads to the password check";
  EXPECT_EQ(m.line.Read(12, 2000), "KENNWORT OK\r");
}

TEST(ModemCall, NoRingLineIsAnUnexpectedAnswer) {
  ModemLine m;
  m.line.Write("\r\n");
  EXPECT_EQ(m.port.WaitForCall({}), rc::kModemBadAnswer) << "an empty line";
  m.line.Write("RINGING\r\n");
  EXPECT_EQ(m.port.WaitForCall({}), rc::kModemBadAnswer);
  m.port.SetTimeout(100);
  EXPECT_EQ(m.port.WaitForCall({}), rc::kModemBadAnswer) << "nothing read";
  EXPECT_TRUE(m.log.empty()) << Joined(m.log);
  EXPECT_EQ(m.line.ReadFor(100), "");
}

TEST(ModemCall, EveryAnswerStringOnlyOkGivesOk) {
  ModemLine m;
  m.port.ClearAnswerStrings();
  m.port.SetAnswerStrings("ATS0=0^MATA");
  FarEnd far(m.line);
  far.On("ATS0=0\r", "OK\r\n").On("ATA\r", "OK\r\n");
  m.line.Write("RING\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kModemOk);
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
  EXPECT_EQ(m.line.ReadFor(200), "") << "no password check, no hang-up";
}

TEST(ModemCall, WrongPasswordIsRejectedAndTheLineReleased) {
  ModemLine m;
  FarEnd far(m.line);
  far.On("ATA\r", "CONNECT 9600\r\nfalsch@ACKNAK\r")
      .On("KENNWORT NICHT OK\r", "")
      .On("+++", "OK\r\n")
      .On("ATH0\r", "OK\r\n");
  m.line.Write("RING\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({"richtig"}), rc::kModemFailure)
      << "rejected, and the hang-up released the line";
  far.Join();
  ASSERT_TRUE(far.complete) << far.received;
  // The pauses follow the port's own writes, which a busy far end may read late: they are
  // measured from the far end's ATA, which came before the password the port then rejected.
  EXPECT_GE(far.times[2] - far.times[0], 1500u) << "guard time before +++";
  EXPECT_GE(far.times[3] - far.times[0], 3000u) << "and three 500 ms pauses before ATH0";
  EXPECT_EQ(m.port.protocolRequest, "ACKNAK");
  EXPECT_EQ(m.log,
            (std::vector<std::string>{"Anruf erhalten", "Versuche Verbindung herzustellen",
                                      "Verbindung hergestellt", "Passwort empfangen",
                                      "Passwort ist falsch", "Versuche Leitung freizugeben"}));
}

TEST(ModemCall, NoPasswordWithinTheTimeIsRejected) {
  ModemLine m;
  m.port.hangUpString = "ATH0";
  FarEnd far(m.line);
  far.On("ATA\r", "CONNECT 9600\r\n").On("KENNWORT NICHT OK\r", "").On("ATH0\r", "NO CARRIER\r\n");
  m.line.Write("RING\r\n");
  far.Start();
  const uint64_t start = Clock();
  EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kModemFailure);
  far.Join();
  ASSERT_TRUE(far.complete) << far.received;
  EXPECT_GE(far.times[1] - start, 10000u) << "two reads of 5000 ms each";
  EXPECT_TRUE(m.Logged("Kein Passwort empfangen")) << Joined(m.log);
}

TEST(ModemCall, FailureAnswerToTheCallHangsUp) {
  ModemLine m;
  m.port.hangUpString = "ATH0^Mignored";
  FarEnd far(m.line);
  far.On("ATA\r", "NO CARRIER\r\n").On("ATH0\r", "OK\r\n");
  m.line.Write("RING\r\n");
  far.Start();
  EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kModemFailure);
  far.Join();
  EXPECT_TRUE(far.complete) << far.received;
  EXPECT_TRUE(m.Logged("Verbindung kann nicht hergestellt werden")) << Joined(m.log);
  EXPECT_EQ(m.line.ReadFor(200), "") << "nothing after the first ^M of the hang-up string";

  FarEnd again(m.line);
  again.On("ATA\r", "BUSY\r\n").On("ATH0\r", "");
  m.line.Write("RING\r\n");
  again.Start();
  EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kModemConnectFailed)
      << "the hang-up failed, so the result stays";
  again.Join();
  EXPECT_TRUE(m.Logged("Fehler beim Beenden der Modemverbindung"));
}

TEST(ModemHangUp, AtCommandAloneStillWaitsTheGuardTime) {
  ModemLine m;
  m.port.hangUpString = "ATH0";
  m.port.verboseLog = true;
  FarEnd far(m.line);
  far.On("ATH0\r", "OK\r\n");
  const uint64_t start = Clock();
  far.Start();
  EXPECT_EQ(m.port.HangUp(), 0);
  far.Join();
  ASSERT_TRUE(far.complete) << far.received;
  EXPECT_GE(far.times[0] - start, 1500u);
  EXPECT_EQ(m.port.GetTimeout(), 1000);
  EXPECT_EQ(m.log,
            (std::vector<std::string>{"Versuche Leitung freizugeben", "Sende \"ATH0\" an Modem",
                                      "Empfange \"OK\" vom Modem"}));
}

TEST(ModemHangUp, NoAnswerFails) {
  ModemLine m;
  m.port.hangUpString = "~ATH0";
  FarEnd far(m.line);
  far.On("ATH0\r", "");
  far.Start();
  EXPECT_EQ(m.port.HangUp(), rc::kModemHangUpFailed);
  far.Join();
  EXPECT_TRUE(far.complete);
  EXPECT_EQ(m.port.GetLastError(), rc::kModemHangUpFailed);
  EXPECT_TRUE(m.Logged("Fehler beim Beenden der Modemverbindung"));
  m.port.hangUpString = "";
  EXPECT_EQ(m.port.HangUp(), 0) << "nothing to send";
}

// An abort or the application's end stops a modem wait: the result is the interrupt code and
// nothing more goes on the line. Waits are aborted while they run, once the port has shown it
// is in them; a backstop answer ends a wait the abort failed to end.
TEST(ModemAbort, EndsEveryWait) {
  ModemLine m;
  // Raises the abort on a thread of its own once `inWait` has returned.
  auto abortAfter = [&m](std::function<void()> inWait) {
    return std::thread([&m, inWait] {
      inWait();
      m.port.SetAbortRequested(true);
    });
  };
  {
    m.port.SetTimeout(0);
    test::LineBackstop backstop(m.line, "X\r\n");
    std::thread aborter = abortAfter([] { Delay(200); });
    EXPECT_EQ(m.port.WaitForCall({}), rc::kAborted) << "waiting for RING without limit";
    aborter.join();
  }
  m.port.SetAbortRequested(false);
  {
    test::LineBackstop backstop(m.line, "OK\r\n");
    std::thread aborter = abortAfter([&m] { m.line.Read(3, 20000); });
    EXPECT_EQ(m.port.ModemCommand("AT", nullptr, true), rc::kAborted) << "waiting for the answer";
    aborter.join();
  }
  m.port.SetAbortRequested(false);
  {
    // The connect answer after ATA may take 60 s; the abort ends the wait long before.
    m.port.SetTimeout(1000);
    m.line.Write("RING\r\n");
    uint64_t abortedAt = 0;
    std::thread aborter = abortAfter([&] {
      m.line.Read(4, 20000);
      abortedAt = Clock();
    });
    EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kAborted) << "waiting for the connect answer";
    const uint64_t returned = Clock();
    aborter.join();
    EXPECT_LT(returned - abortedAt, 20000u);
  }
  m.port.SetAbortRequested(false);
  {
    FarEnd far(m.line);
    far.On("ATA\r", "CONNECT 9600\r\n");
    m.line.Write("RING\r\n");
    far.Start();
    std::thread aborter = abortAfter([&far] { far.Join(); });
    EXPECT_EQ(m.port.WaitForCall({"pw"}), rc::kAborted) << "waiting for the password";
    aborter.join();
    EXPECT_TRUE(far.complete) << far.received;
  }
  EXPECT_EQ(m.line.ReadFor(100), "") << "no answer to the caller, no hang-up";

  // The fixed pauses, 1.5 s guard time of the hang-up and 0.5 s before each init string, are
  // too short to time one by one on a busy machine: twenty of each with the abort raised take
  // a fraction of the 40 s they would last without it.
  m.port.SetAbortRequested(true);
  m.port.initStrings = {"AT&F"};
  const uint64_t start = Clock();
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(m.port.HangUp(), rc::kAborted) << "the guard time of the hang-up";
    ASSERT_EQ(m.port.InitModem(), rc::kAborted) << "the pause before an init string";
  }
  EXPECT_LT(Clock() - start, 20000u);
  EXPECT_EQ(m.line.ReadFor(100), "") << "nothing sent after the abort";
}

TEST(ModemAbort, ShutdownEndsAWait) {
  ModemLine m;
  m.port.SetTimeout(0);
  test::LineBackstop backstop(m.line, "X\r\n");
  std::thread stopper([&m] {
    Delay(200);
    m.shutdown.Begin();
  });
  EXPECT_EQ(m.port.WaitForCall({}), rc::kShutdown);
  stopper.join();
}

}  // namespace
}  // namespace quillon
