// The Quorbus command operations against a satellite or stationary terminal that the test plays
// on the other end of a pseudo-terminal: every frame the PC writes is checked byte for byte and
// answered from a script. Frames are built here by hand from the wire format.
#include "radio/quorbus_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "common/clock.h"
#include "support/pty_pair.h"

namespace quillon {
namespace {

using test::PtyPair;

const std::string kAck(1, '\x06');
constexpr int kArrivalWaitMs = 5000;

std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  char digits[3];
  snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
  return body + digits + "\r";
}

// What the PC must write: STX addr ESC command ESC ETX checksum CR.
std::string Request(int addressByte, const std::string& command) {
  return WithChecksum(std::string{'\x02', static_cast<char>(addressByte), '\x1B'} + command +
                      "\x1B\x03");
}
// A line of a reply without its leading ACK (what follows a raw ACK), and a whole reply.
std::string Line(int addressByte, const std::string& data) {
  return WithChecksum(std::string{'\x02', static_cast<char>(addressByte)} + data + "\x03");
}
std::string Reply(int addressByte, const std::string& data) {
  return kAck + Line(addressByte, data);
}

struct Step {
  std::string expect;  // a request frame or a raw ACK
  std::string answer;  // written back at once; empty: stay silent
};

struct Bench {
  PtyPair pty;
  TOrvComm port;
  QuorbusLine line{port};
  std::vector<uint64_t> arrivals;  // clock when each expected write had arrived whole

  Bench() {
    EXPECT_GT(port.Open(pty.path(), 9600, 8, 0, 1), 0);
    port.SetTimeout(250);
  }

  // The next thing the PC wrote: one raw ACK or one whole request frame; "" after 5 s.
  std::string Arrival() {
    std::string got = pty.Read(1, kArrivalWaitMs);
    if (got == "\x02") {
      // Up to ETX (the address byte may be 3 itself), then the checksum and CR.
      got += pty.Read(1, kArrivalWaitMs);
      while (got.size() < 3 || got.back() != '\x03') {
        const std::string c = pty.Read(1, kArrivalWaitMs);
        if (c.empty()) break;
        got += c;
      }
      got += pty.Read(3, kArrivalWaitMs);
    }
    arrivals.push_back(Clock());
    return got;
  }

