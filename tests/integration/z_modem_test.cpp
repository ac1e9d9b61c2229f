// Z-Modem against lrzsz's sz and rz over pseudo-terminals, and against hand-built frames for
// the cases a well-behaved peer never produces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "protocols/zmodem.h"
#include "protocols/zmodem_frames.h"
#include "support/child_process.h"
#include "support/fault_relay.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon::xyz {
namespace {

using test::ChildProcess;
using test::FaultRelay;
using test::PtyPair;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const Progress kGoOn = [](int32_t, int32_t, const uint8_t*, int32_t) { return 0; };

Progress StopAt(int32_t bytes) {
  return
      [bytes](int32_t soFar, int32_t, const uint8_t*, int32_t) { return soFar >= bytes ? -1 : 0; };
}

// Every byte value up front (control characters, CAN, XON/XOFF, 0xFF, "@\r"), then random.
std::string Payload(size_t size) {
  std::string data = "@\r\x18\x18\x18\x18\x18\x18\x11\x13\x91\x93\xff\x7f*\030B";
  for (int c = 0; c < 256; ++c) data += static_cast<char>(c);
  std::mt19937 random(static_cast<unsigned>(size));
  while (data.size() < size) data += static_cast<char>(random());
  data.resize(size);
  return data;
}

// lrzsz's program on the line's slave side, in `cwd`.
bool StartPeer(ChildProcess& peer, const std::string& command, const std::string& slave,
               const std::string& cwd) {
  return peer.Start({"/bin/sh", "-c", "exec " + command + " <" + slave + " >" + slave}, cwd);
}

// Reads and forgets everything arriving on `fd` until it is destroyed.
class Drain {
 public:
  explicit Drain(int fd) {
    if (pipe(stop_) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this, fd] {
      char buffer[4096];
      for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents || read(fd, buffer, sizeof buffer) <= 0) return;
      }
    });
  }
  ~Drain() {
    (void)write(stop_[1], "x", 1);
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
  }

 private:
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

// The file matrix both ways: sz into our receiver, our sender into rz.
TEST(ZmodemInterop, FilesBothWaysWithLrzsz) {
  const struct {
    const char* name;
    size_t size;
  } kFiles[] = {{"empty", 0},
                {"one", 1},
                {"k1023", 1023},
                {"k1024", 1024},
                {"k1025", 1025},
                {"mib", 1u << 20},
                {"name with blanks.dat", 5000}};
  for (const auto& file : kFiles) {
    SCOPED_TRACE(file.name);
    const std::string data = Payload(file.size);
    {
      TempDir dir;
      WriteBytes(dir.File(file.name), data);
      PtyPair line;
      ChildProcess sz;
      ASSERT_TRUE(StartPeer(sz, std::string("sz -q '") + file.name + "'", line.path(), dir.path()));
      FdLine ours(line.master());
      std::string senderName;
      EXPECT_EQ(ZmodemReceive(ours, dir.File("received.tmp"), senderName, kGoOn), kDone);
      EXPECT_EQ(sz.Wait(10000), 0) << sz.err();
      EXPECT_EQ(senderName, file.name);
      EXPECT_TRUE(ReadBytes(dir.File("received.tmp")) == data);
    }
    {
      TempDir from;
      TempDir to;
      WriteBytes(from.File(file.name), data);
      PtyPair line;
      ChildProcess rz;
      ASSERT_TRUE(StartPeer(rz, "rz -q", line.path(), to.path()));
      FdLine ours(line.master());
      EXPECT_EQ(ZmodemSend(ours, from.File(file.name), kGoOn), kDone);
      EXPECT_EQ(rz.Wait(10000), 0) << rz.err();
      EXPECT_TRUE(ReadBytes(to.File(file.name)) == data);
    }
  }
}

