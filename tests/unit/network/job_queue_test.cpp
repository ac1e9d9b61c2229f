// The forwarding queue: which jobs are due, the queue order, and the job file that must hold
// every accepted job and never a line that could not be worked.
#include "network/job_queue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "network/forwarding.h"
#include "network/job_line.h"
#include "support/temp_dir.h"

namespace quillon::net {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(JobLine, DueNewRetriedAndAfterARestart) {
  const struct {
    const char* time;
    uint32_t now;
    bool due;
  } cases[] = {
      {"0", 5, true},          // new, even in the first seconds after boot
      {"1000", 15999, false},  // waits 15 s after its failed attempt
      {"1000", 16000, true},
      {"4294967295", 4294967295u, false},  // near the counter's top: no overflow
      {"90000", 1000, true},               // stored ahead of the counter: the system restarted
      {"x", 7, true},                      // not a number counts as 0
      {"3000000000", 3000014999u, false},  // more than 2^31: still a time, not a bad line
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JobDue(std::string(c.time) + "|1|1|h|7|f", c.now, 15000), c.due)
        << c.time << " " << c.now;
  }
  EXPECT_EQ(ParseCounter("3000000000"), 3000000000u);
  EXPECT_FALSE(ParseCounter("4294967296"));
  EXPECT_FALSE(ParseCounter("-1"));
  EXPECT_EQ(WithJobTime("0|2|3|h|u|p|A|5|f|d", 77), "77|2|3|h|u|p|A|5|f|d");
  EXPECT_EQ(JobFileFor("/opt/q/quillon.ini"), "/opt/q/quillon.job");
  EXPECT_FALSE(JobValueAllowed("a|b"));
  EXPECT_FALSE(JobValueAllowed("a\nb"));
}

TEST(JobQueue, EveryChangeIsInTheFileAndBadPortsAreMovedOut) {
  TempDir dir;
  const std::string file = dir.File("quillon.job");
  // Garbage, a port 9 and a port "x" go to the .bad file; the rest stays in text order.
  WriteBytes(file, "5000|1|2|h|7|B\r\n0|1|9|h|7|c\r\ngarbage\r\n\r\n0|1|1|H|7|a\n");
  JobQueue queue(file);
  EXPECT_EQ(queue.Load(), 2);
  EXPECT_EQ(ReadBytes(file + ".bad"), "0|1|9|h|7|c\r\ngarbage\r\n");
  EXPECT_EQ(ReadBytes(file), "0|1|1|H|7|a\r\n5000|1|2|h|7|B\r\n");

  // A handed-over job is in the file before AddJob returns.
  ASSERT_TRUE(queue.AddJob("0|2|3|h|u|p|A|5|f|d"));
  EXPECT_EQ(ReadBytes(file), "0|1|1|H|7|a\r\n0|2|3|h|u|p|A|5|f|d\r\n5000|1|2|h|7|B\r\n");

  // New jobs first; a retried one after its 15 s.
  EXPECT_EQ(queue.SelectJob(10000, 15000), 0);
  ASSERT_TRUE(queue.ReplaceJob(0, WithJobTime(queue.Job(0), 10000)));
  EXPECT_EQ(queue.Job(0), "0|2|3|h|u|p|A|5|f|d");
  ASSERT_TRUE(queue.DeleteJob(0));
  EXPECT_EQ(queue.SelectJob(20000, 15000), 1);  // "5000|..." is due, "10000|..." not yet
  EXPECT_EQ(queue.Job(1), "5000|1|2|h|7|B");
  ASSERT_TRUE(queue.DeleteJob(1));
  EXPECT_EQ(queue.SelectJob(24999, 15000), -1);
  EXPECT_EQ(queue.SelectJob(25000, 15000), 0);
  ASSERT_TRUE(queue.DeleteJob(0));
  EXPECT_NE(access(file.c_str(), F_OK), 0) << "an empty queue leaves no job file";

  // A job file that cannot be read (here: a directory) is never written over.
  ASSERT_EQ(mkdir(file.c_str(), 0700), 0);
  JobQueue unreadable(file);
  unreadable.Load();
  EXPECT_FALSE(unreadable.readable());
  EXPECT_FALSE(unreadable.AddJob("0|1|2|h|7|b"));
  struct stat info {};
  EXPECT_TRUE(stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

}  // namespace
}  // namespace quillon::net
