#pragma once
// Copies between two pseudo-terminal masters in a thread, damaging what goes one way: a line
// with noise for transfer tests.
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace quillon::test {

class FaultRelay {
 public:
  struct Faults {
    size_t flipEvery = 0;       // one byte in so many is flipped (0: none)
    size_t dropAt = SIZE_MAX;   // the byte at this position is lost
    size_t extraAt = SIZE_MAX;  // a stray byte is put in before this position
  };
  // Bytes from `source` to `sink` get `faults`; the answers from `sink` pass unharmed.
  FaultRelay(int source, int sink, Faults faults);
  ~FaultRelay();
  FaultRelay(const FaultRelay&) = delete;
  FaultRelay& operator=(const FaultRelay&) = delete;

 private:
  void Run();
  std::string Damage(const unsigned char* bytes, size_t count);

  int source_;
  int sink_;
  Faults faults_;
  size_t passed_ = 0;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace quillon::test