// A line that flips bytes and loses one: ZRPOS recovery ends with the same file, receiving
// from sz (both checksums) and sending.
TEST(ZmodemFaults, DamagedLineRecoversToTheSameFile) {
  const std::string data = Payload(300 * 1024);
  const ZmodemTiming timing{1000, 10};
  // With CRC-32 subpackets, and with CRC-16 ones (sz -o).
  for (const char* command : {"sz -q data", "sz -q -o data"}) {
    SCOPED_TRACE(command);
    TempDir dir;
    WriteBytes(dir.File("data"), data);
    PtyPair peerLine;
    PtyPair ourLine;
    const int ours = open(ourLine.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(ours, 0);
    FaultRelay relay(peerLine.master(), ourLine.master(), {20000, 70000});
    ChildProcess sz;
    ASSERT_TRUE(StartPeer(sz, command, peerLine.path(), dir.path()));
    FdLine line(ours);
    std::string senderName;
    EXPECT_EQ(ZmodemReceive(line, dir.File("received.tmp"), senderName, kGoOn, timing), kDone);
    EXPECT_TRUE(ReadBytes(dir.File("received.tmp")) == data);
    EXPECT_EQ(sz.Wait(10000), 0) << sz.err();
    close(ours);
  }
  {
    // Our sender into our receiver: lrzsz's rz itself now and then crashes (a double free) on
    // such a line, which would make the test fail for the peer's fault.
    TempDir dir;
    WriteBytes(dir.File("data"), data);
    PtyPair senderLine;
    PtyPair receiverLine;
    const int sending = open(senderLine.path().c_str(), O_RDWR | O_NOCTTY);
    const int receiving = open(receiverLine.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(sending, 0);
    ASSERT_GE(receiving, 0);
    FaultRelay relay(senderLine.master(), receiverLine.master(), {20000, 70000});
    int received = 0;
    std::thread receiver([&] {
      FdLine line(receiving);
      std::string senderName;
      received = ZmodemReceive(line, dir.File("received.tmp"), senderName, kGoOn, timing);
    });
    FdLine line(sending);
    EXPECT_EQ(ZmodemSend(line, dir.File("data"), kGoOn, timing), kDone);
    receiver.join();
    EXPECT_EQ(received, kDone);
    EXPECT_TRUE(ReadBytes(dir.File("received.tmp")) == data);
    close(sending);
    close(receiving);
  }
}

// A stop through the progress callback ends both sides with kAborted; the receiver's partial
// file is gone and the peer is cancelled.
TEST(ZmodemFaults, ProgressStopEndsTheTransfer) {
  const std::string data = Payload(1u << 20);
  {
    TempDir dir;
    WriteBytes(dir.File("data"), data);
    PtyPair line;
    ChildProcess sz;
    ASSERT_TRUE(StartPeer(sz, "sz -q data", line.path(), dir.path()));
    FdLine ours(line.master());
    std::string senderName;
    EXPECT_EQ(ZmodemReceive(ours, dir.File("received.tmp"), senderName, StopAt(100000)), kAborted);
    EXPECT_NE(access(dir.File("received.tmp").c_str(), F_OK), 0);
    {
      // sz may be stuck writing into the full line; it sees the cancel once it can write.
      Drain drain(line.master());
      EXPECT_NE(sz.Wait(10000), 0) << "sz was cancelled";
    }
  }
  {
    TempDir from;
    TempDir to;
    WriteBytes(from.File("data"), data);
    PtyPair line;
    ChildProcess rz;
    ASSERT_TRUE(StartPeer(rz, "rz -q", line.path(), to.path()));
    FdLine ours(line.master());
    EXPECT_EQ(ZmodemSend(ours, from.File("data"), StopAt(100000)), kAborted);
    EXPECT_NE(rz.Wait(10000), 0) << "rz was cancelled";

    PtyPair silent;
    FdLine nobody(silent.master());
    EXPECT_EQ(ZmodemSend(nobody, from.File("data"), StopAt(0), ZmodemTiming{200, 5}), kAborted)
        << "a stop is noticed while no receiver answers";
  }
}

// Frames as a sender writes them, built with the framing functions.
class HandSender {
 public:
  explicit HandSender(bool crc32 = true) : crc32_(crc32) {}
  HandSender& Frame(uint8_t type, uint32_t position) {
    zmodem::Header header = zmodem::Header::AtPosition(type, position);
    header.format = crc32_ ? zmodem::HeaderFormat::kBin32 : zmodem::HeaderFormat::kBin16;
    zmodem::AppendHeader(bytes_, header);
    return *this;
  }
  HandSender& Data(const std::string& data, uint8_t end) {
    zmodem::AppendSubpacket(bytes_, reinterpret_cast<const uint8_t*>(data.data()), data.size(), end,
                            crc32_);
    return *this;
  }
  HandSender& File(const std::string& name, size_t size) {
    return Frame(zmodem::kZfile, 0)
        .Data(name + '\0' + std::to_string(size) + " 0 644", zmodem::kZcrcw);
  }
  std::string bytes() const { return std::string(bytes_.begin(), bytes_.end()); }
  // Writes the frames to the far end of `line`, for the receiver on its master side.
  static void Play(const PtyPair& line, const std::string& bytes) {
    const int slave = open(line.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_EQ(write(slave, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(slave);
  }

 private:
  bool crc32_;
  std::vector<uint8_t> bytes_;
};

// What a sender says never decides where data goes, and nothing existing is written over; a
// sender that goes silent in the middle of the file ends in a time-out without a file.
TEST(ZmodemFaults, HostileAndSilentSenders) {
  const ZmodemTiming quick{200, 5};
  const struct {
    std::string given;
    std::string senderName;
    bool crc32;  // the subpackets' CRC follows the header's kind
  } kNames[] = {
      {"../x", "x", true}, {"/etc/passwd", "passwd", false}, {"quillon.ini", "quillon.ini", true}};
  for (const auto& name : kNames) {
    SCOPED_TRACE(name.given);
    // The receiving folder sits inside a folder of our own, so its parent can be checked.
    TempDir outer;
    const std::string in = outer.File("in");
    ASSERT_EQ(mkdir(in.c_str(), 0700), 0);
    const auto inFile = [&](const std::string& n) { return in + "/" + n; };
    WriteBytes(inFile("quillon.ini"), "keep");
    PtyPair line;
    HandSender sender(name.crc32);
    sender.File(name.given, 5)
        .Frame(zmodem::kZdata, 0)
        .Data("hello", zmodem::kZcrce)
        .Frame(zmodem::kZeof, 5)
        .Frame(zmodem::kZfin, 0);
    HandSender::Play(line, sender.bytes() + "OO");
    FdLine ours(line.master());
    std::string senderName;
    EXPECT_EQ(ZmodemReceive(ours, inFile("received.tmp"), senderName, kGoOn, quick), kDone);
    EXPECT_EQ(senderName, name.senderName);
    EXPECT_EQ(ReadBytes(inFile("received.tmp")), "hello");
    EXPECT_EQ(ReadBytes(inFile("quillon.ini")), "keep");
    EXPECT_NE(access(outer.File("x").c_str(), F_OK), 0);

    std::string again;
    HandSender::Play(line, sender.bytes());
    EXPECT_EQ(ZmodemReceive(ours, inFile("quillon.ini"), again, kGoOn, quick), kFailed)
        << "an existing target is refused";
    EXPECT_EQ(ReadBytes(inFile("quillon.ini")), "keep");
  }
  TempDir dir;
  PtyPair line;
  FdLine ours(line.master());
  std::string senderName;
  HandSender silent;
  silent.File("data", 5000).Frame(zmodem::kZdata, 0).Data(std::string(1024, 'a'), zmodem::kZcrcg);
  HandSender::Play(line, silent.bytes());
  EXPECT_EQ(ZmodemReceive(ours, dir.File("received.tmp"), senderName, kGoOn, quick), kTimeout);
  EXPECT_NE(access(dir.File("received.tmp").c_str(), F_OK), 0);

  HandSender chatty;
  for (int i = 0; i < 120; ++i) chatty.Frame(zmodem::kZrqinit, 0);
  HandSender::Play(line, chatty.bytes());
  EXPECT_EQ(ZmodemReceive(ours, dir.File("received.tmp"), senderName, kGoOn, quick), kFailed)
      << "a sender that never sends data is given up, not answered forever";
}

}  // namespace
}  // namespace quillon::xyz
