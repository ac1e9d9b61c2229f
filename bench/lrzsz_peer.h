#pragma once
// What the X/Y/Z-Modem benchmarks share: lrzsz programs started with their input and output on
// a given line, and the check of a transferred file.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "protocols/xyz_common.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon::bench {

inline const xyz::Progress kGoOn = [](int32_t, int32_t, const uint8_t*, int32_t) { return 0; };

// Starts `command` through the shell with its input from `in` and its output to `out` (a path,
// or "&<fd>" for a descriptor the child inherits).
inline bool StartOn(test::ChildProcess& child, const std::string& command, const std::string& in,
                    const std::string& out, const std::string& cwd) {
  return child.Start({"/bin/sh", "-c", "exec " + command + " <" + in + " >" + out}, cwd);
}

// The redirection target naming the line's master side.
inline std::string OnMaster(const test::PtyPair& line) {
  return "&" + std::to_string(line.master());
}

inline bool Same(const std::string& path, const std::string& data) {
  return test::ReadBytes(path) == data;
}

// The middle value (the upper one of an even count); -1 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// `mib` MiB of random bytes, the same in every run, written to `dir`/data; the bytes.
inline std::string RandomDataFile(const test::TempDir& dir, int mib) {
  std::string data(static_cast<size_t>(mib) << 20, '\0');
  std::mt19937 random(12345);
  for (char& c : data) c = static_cast<char>(random());
  test::WriteBytes(dir.File("data"), data);
  return data;
}

}  // namespace quillon::bench
