#pragma once
// The TCP/IP forwarding of one file: connect (blocking, with a time-out), send the file's whole
// content, close. Nothing is sent before or after the file's bytes and nothing is read.
#include <atomic>
#include <functional>
#include <string>

namespace quillon::net {

enum class TcpStep { kOpen, kSend, kClose };

struct TcpOutcome {
  bool opened = false;  // the connection was made
  bool sent = false;    // every byte of the file went out
  bool closed = false;  // the close went without error
  bool ok() const { return opened && sent && closed; }
};

// `address` is a host name or IPv4/IPv6 address. `onStep(step, ok)` is called after each step
// (open, send, close) so that the caller reports them in order. A set stop flag ends a connect
// or send within a fraction of a second (the step fails).
[[nodiscard]] TcpOutcome TcpSendFile(const std::string& address, int port, const std::string& file,
                                     int connectTimeoutMs, const std::atomic<bool>& stop,
                                     const std::function<void(TcpStep, bool ok)>& onStep = {});

}  // namespace quillon::net
