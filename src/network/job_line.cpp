#include "network/job_line.h"

#include <time.h>

#include <algorithm>
#include <charconv>
#include <climits>

namespace quillon::net {

uint32_t BootMs() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

std::vector<std::string> JobValues(std::string_view line) {
  std::vector<std::string> values;
  for (;;) {
    const size_t bar = line.find('|');
    values.emplace_back(line.substr(0, bar));
    if (bar == std::string_view::npos) return values;
    line.remove_prefix(bar + 1);
  }
}

std::string JobValue(std::string_view line, size_t k) {
  for (size_t i = 1; i < k; ++i) {
    const size_t bar = line.find('|');
    if (bar == std::string_view::npos) return {};
    line.remove_prefix(bar + 1);
  }
  return std::string(line.substr(0, line.find('|')));
}

std::optional<uint32_t> ParseCounter(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > UINT32_MAX)
    return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<int> ParseJobInt(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool JobValueAllowed(std::string_view value) {
  return value.find_first_of("|\r\n") == std::string_view::npos;
}

std::string MakeTcpJob(uint32_t time, int port, const std::string& address, int tcpPort,
                       const std::string& file) {
  return std::to_string(time) + "|" + std::to_string(kTcpJob) + "|" + std::to_string(port) + "|" +
         address + "|" + std::to_string(tcpPort) + "|" + file;
}

std::string MakeFtpJob(uint32_t time, int port, const std::string& host, const std::string& user,
                       const std::string& password, const std::string& mode, int timeoutMs,
                       const std::string& file, const std::string& directory) {
  return std::to_string(time) + "|" + std::to_string(kFtpJob) + "|" + std::to_string(port) + "|" +
         host + "|" + user + "|" + password + "|" + mode + "|" + std::to_string(timeoutMs) + "|" +
         file + "|" + directory;
}

std::string WithJobTime(std::string_view line, uint32_t time) {
  const size_t bar = line.find('|');
  const std::string_view rest =
      bar == std::string_view::npos ? std::string_view() : line.substr(bar);
  return std::to_string(time) + std::string(rest);
}

bool JobLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
  });
}

bool JobDue(std::string_view line, uint32_t now, uint32_t retryMs) {
  const uint32_t time = ParseCounter(JobValue(line, 1)).value_or(0);
  return time == 0 || static_cast<uint64_t>(now) >= static_cast<uint64_t>(time) + retryMs ||
         time > now;
}

}  // namespace quillon::net
