// The block protocol against a far end that the test plays byte by byte: every kind of block
// the line can carry, and the answers it must get.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/clock.h"
#include "protocols/ack_nak.h"
#include "serial/result_codes.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::PtyPair;

constexpr char kAck = '\x06';
constexpr char kNak = '\x15';

struct Line {
  PtyPair pty;
  TOrvAckNak port;
  std::vector<int> posted;
  Line() {
    EXPECT_GT(port.Open(pty.path(), 9600, 8, 0, 1), 0);
    port.SetTimeout(300);
    port.errorTarget = [this](int, int code) { posted.push_back(code); };
  }
};

// A block as the far end builds it: the checksum summed here, independently of the code under
// test.
std::string Frame(char type, const std::string& data, int counter) {
  char head[4];
  snprintf(head, sizeof head, "%02X", static_cast<unsigned>(data.size()));
  std::string body = std::string(head) + type + data + static_cast<char>('0' + counter);
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  char tail[4];
  snprintf(tail, sizeof tail, "%02X", sum & 0xFF);
  return "-" + body + tail + "\r";
}

std::string Data(TOrvAckNak& port) {
  return std::string(reinterpret_cast<char*>(port.FrameBuffer()) + 4,
                     static_cast<size_t>(port.DataLength()));
}

TEST(AckNakReceive, GoodBlocksCounterWrapAndEnd) {
  Line l;
  l.pty.Write("-041HEAD0");
  l.pty.Write("D7\r");  // a block may arrive in pieces
  ASSERT_EQ(l.port.ReceiveBlock('1'), rc::kBlockReceived);
  EXPECT_EQ(Data(l.port), "HEAD");
  EXPECT_EQ(l.pty.Read(1, 500), std::string(1, kAck));
  // Counters 1..9 and then 0 again.
  for (int i = 1; i <= 10; ++i) {
    const std::string block = Frame('+', "A", i % 10);
    l.pty.Write(block);
    EXPECT_EQ(l.port.ReceiveBlock('+'), rc::kBlockReceived) << block;
    EXPECT_EQ(l.pty.Read(1, 500), std::string(1, kAck)) << block;
  }
  EXPECT_EQ(l.port.blockCounter, 1);
  EXPECT_EQ(l.port.blocksDone, 11);
  l.port.autoAck = false;
  l.pty.Write("-0000FF\r");
  EXPECT_EQ(l.port.ReceiveBlock('+'), rc::kEndOfTransfer) << "end block whatever the counter";
  EXPECT_EQ(l.pty.Read(1, 100), "") << "no ACK without autoAck";
  EXPECT_TRUE(l.posted.empty());
}

struct BadBlock {
  const char* bytes;
  int code;
  const char* legend;
};

TEST(AckNakReceive, MalformedBlocksAreAnsweredWithNakAndTheirCode) {
  const BadBlock cases[] = {
      {"-02+AB344\r", rc::kBadChecksum, "wrong checksum"},
      {"-02+AB3ZZ\r", rc::kBadChecksum, "checksum digits not hex"},
      {"-02+AB2", rc::kTooFewChars, "block cut short"},
      {"-FF+short\r", rc::kTooFewChars, "length runs past the data"},
      {"-G2+AB343\r", rc::kTooFewChars, "length digits not hex"},
      {"-02+AB343X", rc::kNoCr, "no CR at the end"},
      {"-02+AB243\r", rc::kBadCounter, "counter of the previous block"},
  };
  for (const auto& c : cases) {
    Line l;
    l.port.blockCounter = 3;
    l.pty.Write(c.bytes);
    // After the bad block the far end sends the good one; one call takes both.
    std::thread peer([&] {
      if (l.pty.Read(1, 1000) == std::string(1, kNak)) l.pty.Write("-02+AB343\r");
    });
    EXPECT_EQ(l.port.ReceiveBlock('+'), rc::kBlockReceived) << c.legend;
    EXPECT_EQ(Data(l.port), "AB") << c.legend;
    peer.join();
    EXPECT_EQ(l.pty.Read(1, 500), std::string(1, kAck)) << c.legend;
  }
}

