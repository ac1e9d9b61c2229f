#include "stop.h"

namespace sim {
namespace {

volatile sig_atomic_t g_stop = 0;
sigset_t g_waitMask;

void OnStopSignal(int) { g_stop = 1; }

}  // namespace

void InstallStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigprocmask(SIG_BLOCK, &stopSignals, &g_waitMask);
  sigdelset(&g_waitMask, SIGTERM);
  sigdelset(&g_waitMask, SIGINT);
}

bool StopRequested() { return g_stop != 0; }

const sigset_t* WaitMask() { return &g_waitMask; }

}  // namespace sim
