#include "receive/local_store.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/format.h"
#include "common/paths.h"
#include "common/texts.h"

namespace quillon {
namespace {

// The names of the local files in `dir` with their numbers; false when it cannot be read.
bool ScanLocalFiles(const std::string& dir, std::vector<std::pair<int, std::string>>& found) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return errno == ENOENT;
  errno = 0;
  while (const dirent* entry = readdir(d)) {
    if (const auto number = LocalFileNumber(entry->d_name))
      found.emplace_back(*number, entry->d_name);
    errno = 0;
  }
  const bool ok = errno == 0;
  closedir(d);
  return ok;
}

}  // namespace

std::string LocalStoreDir(const std::string& programDir, int port) {
  return Format(txt::kLocalStoreDir, WithTrailingSlash(programDir), port);
}

std::string LocalFileName(int number) {
  return Format("%s%05d%s", txt::kLocalFilePrefix, number, txt::kLocalFileSuffix);
}

std::optional<int> LocalFileNumber(const std::string& fileName) {
  const std::string prefix = txt::kLocalFilePrefix;
  const std::string suffix = txt::kLocalFileSuffix;
  if (fileName.size() <= prefix.size() + suffix.size()) return std::nullopt;
  if (fileName.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  if (fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::nullopt;
  }
  const std::string digits =
      fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
  if (digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::stoi(digits);
}

std::optional<int> NextLocalFileNumber(const std::string& dir) {
  std::vector<std::pair<int, std::string>> found;
  if (!ScanLocalFiles(dir, found)) return std::nullopt;
  int highest = 0;
  for (const auto& [number, name] : found) highest = std::max(highest, number);
  if (highest >= kMaxLocalFileNumber) return std::nullopt;
  return highest + 1;
}

std::optional<std::vector<std::string>> ListLocalFiles(const std::string& dir) {
  std::vector<std::pair<int, std::string>> found;
  if (!ScanLocalFiles(dir, found)) return std::nullopt;
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  const std::string base = WithTrailingSlash(dir);
  for (const auto& entry : found) names.push_back(base + entry.second);
  return names;
}

}  // namespace quillon
