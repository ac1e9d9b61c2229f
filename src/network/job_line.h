#pragma once
// The lines of the forwarding queue: values separated by "|", read by position.
//
//   TCP/IP: time|1|port|address|tcp port|file
//   FTP:    time|2|port|host|user|password|mode|time-out|file|directory
//
// `time` is the boot clock in milliseconds when an attempt failed, 0 for a new job.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::net {

inline constexpr int kTcpJob = 1;
inline constexpr int kFtpJob = 2;

// Milliseconds since the system started (suspend included), as the 32-bit counter the job
// lines hold: a stored time ahead of it means the system was restarted meanwhile.
uint32_t BootMs();

// The values of a job line (an empty line gives one empty value).
std::vector<std::string> JobValues(std::string_view line);
// Value `k` (counted from 1), empty when the line has fewer.
std::string JobValue(std::string_view line, size_t k);
// A whole decimal number without sign that fits 32 bits unsigned; nothing otherwise.
std::optional<uint32_t> ParseCounter(std::string_view text);
// A whole decimal number (optional sign) that fits an int; nothing otherwise.
std::optional<int> ParseJobInt(std::string_view text);

// A value may go into a job line: without "|" and line breaks, which would split the line or
// the job file.
bool JobValueAllowed(std::string_view value);

std::string MakeTcpJob(uint32_t time, int port, const std::string& address, int tcpPort,
                       const std::string& file);
std::string MakeFtpJob(uint32_t time, int port, const std::string& host, const std::string& user,
                       const std::string& password, const std::string& mode, int timeoutMs,
                       const std::string& file, const std::string& directory);
// The same job with another time (the first value replaced).
std::string WithJobTime(std::string_view line, uint32_t time);

// The order of the queue: text order ignoring the case of ASCII letters.
bool JobLess(const std::string& a, const std::string& b);

// Due now: new (time 0 or not a number), 15 s (`retryMs`) after its failed attempt, or stored
// ahead of the counter (the system was restarted).
bool JobDue(std::string_view line, uint32_t now, uint32_t retryMs);

}  // namespace quillon::net
