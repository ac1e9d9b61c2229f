#pragma once
// What a running poll test reads from the setup dialog: the address list and the poll cycle.
// The dialog sets them whenever the user changes them; the test thread takes a copy before
// each poll.
#include <mutex>
#include <string>
#include <vector>

namespace quillon {

class PollTestInput {
 public:
  void SetAddresses(std::vector<std::string> addresses);
  void SetInterval(int ms);
  std::vector<std::string> Addresses() const;
  int Interval() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> addresses_;
  int interval_ = 500;
};

}  // namespace quillon
