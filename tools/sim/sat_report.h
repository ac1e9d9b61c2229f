#pragma once
// What the satellite simulator reports: events on stdout, and optionally every exchange with a
// CLOCK_MONOTONIC timestamp in a log file, the records accepted for terminals and the lines
// taken over by the PC in files of their own. The timestamps of two simulator processes on one
// machine can be compared directly.
#include <cstdio>
#include <string>
#include <string_view>

namespace sim {

// Seconds of CLOCK_MONOTONIC with six decimals.
std::string MonotonicStamp();
// Bytes as 7-bit text for the log and the files: control bytes, bytes from 127 on and
// backslash as \xHH.
std::string LogText(std::string_view bytes);

class SatReport {
 public:
  SatReport() = default;
  ~SatReport();
  SatReport(const SatReport&) = delete;
  SatReport& operator=(const SatReport&) = delete;

  // Opens (empties) the files that are not empty names; false with a German message.
  bool Open(const std::string& logFile, const std::string& acceptedFile,
            const std::string& confirmedFile, std::string& error);

  // A line on stdout.
  void Event(const std::string& line);
  // A line in the log file, behind a timestamp.
  void Log(const std::string& line);
  void Accepted(const std::string& line);
  void Confirmed(const std::string& line);

 private:
  static void Append(std::FILE* file, const std::string& line);
  std::FILE* log_ = nullptr;
  std::FILE* accepted_ = nullptr;
  std::FILE* confirmed_ = nullptr;
};

}  // namespace sim