  // Runs `op` on its own thread while the steps are played, then checks that nothing more was
  // written once it had ended.
  int Play(const std::function<int(QuorbusLine&)>& op, const std::vector<Step>& steps) {
    auto result = std::async(std::launch::async, [&] { return op(line); });
    for (const Step& step : steps) {
      EXPECT_EQ(Arrival(), step.expect);
      if (!step.answer.empty()) pty.Write(step.answer);
    }
    const int code = result.get();
    EXPECT_EQ(pty.ReadFor(20), "") << "nothing written beyond the script";
    return code;
  }
};

TEST(QuorbusLine, StoredDataIsReadAndOnlyThenConfirmed) {
  struct Case {
    const char* legend;
    int address;
    bool satellite;
    std::vector<Step> read;
    int result;
    std::string text;
    std::vector<Step> confirm;  // empty: not confirmed
  } cases[] = {
      {"satellite, two lines and the end marker",
       3,
       true,
       {{Request(103, "0*"), Reply(103, "A;\x8C")},
        {kAck, Line(103, "B\xB2")},
        {kAck, Line(103, "<EOF>")}},
       0,
       "A;21\r\nB05\r\n",
       {{Request(103, "1*"), Reply(103, "OK")}}},
      {"satellite breaking off before the end marker",
       3,
       true,
       {{Request(103, "0*"), Reply(103, "A")}, {kAck, ""}},
       -4,
       "",
       {}},
      {"satellite sending a damaged line",
       3,
       true,
       {{Request(103, "0*"), Reply(103, "A")}, {kAck, Line(103, "B").substr(0, 4) + "00\r"}},
       -5,
       "",
       {}},
      {"stationary terminal: its first reply is not kept, raw ACKs around 1*",
       7,
       false,
       {{Request(7, "0*"), Reply(7, "HEAD")},
        {kAck, Line(7, "R1")},
        {kAck, Line(7, "<EOF>")},
        {kAck, Line(7, "<EOT>")}},
       0,
       "R1\r\n",
       {{kAck, ""}, {Request(7, "1*"), Reply(7, "OK")}, {kAck, ""}}},
      {"stationary terminal without data: its last ACK comes with the read",
       7,
       false,
       {{Request(7, "0*"), Reply(7, "HEAD")}, {kAck, Line(7, "<EOT>")}, {kAck, ""}},
       0,
       "",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bench b;
    std::string text = "stale";
    EXPECT_EQ(b.Play([&](QuorbusLine& l) { return l.ReadStoredData(c.address, c.satellite, text); },
                     c.read),
              c.result);
    EXPECT_EQ(text, c.text);
    if (c.confirm.empty()) continue;
    EXPECT_EQ(b.Play([&](QuorbusLine& l) { return l.ConfirmStoredData(c.address, c.satellite); },
                     c.confirm),
              0);
  }
}

TEST(QuorbusLine, CommandScripts) {
  const std::string t5 = "\x85";  // terminal 5
  struct Case {
    const char* legend;
    std::function<int(QuorbusLine&)> op;
    std::vector<Step> steps;
    int result;
  } cases[] = {
      {"switching off waits while the satellite is busy",
       [](QuorbusLine& l) { return l.PollingSwitch(4, false, true); },
       {{Request(104, "4$"), Reply(104, "<SYS>")},
        {Request(104, "5"), Reply(104, "<RUN>")},
        {Request(104, "5"), Reply(104, "OK")}},
       0},
      {"a failed status question ends the wait",
       [](QuorbusLine& l) { return l.PollingSwitch(4, false, false); },
       {{Request(104, "4"), Reply(104, "<SYS>")}, {Request(104, "5"), ""}},
       -4},
      {"transfer refused: the close is sent all the same",
       [&](QuorbusLine& l) { return l.SendToTerminal(2, 5, false, "REC"); },
       {{Request(102, "O" + t5), Reply(102, "<NAK>")}, {Request(102, "C" + t5), Reply(102, "OK")}},
       -7},
      {"transfer in three frames",
       [&](QuorbusLine& l) { return l.SendToTerminal(2, 5, false, "REC"); },
       {{Request(102, "O" + t5), Reply(102, "<ACK>")},
        {Request(102, "2" + t5 + "REC"), Reply(102, "<ACK>")},
        {Request(102, "C" + t5), Reply(102, "OK")}},
       0},
      {"record in one frame without <ACK>",
       [&](QuorbusLine& l) { return l.SendToTerminal(2, 5, true, "REC"); },
       {{Request(102, "W" + t5 + "REC"), Reply(102, "OK")}},
       -7},
      {"reply to another address",
       [](QuorbusLine& l) { return l.ModeSwitch(2); },
       {{Request(102, "M0"), Reply(103, "<ACK>")}},
       -5},
  };
  const std::pair<const char*, int> deliveries[] = {
      {"<DEL>", 0}, {"<SYS>", -7}, {"<ACK>", -8}, {"<NAK>", -9}, {"<ENQ>", -5}};
  for (const auto& [answer, code] : deliveries) {
    SCOPED_TRACE(answer);
    Bench b;
    EXPECT_EQ(b.Play([](QuorbusLine& l) { return l.DeliveryQuestion(2, 5); },
                     {{Request(102, "D" + t5), Reply(102, answer)}}),
              code);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bench b;
    EXPECT_EQ(b.Play(c.op, c.steps), c.result);
  }
}

TEST(QuorbusLine, PausesBetweenCommandsAreKept) {
  Bench b;
  const int command = ProcessRadioPauses().satCmdDelay;
  const int onOff = ProcessRadioPauses().onlineOfflineDelay;
  const int result = b.Play(
      [](QuorbusLine& l) {
        int r = l.StatusCheck(1);
        r = r ? r : l.StatusCheck(1);
        r = r ? r : l.PollingSwitch(1, true, false);
        r = r ? r : l.StatusCheck(1);
        return r ? r : l.DeliveryQuestion(1, 5);
      },
      {{Request(101, "5"), Reply(101, "OK")},
       {Request(101, "5"), Reply(101, "OK")},
       {Request(101, "3"), Reply(101, "OK")},
       {Request(101, "5"), Reply(101, "OK")},
       {Request(101, "D\x85"), Reply(101, "<DEL>")}});
  EXPECT_EQ(result, 0);
  // Each write can only follow the reply to the one before, which came after its arrival here,
  // so the gaps seen here are at least the pauses however slow the machine.
  const int least[] = {command, command, onOff, 2 * onOff};
  ASSERT_EQ(b.arrivals.size(), 5u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_GE(b.arrivals[i + 1] - b.arrivals[i], static_cast<uint64_t>(least[i])) << i;
  }
}

TEST(QuorbusLine, AbortDuringTheSettleTimeStopsANewConfiguration) {
  Bench b;
  auto result =
      std::async(std::launch::async, [&] { return b.line.ConfigureSatellite(7, 8, 9600, 1, 10); });
  EXPECT_EQ(b.Arrival(), Request(107, "6"));
  b.pty.Write(Reply(107, "OK"));
  b.port.SetAbortRequested(true);
  EXPECT_EQ(result.get(), -4);
  EXPECT_EQ(b.pty.ReadFor(20), "") << "no configuration after the abort";
}

}  // namespace
}  // namespace quillon
