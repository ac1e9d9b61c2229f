#pragma once
// A TCP listener on 127.0.0.1 for tests: accepts one connection after the other on its own
// thread and keeps, per connection, every byte the peer sent until it closed.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace quillon::test {

class TcpListener {
 public:
  // Listening once constructed, on `port` or (0) on a free one.
  explicit TcpListener(int port = 0);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  bool listening() const { return port_ > 0; }
  int port() const { return port_; }
  // Waits until a peer has connected, sent and closed, and hands over its bytes (oldest
  // connection first). False when none ended within `timeoutMs`.
  bool WaitForConnection(std::string& bytes, int timeoutMs);

 private:
  void Serve();
  std::string Collect(int fd);

  int listenFd_ = -1;
  int port_ = 0;
  bool stopping_ = false;  // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable ended_;
  std::deque<std::string> connections_;
  std::thread thread_;
};

}  // namespace quillon::test
