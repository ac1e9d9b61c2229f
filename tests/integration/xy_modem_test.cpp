// X- and Y-Modem against lrzsz over pseudo-terminals in both directions, and the receiver's
// answers to a stop, a silent sender, a taken target and file names that point elsewhere.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocols/xmodem.h"
#include "protocols/xyz_transfers.h"
#include "protocols/ymodem.h"
#include "support/child_process.h"
#include "support/fault_relay.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::FaultRelay;
using test::PtyPair;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// CAN, XON, XOFF, 0xFF and the padding byte first, then every byte value, then random bytes.
std::string TestData(size_t size) {
  std::string data = "\x18\x11\x13\xff\x1a";
  for (int c = 0; c < 256; ++c) data += static_cast<char>(c);
  std::mt19937 random(12);
  while (data.size() < size) data += static_cast<char>(random() & 0xFF);
  data.resize(size);
  return data;
}

// An lrzsz program with the pseudo-terminal's slave side as its input and output.
void StartPeer(ChildProcess& peer, const PtyPair& pty, const std::string& command,
               const std::string& cwd) {
  ASSERT_TRUE(peer.Start(
      {"/bin/sh", "-c", "exec " + command + " <" + pty.path() + " >" + pty.path()}, cwd));
}

// X-Modem cannot tell padding from data: the file is the data, then padding to whole blocks.
void ExpectPadded(const std::string& got, const std::string& data) {
  ASSERT_GE(got.size(), data.size());
  EXPECT_EQ(got.substr(0, data.size()), data);
  EXPECT_EQ(got.substr(data.size()), std::string(got.size() - data.size(), '\x1a'));
  EXPECT_EQ(got.size() % 128, 0u);
  EXPECT_LT(got.size() - data.size(), 1024u);
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* entry = d != nullptr ? readdir(d) : nullptr) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (d != nullptr) closedir(d);
  return names;
}

// Wakes the sender's waits once the peer has ended. lrzsz's receivers drop their pending input
// and output as they exit, so on a pseudo-terminal their last acknowledgement is often lost:
// the file is complete, yet the sender keeps waiting for that answer.
class PeerEndWaker {
 public:
  explicit PeerEndWaker(ChildProcess& peer)
      : fd_(eventfd(0, EFD_CLOEXEC)), thread_([this, &peer] {
          exitCode_ = peer.Wait(30000);
          const uint64_t one = 1;
          (void)!write(fd_, &one, sizeof one);
        }) {}
  ~PeerEndWaker() {
    if (thread_.joinable()) thread_.join();
    close(fd_);
  }
  int fd() const { return fd_; }
  int ExitCode() {
    if (thread_.joinable()) thread_.join();
    return exitCode_;
  }

 private:
  int fd_;
  int exitCode_ = -1;
  std::thread thread_;
};

enum class Direction { kXReceive, kXSend, kYReceive, kYSend };

class XyModemInterop : public testing::TestWithParam<Direction> {};

