// Benchmark of the forwarding: stored files of 10 KB uploaded by our FTP session to a server on
// loopback, against `curl -T` uploading the same files in the same run (time per file, the
// thread's 1 s pause between jobs left out), and what the forwarding thread costs while its
// queue is empty (processor time and wake-ups).
//
// Usage: bench_forwarding [files]
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/clock.h"
#include "network/ftp_session.h"
#include "network/internet_thread.h"
#include "network/job_queue.h"
#include "support/child_process.h"
#include "support/ftp_server.h"
#include "support/temp_dir.h"

using namespace quillon;

namespace {

constexpr double kGoal = 1.2;
constexpr double kIdleGoalPercent = 0.1;
constexpr int kIdleSeconds = 10;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Voluntary context switches of every thread of this process: how often they woke up.
long Wakeups() {
  long total = 0;
  DIR* tasks = opendir("/proc/self/task");
  while (dirent* entry = tasks != nullptr ? readdir(tasks) : nullptr) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::atol(line.c_str() + 24);
    }
  }
  if (tasks != nullptr) closedir(tasks);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  test::TempDir dir;
  test::FtpServer server;
  if (!server.running()) {
    std::fprintf(stderr, "the FTP server did not start\n");
    return 1;
  }
  server.MakeDir("ours");
  server.MakeDir("curl");
  std::mt19937 random(7);
  std::vector<std::string> paths;
  for (int i = 0; i < files; ++i) {
    std::string data(10 * 1024, '\0');
    for (char& c : data) c = static_cast<char>(random());
    paths.push_back(dir.File("f" + std::to_string(i) + ".dat"));
    test::WriteBytes(paths.back(), data);
  }

  // Alternating, so that both meet the same state of the machine.
  const std::atomic<bool> goOn{false};
  const net::FtpAccount account{server.host(), server.user(), server.password(), 10000};
  const std::string curlBase =
      "ftp://" + server.user() + ":" + server.password() + "@" + server.host();
  std::vector<double> ours, curl;
  for (int i = 0; i < files; ++i) {
    uint64_t start = Clock();
    const net::FtpOutcome outcome = net::FtpUpload(account, "ours", false, paths[i], goOn);
    ours.push_back(static_cast<double>(Clock() - start));
    if (!outcome.ok) {
      std::fprintf(stderr, "upload %d failed: %s\n", i, outcome.lastReply.c_str());
      return 1;
    }
    test::ChildProcess child;
    start = Clock();
    if (test::RunToEnd(child,
                       {"/usr/bin/curl", "-s", "-S", "--ftp-port", "-", "--disable-eprt", "-T",
                        paths[i], curlBase + "/curl/"},
                       dir.path(), {}, 30000) != 0) {
      std::fprintf(stderr, "curl %d failed: %s\n", i, child.err().c_str());
      return 1;
    }
    curl.push_back(static_cast<double>(Clock() - start));
  }
  for (int i = 0; i < files; ++i) {
    const std::string name = "f" + std::to_string(i) + ".dat";
    if (test::ReadBytes(server.HomeFile("ours/" + name)) != test::ReadBytes(paths[i])) {
      std::fprintf(stderr, "%s arrived damaged\n", name.c_str());
      return 1;
    }
  }
  const auto mean = [](const std::vector<double>& v) {
    double sum = 0;
    for (const double x : v) sum += x;
    return sum / static_cast<double>(v.size());
  };
  const double ratio = mean(ours) / std::max(0.001, mean(curl));
  std::printf(
      "%d files of 10 KB by FTP: ours %.1f ms per file, curl -T %.1f ms per file, ratio %.2f (goal "
      "<= %.2f)\n",
      files, mean(ours), mean(curl), ratio, kGoal);

  // The thread with an empty queue.
  net::JobQueue queue(dir.File("idle.job"));
  queue.Load();
  double cpu = 0;
  long wakeups = 0;
  {
    net::TInternetThread thread(queue, [](int, const std::string&, int) {});
    Delay(1500);
    const double cpuBefore = CpuSeconds();
    const long wakeupsBefore = Wakeups();
    Delay(kIdleSeconds * 1000);
    cpu = CpuSeconds() - cpuBefore;
    // The main thread's own sleep is one wake-up.
    wakeups = Wakeups() - wakeupsBefore - 1;
  }
  const double percent = 100.0 * cpu / kIdleSeconds;
  std::printf(
      "idle forwarding thread: %.3f %% of a core, %.1f wake-ups per second (goal: < %.1f %%, one "
      "pass a second)\n",
      percent, static_cast<double>(wakeups) / kIdleSeconds, kIdleGoalPercent);
  const bool met = ratio <= kGoal && percent < kIdleGoalPercent && wakeups <= kIdleSeconds + 1;
  return met ? 0 : 2;
}
