// The handling of terminal records by their counters, from a terminal's state before a line to
// what waits to be fetched, the state after it and the records queued for the terminal.
#include "radio/term_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

struct CounterCase {
  const char* name;
  int counter;
  int hostCounter;
  Lines history;
  std::string lastRecord;
  Lines input;
  Lines pending;
  int counterAfter;
  int hostCounterAfter;
  Lines queued;
  bool fresh = false;
};

class RecordCounters : public testing::TestWithParam<CounterCase> {};

TEST_P(RecordCounters, StateAfterTheLines) {
  const CounterCase& c = GetParam();
  RadioInbox inbox;
  OutgoingList outgoing;
  TOneTermData& term = inbox.Find(7);
  term.Counter = c.counter;
  term.HostCounter = c.hostCounter;
  term.History.assign(c.history.begin(), c.history.end());
  term.LastRecord = c.lastRecord;
  term.Fresh = c.fresh;
  RecordHandler handler(inbox, outgoing, {}, {});
  for (const std::string& line : c.input) handler.ProcessLine(line);
  EXPECT_EQ(Lines(term.Pending.begin(), term.Pending.end()), c.pending);
  EXPECT_EQ(term.Counter, c.counterAfter);
  EXPECT_EQ(term.HostCounter, c.hostCounterAfter);
  Lines queued;
  for (const TTermMsg& msg : outgoing.msgs) {
    EXPECT_EQ(msg.Term, 7);
    if (!msg.Done) queued.push_back(msg.Text);
  }
  EXPECT_EQ(queued, c.queued);
  EXPECT_EQ(inbox.terms.size(), 1u) << "every line was terminal 7's";
}

INSTANTIATE_TEST_SUITE_P(
    Radio, RecordCounters,
    testing::Values(
        CounterCase{"Expected", 5, -5, {}, "", {"00705abc"}, {"00705abc"}, 6, -5, {}},
        CounterCase{
            "WrapsAfter99", 99, -5, {}, "", {"00799x", "00701y"}, {"00799x", "00701y"}, 2, -5, {}},
        CounterCase{
            "FieldsCountEach", 5, -5, {}, "", {"00705a|b|c||d"}, {"00705a", "b", "c"}, 8, -5, {}},
        CounterCase{
            "OneAheadAsksByPing", 5, 4, {"03x"}, "", {"00706abc"}, {}, 5, 4, {"00PING04:05"}},
        CounterCase{"PingAnswerAfterAResetKeepsTwoCharacters",
                    5,
                    -5,
                    {"03x"},
                    "",
                    {"00706abc"},
                    {},
                    5,
                    -5,
                    {"00PING-5:05"}},
        CounterCase{"RestartedTerminal", 40, 9, {"03x"}, "", {"007-1x"}, {"007-1x"}, 2, 2, {}},
        CounterCase{
            "UnknownWithoutHistoryResets", 5, -5, {}, "", {"00712x"}, {"007-1;;RESET"}, 2, -5, {}},
        CounterCase{
            "RepeatedLastRecordDropped", 6, 4, {"03x"}, "00705abc", {"00705abc"}, {}, 6, 4, {}},
        CounterCase{
            "WrongCounterTold",
            5,
            4,
            {"03x"},
            "00704z",
            {"00709abc"},
            {"007-3;;HOST hat falschen Zähler empfangen (erwartet:05 empfangen:09):00709abc"},
            2,
            -5,
            {}},
        CounterCase{"PingWithOldCounterRepeats",
                    5,
                    8,
                    {"05a", "06b", "07c"},
                    "",
                    {"00700x06"},
                    {"00700x06"},
                    5,
                    6,
                    {"06b", "07c"}},
        CounterCase{
            "PingWithUnknownCounterTold",
            5,
            8,
            {"05a", "07c"},
            "",
            {"00700x03"},
            {"007-2;;HOST hat falschen Zähler empfangen (erwartet:08 empfangen:03):00700x03",
             "00700x03"},
            2,
            -5,
            {}},
        CounterCase{"TerminalAsksForTheLastAgain", 5, 6, {"05a"}, "", {"007-3"}, {}, 5, 6, {"06a"}},
        CounterCase{"FirstRecordOfTheRunSetsTheCounter",
                    2,
                    -5,
                    {},
                    "",
                    {"00741a", "00742b"},
                    {"00741a", "00742b"},
                    43,
                    -5,
                    {},
                    true},
        CounterCase{"TerminalGotAWrongCounter",
                    5,
                    6,
                    {"04q", "05a"},
                    "",
                    {"007-2x04abc"},
                    {},
                    5,
                    4,
                    {"04q", "05a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordCounters, SuccessorWrapsAndStartsNegativesAtTwo) {
  EXPECT_EQ(NextCounter(-5), 2);
  EXPECT_EQ(NextCounter(1), 2);
  EXPECT_EQ(NextCounter(98), 99);
  EXPECT_EQ(NextCounter(99), 1);
}

// Without counters: a line equal to the newest waiting one is a duplicate, one already fetched
// is not; the 1025th waiting record pushes out the oldest; lines end at the first empty one.
TEST(RecordCounters, DuplicatesAndTheWaitingLimitWithoutCounters) {
  RadioInbox inbox;
  OutgoingList outgoing;
  RecordHandler handler(inbox, outgoing, {true, false, true}, {});
  handler.ProcessText("007abc\r\n007abc\r\n\x01\r\n008z\r\n");
  TOneTermData& term = inbox.Find(7);
  EXPECT_EQ(Lines(term.Pending.begin(), term.Pending.end()), Lines{"007abc"});
  EXPECT_EQ(inbox.terms.size(), 1u) << "nothing after the empty line";
  term.Pending.clear();
  handler.ProcessLine("007abc");
  EXPECT_EQ(term.Pending.size(), 1u) << "the first copy was fetched already";
  for (int i = 0; i < 1025; ++i) handler.ProcessLine("007r" + std::to_string(i));
  ASSERT_EQ(term.Pending.size(), kMaxPending);
  EXPECT_EQ(term.Pending.front(), "007r1");
}

}  // namespace
}  // namespace quillon