TEST_P(XyModemInterop, EveryFileArrivesByteIdentical) {
  const std::string name = "file with blanks.dat";
  for (const size_t size : {0u, 1u, 1023u, 1024u, 1025u, 1u << 20}) {
    SCOPED_TRACE(size);
    TempDir dir;
    PtyPair pty;
    xyz::FdLine line(pty.master());
    const std::string data = TestData(size);
    int64_t lastSoFar = 0;
    const xyz::Progress progress = [&](int32_t soFar, int32_t, const uint8_t*, int32_t) {
      lastSoFar = soFar;
      return 0;
    };
    ChildProcess peer;
    int result = 0;
    std::string got;
    switch (GetParam()) {
      case Direction::kXReceive:
        WriteBytes(dir.File(name), data);
        StartPeer(peer, pty, "sx -kq '" + name + "'", dir.path());
        result = xyz::XmodemReceive(line, dir.File("got"), progress);
        got = ReadBytes(dir.File("got"));
        ExpectPadded(got, data);
        EXPECT_EQ(lastSoFar, static_cast<int64_t>(got.size()));
        break;
      case Direction::kYReceive: {
        WriteBytes(dir.File(name), data);
        StartPeer(peer, pty, "sb -q '" + name + "'", dir.path());
        std::string senderName;
        result = xyz::YmodemReceive(line, dir.File("got"), senderName, progress);
        EXPECT_EQ(ReadBytes(dir.File("got")), data);
        EXPECT_EQ(senderName, name);
        EXPECT_EQ(lastSoFar, static_cast<int64_t>(size));
        break;
      }
      case Direction::kXSend: {
        WriteBytes(dir.File(name), data);
        StartPeer(peer, pty, "rx -cq got", dir.path());
        PeerEndWaker waker(peer);
        xyz::FdLine wakeable(pty.master(), waker.fd());
        result = xyz::XmodemSend(wakeable, dir.File(name), progress);
        EXPECT_EQ(waker.ExitCode(), 0) << peer.err();
        ExpectPadded(ReadBytes(dir.File("got")), data);
        EXPECT_EQ(lastSoFar, static_cast<int64_t>(size));
        // The end's acknowledgement may be lost as rx exits; the file is checked above.
        if (result == xyz::kAborted) result = xyz::kDone;
        break;
      }
      case Direction::kYSend: {
        ASSERT_EQ(mkdir(dir.File("in").c_str(), 0700), 0);
        WriteBytes(dir.File(name), data);
        StartPeer(peer, pty, "rb -q", dir.File("in"));
        PeerEndWaker waker(peer);
        xyz::FdLine wakeable(pty.master(), waker.fd());
        result = xyz::YmodemSend(wakeable, dir.File(name), progress);
        EXPECT_EQ(waker.ExitCode(), 0) << peer.err();
        EXPECT_EQ(ReadBytes(dir.File("in/" + name)), data);
        EXPECT_EQ(lastSoFar, static_cast<int64_t>(size));
        break;
      }
    }
    EXPECT_EQ(result, xyz::kDone);
    if (GetParam() == Direction::kXReceive || GetParam() == Direction::kYReceive) {
      EXPECT_EQ(peer.Wait(20000), 0) << peer.err();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lrzsz, XyModemInterop,
                         testing::Values(Direction::kXReceive, Direction::kXSend,
                                         Direction::kYReceive, Direction::kYSend));

const xyz::XyTimings kShortWaits{200, 200, 3};

// The slave side opened once more: the transfer runs there, the test plays the peer on the
// master with hand-built bytes.
class SlaveLine {
 public:
  explicit SlaveLine(const PtyPair& pty)
      : fd_(open(pty.path().c_str(), O_RDWR | O_NOCTTY)), line_(fd_) {}
  ~SlaveLine() { close(fd_); }
  xyz::FdLine& operator*() { return line_; }

 private:
  int fd_;
  xyz::FdLine line_;
};
const xyz::Progress kGoOn = [](int32_t, int32_t, const uint8_t*, int32_t) { return 0; };

std::string Frame(uint8_t number, const std::string& data, uint8_t pad) {
  uint8_t frame[xyz::kMaxFrame];
  const size_t length =
      xyz::BuildFrame(number, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                      data.size(), xyz::CheckKind::kCrc16, pad, frame);
  return std::string(reinterpret_cast<char*>(frame), length);
}

// A noisy line between the sender and our receiver: flipped bytes, a lost one and a stray one.
// After recovery the file is the one sent; a damaged block is never taken for data.
TEST(XyModemFaults, DamagedLineRecoversToTheSameFile) {
  const std::string data = TestData(120 * 1024);
  const FaultRelay::Faults faults{40000, 30000, 70000};
  const xyz::XyTimings quickPurge{3000, 200, 10};
  for (const bool batch : {false, true}) {
    for (const bool lrzszSends : {true, false}) {
      SCOPED_TRACE(std::string(batch ? "Y-Modem" : "X-Modem") +
                   (lrzszSends ? " from lrzsz" : " from ours"));
      TempDir dir;
      WriteBytes(dir.File("data"), data);
      PtyPair senderLine;
      PtyPair receiverLine;
      const int receiving = open(receiverLine.path().c_str(), O_RDWR | O_NOCTTY);
      const int sending = open(senderLine.path().c_str(), O_RDWR | O_NOCTTY);
      ASSERT_GE(receiving, 0);
      ASSERT_GE(sending, 0);
      FaultRelay relay(senderLine.master(), receiverLine.master(), faults);
      ChildProcess peer;
      int sent = xyz::kDone;
      std::thread sender;
      if (lrzszSends) {
        StartPeer(peer, senderLine, batch ? "sb -q data" : "sx -kq data", dir.path());
      } else {
        sender = std::thread([&] {
          xyz::FdLine line(sending);
          sent = batch ? xyz::YmodemSend(line, dir.File("data"), kGoOn)
                       : xyz::XmodemSend(line, dir.File("data"), kGoOn);
        });
      }
      xyz::FdLine line(receiving);
      std::string senderName;
      const int received =
          batch ? xyz::YmodemReceive(line, dir.File("got"), senderName, kGoOn, quickPurge)
                : xyz::XmodemReceive(line, dir.File("got"), kGoOn, quickPurge);
      if (sender.joinable()) sender.join();
      if (lrzszSends) {
        EXPECT_EQ(peer.Wait(20000), 0) << peer.err();
      }
      EXPECT_EQ(received, xyz::kDone);
      EXPECT_EQ(sent, xyz::kDone);
      if (batch) {
        EXPECT_TRUE(ReadBytes(dir.File("got")) == data);
      } else {
        ExpectPadded(ReadBytes(dir.File("got")), data);
      }
      close(sending);
      close(receiving);
    }
  }
}

TEST(XyModemReceiver, StopFromProgressCancelsThePeerAndDeletesTheFile) {
  TempDir dir;
  PtyPair pty;
  xyz::FdLine line(pty.master());
  WriteBytes(dir.File("big"), TestData(1u << 20));
  ChildProcess peer;
  StartPeer(peer, pty, "sx -kq big", dir.path());
  const xyz::Progress stopAt64K = [](int32_t soFar, int32_t, const uint8_t*, int32_t) {
    return soFar >= 65536 ? -1 : 0;
  };
  EXPECT_EQ(xyz::XmodemReceive(line, dir.File("got"), stopAt64K), xyz::kAborted);
  EXPECT_NE(access(dir.File("got").c_str(), F_OK), 0);
  EXPECT_NE(peer.Wait(20000), -1) << "the sender did not take the cancel";
}

TEST(XyModemReceiver, SilentSenderTimesOutAndTheFileIsDeleted) {
  TempDir dir;
  PtyPair pty;
  SlaveLine slave(pty);
  xyz::FdLine& line = *slave;
  pty.Write(Frame(1, std::string(128, 'a'), 0));  // one good block, then nothing
  EXPECT_EQ(xyz::XmodemReceive(line, dir.File("got"), kGoOn, kShortWaits), xyz::kTimeout);
  EXPECT_EQ(pty.Read(2, 5000), "C\x06");
  EXPECT_NE(access(dir.File("got").c_str(), F_OK), 0);
}

TEST(XyModemReceiver, TakenTargetIsRefusedAndLeftAsItWas) {
  TempDir dir;
  PtyPair pty;
  SlaveLine slave(pty);
  xyz::FdLine& line = *slave;
  WriteBytes(dir.File("got"), "keep");
  std::string senderName;
  EXPECT_EQ(xyz::XmodemReceive(line, dir.File("got"), kGoOn, kShortWaits), xyz::kFailed);
  EXPECT_EQ(xyz::YmodemReceive(line, dir.File("got"), senderName, kGoOn, kShortWaits),
            xyz::kFailed);
  EXPECT_EQ(ReadBytes(dir.File("got")), "keep");
}

TEST(XyModemReceiver, SenderNamesPointingElsewhereOnlyFillTheTarget) {
  const struct {
    const char* given;
    const char* expected;
  } cases[] = {{"../x", "x"}, {"/etc/passwd", "passwd"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    TempDir dir;
    PtyPair pty;
    SlaveLine slave(pty);
    xyz::FdLine& line = *slave;
    const std::vector<uint8_t> header = xyz::BuildFileHeader(c.given, 5, 0);
    pty.Write(Frame(0, std::string(header.begin(), header.end()), 0) +
              Frame(1, std::string("hello") + std::string(123, '\x1a'), 0x1a) + "\x04\x04" +
              Frame(0, std::string(128, '\0'), 0));
    std::string senderName;
    EXPECT_EQ(xyz::YmodemReceive(line, dir.File("got"), senderName, kGoOn, kShortWaits),
              xyz::kDone);
    EXPECT_EQ(senderName, c.expected);
    EXPECT_EQ(ReadBytes(dir.File("got")), "hello");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"got"});
  }
}

TEST(XyModemSender, RepeatsABlockOnNakAndSilenceThenGivesUp) {
  TempDir dir;
  PtyPair pty;
  SlaveLine slave(pty);
  WriteBytes(dir.File("short"), std::string(100, 'b'));
  pty.Write("C\x15");  // the request, then a NAK for the first block; silence after
  EXPECT_EQ(xyz::XmodemSend(*slave, dir.File("short"), kGoOn, kShortWaits), xyz::kTimeout);
  // Once for the request, once for the NAK, then on each silence until the patience is used up.
  const std::string block = Frame(1, std::string(100, 'b') + std::string(28, '\x1a'), 0);
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += block;
  expected += std::string(5, '\x18') + std::string(5, '\x08');
  EXPECT_EQ(pty.Read(expected.size(), 5000), expected);
}

// A receiver that got a block twice acknowledges it twice; the second answer must not count
// for the next block.
TEST(XyModemSender, SecondAcknowledgementOfARepeatedBlockIsNotTakenForTheNext) {
  TempDir dir;
  PtyPair pty;
  SlaveLine slave(pty);
  const std::string data = TestData(1100);
  WriteBytes(dir.File("two"), data);
  int result = 0;
  const xyz::XyTimings timings{1000, 1000, 3, 1, 100};
  std::thread sender([&] { result = xyz::XmodemSend(*slave, dir.File("two"), kGoOn, timings); });
  const std::string first = Frame(1, data.substr(0, 1024), 0);
  const std::string second = Frame(2, data.substr(1024) + std::string(128 - 76, '\x1a'), 0);
  pty.Write("C");
  EXPECT_EQ(pty.Read(2 * first.size(), 5000), first + first);  // silence brings it again
  pty.Write("\x06\x06");
  std::string next = pty.Read(second.size(), 5000);
  while (next == first.substr(0, second.size())) {  // a copy sent before our answers came
    (void)pty.Read(first.size() - second.size(), 5000);
    next = pty.Read(second.size(), 5000);
  }
  EXPECT_EQ(next, second);
  pty.Write("\x15");
  EXPECT_EQ(pty.Read(second.size(), 5000), second);
  pty.Write("\x06");
  EXPECT_EQ(pty.Read(1, 5000), "\x04");
  pty.Write("\x06");
  sender.join();
  EXPECT_EQ(result, xyz::kDone);
}

}  // namespace
}  // namespace quillon
