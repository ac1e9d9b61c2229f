#include "common/single_instance.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <thread>

#include "common/main_loop.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

TEST(SingleInstance, SecondInstanceIsRefusedAndCanKnock) {
  test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  SingleInstance first("quillon-test");
  ASSERT_TRUE(first.Acquire());
  SingleInstance second("quillon-test");
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(second.AskRunningInstanceToRaise());
  pollfd pfd{first.raiseRequestFd(), POLLIN, 0};
  ASSERT_EQ(poll(&pfd, 1, 2000), 1);
  EXPECT_TRUE(first.TakeRaiseRequest());
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, LockIsFreedWithTheInstance) {
  test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    SingleInstance first("quillon-test");
    ASSERT_TRUE(first.Acquire());
  }
  SingleInstance again("quillon-test");
  EXPECT_TRUE(again.Acquire());
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(MainLoop, RunsPostedTasksAndTimersInOrder) {
  MainLoop loop;
  std::vector<std::string> seen;
  const int64_t start = MonotonicMs();
  int ticks = 0;
  loop.AddTimer(30, true, [&] {
    seen.push_back("tick");
    if (++ticks == 2) loop.Quit(7);
  });
  const int cancelled = loop.AddTimer(5, false, [&] { seen.push_back("cancelled"); });
  loop.CancelTimer(cancelled);
  std::thread worker([&] { loop.Post([&] { seen.push_back("posted"); }); });
  worker.join();
  EXPECT_EQ(loop.Run(), 7);
  EXPECT_EQ(seen, (std::vector<std::string>{"posted", "tick", "tick"}));
  EXPECT_GE(MonotonicMs() - start, 60);
}

}  // namespace
}  // namespace quillon
