// The satellite line thread over a pseudo-terminal against the satellite simulator: a record
// queued for a terminal goes to the satellite that covers it, in the command its BIOS takes,
// and stays queued (offered again at every turn) until the delivery check says delivered; a
// refused record stays queued and is offered again; what the satellites read from a terminal,
// its PING included, reaches the inbox, and a PING after a delivery finds the counters agreeing.
#include "radio/sat_line_thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::ReadBytes;
using test::TempDir;

constexpr int kWaitMs = 20000;
const std::string kBin = QUILLON_BIN_DIR;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Short pauses between frames while a test runs; the process-wide values come back after it.
struct ShortPauses {
  int command = ProcessRadioPauses().satCmdDelay;
  int onlineOffline = ProcessRadioPauses().onlineOfflineDelay;
  ShortPauses() {
    ProcessRadioPauses().satCmdDelay = 5;
    ProcessRadioPauses().onlineOfflineDelay = 10;
  }
  ~ShortPauses() {
    ProcessRadioPauses().satCmdDelay = command;
    ProcessRadioPauses().onlineOfflineDelay = onlineOffline;
  }
};

// The simulator's satellites on one line, the network model with one group per satellite, and
// the line thread running it.
struct SimNetwork {
  ShortPauses pauses;
  TempDir dir;
  ChildProcess sim;
  TMultiSat network;
  TOrvComm port;
  std::unique_ptr<QuorbusLine> line;
  RadioInbox inbox;
  std::unique_ptr<Tv24SatThread> thread;  // ends before what it uses goes

  // `simArgs` after "satellites --pty"; `sats` as {id, first terminal, last terminal}. Lines
  // carry the terminal number and a counter.
  bool Start(const std::vector<std::string>& simArgs, const std::vector<std::vector<int>>& sats) {
    std::vector<std::string> argv = {kBin + "/quillon-sim", "satellites",         "--pty",
                                     "--accepted",          dir.File("accepted"), "--log",
                                     dir.File("log")};
    argv.insert(argv.end(), simArgs.begin(), simArgs.end());
    if (!sim.Start(argv, dir.path()) || !sim.WaitForOutput("\n", kWaitMs)) return false;
    if (sim.out().rfind("LINE ", 0) != 0) return false;
    const std::string device = sim.out().substr(5, sim.out().find('\n') - 5);
    network.TermIdBeforeData = true;
    network.WithCounter = true;
    for (const auto& s : sats) {
      TOneSat* sat = network.AddSatellite(s[0], "S" + std::to_string(s[0]), s[1], s[2]);
      TOneGrp* group = network.AddGroup("G" + std::to_string(s[0]));
      if (sat == nullptr || group == nullptr || !network.AddToGroup(*group, sat)) return false;
    }
    if (port.Open(device, 9600, 8, 0, 1) <= 0) return false;
    port.keepTerminator = true;
    (void)port.SetTimeout(250);
    line = std::make_unique<QuorbusLine>(port);
    SatLineSetup setup;
    setup.handle = 1;
    setup.programDir = dir.path() + "/";
    thread = std::make_unique<Tv24SatThread>(network, *line, inbox, setup);
    // Every satellite checked and initialised first.
    return thread->WaitIdle(kWaitMs);
  }

  // Waits for `done`, looking again whenever the simulator reports something; false after the
  // bound.
  bool Until(const std::function<bool()>& done, int ms = kWaitMs) {
    const uint64_t end = Clock() + static_cast<uint64_t>(ms);
    while (!done()) {
      if (Clock() >= end) return false;
      (void)sim.WaitForOutput("\x01", 50);
    }
    return true;
  }
  bool Output(const std::string& text) { return sim.WaitForOutput(text, kWaitMs); }
  // Waits for one more start of polling of satellite `id`: a new turn of its group has begun,
  // after the queued records were offered to it.
  bool NextTurn(int id) {
    const std::string on = "POLLING " + std::to_string(id) + " ON";
    const size_t before = Count(sim.out(), on);
    return Until([&] { return Count(sim.out(), on) > before; });
  }
  bool OutgoingEmpty() {
    std::lock_guard lock(thread->Outgoing().mutex);
    return thread->Outgoing().msgs.empty();
  }
  std::string Log() { return ReadBytes(dir.File("log")); }
  std::vector<std::string> Accepted() { return Lines(ReadBytes(dir.File("accepted"))); }
};

