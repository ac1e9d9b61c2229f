#include "sat_report.h"

#include <time.h>

#include "block.h"
#include "output.h"

namespace sim {
namespace {

bool OpenFile(const std::string& path, std::FILE*& file, std::string& error) {
  if (path.empty()) return true;
  file = std::fopen(path.c_str(), "w");
  if (file == nullptr) error = "Datei " + path + " kann nicht geschrieben werden";
  return file != nullptr;
}

}  // namespace

std::string MonotonicStamp() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char text[40];
  std::snprintf(text, sizeof text, "%lld.%06ld", static_cast<long long>(now.tv_sec),
                now.tv_nsec / 1000);
  return text;
}

std::string LogText(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += b < 0x20 || b >= 0x7F || c == '\\' ? "\\x" + Hex2(b) : std::string(1, c);
  }
  return out;
}

SatReport::~SatReport() {
  for (std::FILE* file : {log_, accepted_, confirmed_}) {
    if (file != nullptr) std::fclose(file);
  }
}

bool SatReport::Open(const std::string& logFile, const std::string& acceptedFile,
                     const std::string& confirmedFile, std::string& error) {
  return OpenFile(logFile, log_, error) && OpenFile(acceptedFile, accepted_, error) &&
         OpenFile(confirmedFile, confirmed_, error);
}

void SatReport::Append(std::FILE* file, const std::string& line) {
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  // Flushed per line: a test reads the file while the simulator still runs.
  std::fflush(file);
}

void SatReport::Event(const std::string& line) { Say(line); }

void SatReport::Log(const std::string& line) { Append(log_, MonotonicStamp() + " " + line); }

void SatReport::Accepted(const std::string& line) { Append(accepted_, line); }

void SatReport::Confirmed(const std::string& line) { Append(confirmed_, line); }

}  // namespace sim
