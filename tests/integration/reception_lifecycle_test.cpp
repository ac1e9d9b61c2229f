// A line that dies under the running receiver and comes back: reported once, waited for
// quietly, and received on again by itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "support/child_process.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::kBin;
using test::Key;
using test::kS2;
using test::kS3;
using test::kWaitMs;
using test::ReadBytes;
using test::Station;
using test::WriteBytes;

// socat joining two pseudo-terminals under stable names, as a USB adapter that can be unplugged:
// the receiver's end and the terminal's end.
class Cable {
 public:
  Cable(std::string receiverEnd, std::string terminalEnd)
      : receiverEnd_(std::move(receiverEnd)), terminalEnd_(std::move(terminalEnd)) {}

  bool PlugIn() {
    socat_ = std::make_unique<ChildProcess>();
    if (!socat_->Start({"/usr/bin/socat", "-d", "-d", "pty,raw,echo=0,link=" + receiverEnd_,
                        "pty,raw,echo=0,link=" + terminalEnd_},
                       "/")) {
      return false;
    }
    // socat says when both ends exist and it moves data.
    return socat_->WaitForOutput("starting data transfer loop", kWaitMs);
  }
  void Unplug() {
    socat_->Signal(SIGTERM);
    socat_->Wait(kWaitMs);
    socat_.reset();
  }

 private:
  std::string receiverEnd_;
  std::string terminalEnd_;
  std::unique_ptr<ChildProcess> socat_;
};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// CPU time of a process in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  std::vector<std::string> fields;
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  all = all.substr(all.rfind(')') + 2);  // the program name may hold blanks
  size_t start = 0;
  for (int i = 0; i < 13; ++i) {
    const size_t end = all.find(' ', start);
    fields.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return std::stol(fields[11]) + std::stol(fields[12]);  // utime, stime
}

TEST(ReceptionLifecycle, ALineThatDiesIsReportedOnceWaitsQuietlyAndReceivesWhenBack) {
  if (access("/usr/bin/socat", X_OK) != 0) GTEST_SKIP() << "socat is not installed";
  Station s;
  const std::string line = s.dir.File("ttyV0");
  const std::string terminal = s.dir.File("ttySim");
  Cable cable(line, terminal);
  ASSERT_TRUE(cable.PlugIn());
  s.RemapOnly(1, line);
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
             {Key(kS2, "Header"), "0"},
             {Key(kS2, "Typzeichen"), "0"}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_TRUE(s.receiver.WaitForOutput("Schnittstelle wird geöffnet", kWaitMs)) << s.receiver.out();

  cable.Unplug();
  const std::string broken = "Die geöffnete Schnittstelle ist nicht mehr funktionstüchtig";
  ASSERT_TRUE(s.receiver.WaitForOutput(broken, kWaitMs)) << s.receiver.out();

  // While the line is away the thread sleeps between its attempts instead of spinning: over
  // some seconds it takes a small part of one core (a spinning thread takes all of it).
  const long ticksBefore = CpuTicks(s.receiver.pid());
  const uint64_t start = Clock();
  Delay(3000);
  const long ticks = CpuTicks(s.receiver.pid()) - ticksBefore;
  const double seconds = static_cast<double>(Clock() - start) / 1000.0;
  EXPECT_LT(static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)), seconds / 4)
      << "CPU time while the line is away";

  ASSERT_TRUE(cable.PlugIn());
  WriteBytes(s.dir.File("daten.txt"), "nach dem Stecken\r\n");
  ChildProcess sim;
  ASSERT_TRUE(sim.Start({kBin + "/quillon-sim", "--device", terminal, "--send", "daten.txt"},
                        s.dir.path()));
  EXPECT_EQ(sim.Wait(kWaitMs), 0) << sim.err();
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "nach dem Stecken\r\n");
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_EQ(Count(s.receiver.out(), broken), 1) << s.receiver.out();
  EXPECT_EQ(Count(s.receiver.out(), "Schnittstelle wird geöffnet"), 2) << s.receiver.out();
  cable.Unplug();
}

}  // namespace
}  // namespace quillon