struct DeliveryCase {
  const char* name;
  const char* sat;      // the simulator's satellite 1, which covers terminal 3
  const char* command;  // how the record goes to it: one frame "W" or "O", "2", "C"
  size_t offers;        // times the record was offered to it
  size_t accepted;      // times it took the record
  size_t questions;     // delivery questions to it
  friend void PrintTo(const DeliveryCase& c, std::ostream* os) { *os << c.name; }
};

class QueuedRecordDelivery : public testing::TestWithParam<DeliveryCase> {};

// Satellite 2 covers other terminals and never sees the record nor a question about it.
TEST_P(QueuedRecordDelivery, UntilDeliveredThroughTheCoveringSatellite) {
  const DeliveryCase& c = GetParam();
  SimNetwork net;
  ASSERT_TRUE(net.Start({"--sat", c.sat, "--sat", "2,terms=5-8"}, {{1, 1, 4}, {2, 5, 8}}))
      << net.sim.out() << net.sim.err();
  net.thread->QueueForTerminal(3, "Auftrag");
  net.thread->SetCycles(-1);
  ASSERT_TRUE(net.Output("DELIVERED 1 3")) << net.sim.out();
  ASSERT_TRUE(net.Until([&] { return net.OutgoingEmpty(); })) << "removed once delivered";
  ASSERT_TRUE(net.NextTurn(1)) << net.sim.out();
  net.thread->End();

  const std::string log = net.Log();
  // A fresh terminal's first record goes with its reset counter -5, two characters.
  EXPECT_EQ(net.Accepted(), std::vector<std::string>(c.accepted, "1 3 -5Auftrag"));
  EXPECT_EQ(Count(log, std::string("RX 101 ") + c.command), c.offers) << log;
  EXPECT_EQ(Count(log, std::string("RX 101 ") + (c.command[0] == 'W' ? "O" : "W")), 0u);
  EXPECT_EQ(Count(log, "RX 101 D"), c.questions) << log;
  for (const char* cmd : {"W", "O", "2", "D"}) {
    EXPECT_EQ(Count(log, std::string("RX 102 ") + cmd), 0u) << cmd;
  }
  TOneTermData& term = net.inbox.Find(3);
  EXPECT_EQ(term.HostCounter, 2);
  EXPECT_EQ(std::vector<std::string>(term.History.begin(), term.History.end()),
            std::vector<std::string>{"-5Auftrag"});
}

INSTANTIATE_TEST_SUITE_P(
    SatLineThread, QueuedRecordDelivery,
    testing::Values(
        // Every "<DEL>" leaves it queued: offered again at the group's next turn and asked again.
        DeliveryCase{"OneFrameFromBios62StaysWhileNotDelivered", "1,terms=1-4,deliver-after=2", "W",
                     3, 3, 3},
        DeliveryCase{"OpenSendCloseBeforeBios62", "1,bios=6.1,terms=1-4", "O", 1, 1, 1},
        // A refused record is not asked about and is offered again at the next turn.
        DeliveryCase{"RefusedStaysQueuedAndIsOfferedAgain", "1,terms=1-4,refuse=1", "W", 2, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The records a satellite read from terminal 3 wait in the inbox, its PING among them; the PING
// sent after the PC's record reached the terminal reports the counter the PC goes on with, so
// nothing is told wrong and nothing is queued in answer.
TEST(SatLineThread, TerminalRecordsAndPingAfterADeliveryReachTheInbox) {
  SimNetwork net;
  ASSERT_TRUE(net.Start(
      {"--sat", "1,terms=3-3", "--records", "2", "--ping", "3:2", "--term-id", "--counter"},
      {{1, 3, 3}}))
      << net.sim.out() << net.sim.err();
  net.thread->QueueForTerminal(3, "Auftrag");
  net.thread->SetCycles(-1);
  auto pending = [&] {
    std::lock_guard lock(net.inbox.mutex);
    const TOneTermData& term = net.inbox.Find(3);
    return std::vector<std::string>(term.Pending.begin(), term.Pending.end());
  };
  ASSERT_TRUE(net.Until([&] { return pending().size() >= 3; })) << net.sim.out();
  ASSERT_TRUE(net.NextTurn(1));
  net.thread->End();
  EXPECT_EQ(pending(), (std::vector<std::string>{"00302T003R1", "00300PING02", "00303T003R2"}));
  EXPECT_EQ(net.Accepted(), std::vector<std::string>{"1 3 -5Auftrag"});
  EXPECT_EQ(Count(net.sim.out(), "DELIVERED 1 3"), 1u);
}

}  // namespace
}  // namespace quillon
