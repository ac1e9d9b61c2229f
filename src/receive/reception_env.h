#pragma once
// What the receive threads share with the main thread: the settings, the ports' status records,
// the shutdown state and the way to the user.
//
// Held by shared_ptr: each receive thread keeps its own reference, so a thread that had to be
// given up at exit still finds everything it touches after the application object is gone. Its
// reports then reach nobody, because the receiver detaches `ui` from the face on exit.
#include <functional>
#include <memory>
#include <string>

#include "common/detachable_sink.h"
#include "common/shutdown_state.h"
#include "config/settings_types.h"
#include "network/forwarding.h"
#include "receive/my_threads.h"

namespace quillon {

struct ReceptionEnv {
  explicit ReceptionEnv(UiSink& face) : ui(face) {}
  ReceptionEnv(const ReceptionEnv&) = delete;
  ReceptionEnv& operator=(const ReceptionEnv&) = delete;

  AppContext app;
  PortStatusArray status;
  ShutdownState shutdown;
  DetachableSink ui;
  // Called after a successful store and post-processing (the forwarding queue's entry point).
  std::function<void(int port, const std::string& storedFile)> forward;
  // The forwarding of stored files (set up by the reception control). Last, so that it ends
  // first: its thread still reports through the members above while it stops.
  std::unique_ptr<net::Forwarding> forwarding;
};

}  // namespace quillon