TEST(AckNakReceive, SixFailuresEndTheCallWithTheLastCode) {
  Line l;
  for (int i = 0; i < 6; ++i) l.pty.Write("-02+AB000\r");
  EXPECT_EQ(l.port.ReceiveBlock('+'), 0);
  EXPECT_EQ(l.port.GetLastError(), rc::kBadChecksum);
  EXPECT_EQ(l.pty.Read(6, 500), std::string(6, kNak));
  EXPECT_EQ(l.posted, std::vector<int>{rc::kBadChecksum});
}

TEST(AckNakReceive, SilenceBinaryDataAndGarbage) {
  Line l;
  uint64_t start = Clock();
  EXPECT_EQ(l.port.ReceiveBlock('1'), rc::kTimeout);
  EXPECT_GE(Clock() - start, 300u);

  // Binary data with NUL bytes are taken by the length field.
  const std::string data("\0\r-\xFF", 4);
  l.pty.Write(Frame('+', data, 0));
  EXPECT_EQ(l.port.ReceiveBlock('+'), rc::kBlockReceived);
  EXPECT_EQ(Data(l.port), data);

  // A flood of garbage without '-', then a bad block, then silence: the time-out, with the
  // block's failure kept as the last error.
  std::string garbage(5000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 37) % 45);
  l.pty.Write(garbage + "-01+A100\r");
  EXPECT_EQ(l.port.ReceiveBlock('+'), rc::kTimeout);
  EXPECT_EQ(l.port.GetLastError(), rc::kBadChecksum);
}

// A far end that answers every frame it reads with the given answers in turn, repeating the
// last one until no frame comes for 300 ms.
struct Responder {
  PtyPair& pty;
  std::vector<std::string> frames;
  std::thread thread;
  Responder(PtyPair& p, std::vector<char> answers) : pty(p) {
    thread = std::thread([this, answers] {
      for (size_t i = 0;; ++i) {
        if (i >= answers.size() && answers.size() > 1) return;
        const char answer = answers[std::min(i, answers.size() - 1)];
        std::string frame;
        while (frame.empty() || frame.back() != '\r') {
          const std::string c = pty.Read(1, frame.empty() ? 300 : 2000);
          if (c.empty()) return;
          frame += c;
        }
        frames.push_back(frame);
        if (answer != 0) pty.Write(std::string(1, answer));
      }
    });
  }
  ~Responder() {
    if (thread.joinable()) thread.join();
  }
  std::vector<std::string> Frames() {
    thread.join();
    return frames;
  }
};

TEST(AckNakSend, RepeatsOnNakUntilAckOrTimeout) {
  Line l;
  l.port.blockCounter = 3;
  {
    Responder r(l.pty, {kNak, kNak, kAck});
    EXPECT_EQ(l.port.SendText('+', "AB"), 0);
    EXPECT_EQ(r.Frames(), (std::vector<std::string>{"-02+AB343\r", "-02+AB343\r", "-02+AB343\r"}));
  }
  EXPECT_EQ(l.port.blockCounter, 4);

  l.port.SetTimeout(200);
  {
    Responder r(l.pty, {kNak});
    EXPECT_EQ(l.port.SendText('+', "CD"), rc::kNak);
  }
  EXPECT_EQ(l.port.SendText('+', "CD"), rc::kTimeout) << "silence";
  EXPECT_EQ(l.posted, (std::vector<int>{rc::kNak, rc::kTimeout}));
  EXPECT_EQ(l.port.blockCounter, 4);
}

TEST(AckNakSend, ClockOnlyAfterNak) {
  Line l;
  l.pty.Write(std::string(1, kAck));
  EXPECT_EQ(l.port.SendClock(), 0) << "answered by ACK: nothing is sent";
  EXPECT_EQ(l.pty.ReadFor(100), "");

  l.pty.Write(std::string(1, kNak));
  Responder r(l.pty, {kAck, kAck, kAck});
  EXPECT_EQ(l.port.SendClock(), 0);
  const auto frames = r.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0], "-081MDE-ZEIT008\r");
  EXPECT_EQ(frames[1].substr(0, 4), "-0C+");
  EXPECT_EQ(frames[1].size(), 20u);
  EXPECT_EQ(frames[2], "-0000FF\r");
  EXPECT_GE(l.port.responseTime, 0);

  l.port.clockTimeout = 100;
  EXPECT_EQ(l.port.SendClock(), rc::kTimeout);
  EXPECT_EQ(l.port.responseTime, -1);
}

TEST(AckNakSend, PollWithAndWithoutConfirmation) {
  Line l;
  std::thread terminal([&] {
    if (l.pty.Read(9, 1000) == "\r123456?\r") l.pty.Write(std::string(1, kAck));
  });
  EXPECT_EQ(l.port.Poll("123456"), 0);
  terminal.join();
  EXPECT_EQ(l.pty.Read(9, 1000), "\r123456!\r");
  EXPECT_EQ(l.port.lastPolled, "123456");

  l.port.pollTimeout = 100;
  std::thread nak([&] {
    l.pty.Read(8, 1000);
    l.pty.Write(std::string(1, kNak));
  });
  EXPECT_EQ(l.port.Poll("54321"), rc::kNoPollAnswer) << "a NAK counts as no answer";
  nak.join();
  EXPECT_EQ(l.port.lastPolled, "");
  EXPECT_EQ(l.port.responseTime, -1);

  l.port.noPollConfirm = true;
  std::thread quiet([&] {
    l.pty.Read(8, 1000);
    l.pty.Write(std::string(1, kAck));
  });
  EXPECT_EQ(l.port.Poll("54321"), 0);
  quiet.join();
  EXPECT_EQ(l.pty.ReadFor(100), "") << "test mode: no confirmation";
}

TEST(AckNakSend, FileWithLongLineAndMissingFile) {
  test::TempDir dir;
  const std::string path = dir.File("AUFTRAG.TXT");
  const std::string longLine(300, 'L');
  test::WriteBytes(path, "kurz\r\n" + longLine + "\r\n");
  Line l;
  std::vector<int> percents;
  {
    Responder r(l.pty, {kAck, kAck, kAck, kAck, kAck});
    EXPECT_EQ(
        l.port.SendFile(path, [&](int, int, int, int percent) { percents.push_back(percent); }), 0);
    const auto frames = r.Frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[0].find("1QUILLON DATENTRANSFER,AUFTRAG.TXT,"), 3u) << frames[0];
    EXPECT_NE(frames[0].find(",308"), std::string::npos) << frames[0];
    EXPECT_EQ(frames[1], "-04+kurz1" + frames[1].substr(9));
    EXPECT_EQ(frames[2].substr(0, 4), "-FF+") << "255 bytes of the long line";
    EXPECT_EQ(frames[3].substr(0, 4), "-2D+") << "then the remaining 45, in order";
    EXPECT_EQ(frames[4], "-0000FF\r");
  }
  EXPECT_EQ(percents.front(), 0);
  EXPECT_EQ(percents.size(), 4u);

  Responder r(l.pty, {kAck, kAck});
  EXPECT_EQ(l.port.SendFile(dir.File("FEHLT.TXT")), 0);
  const auto frames = r.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].substr(0, 25), "-151QUILLON DATENTRANSFER");
  EXPECT_EQ(frames[1], "-0000FF\r");
  EXPECT_FALSE(std::filesystem::exists(dir.File("FEHLT.TXT")));
}

}  // namespace
}  // namespace quillon
