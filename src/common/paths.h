#pragma once
// Small path helpers. Paths use '/' and are never case-folded.
#include <string>

namespace quillon {

// The running program file (from /proc/self/exe), or `fallback` when that cannot be read.
std::string ExecutablePath(const std::string& fallback);

// "dir/" for "dir/name"; "./" for a bare name.
std::string DirectoryPart(const std::string& path);
// "name" for "dir/name".
std::string FileNamePart(const std::string& path);
// The file name with everything from its last '.' removed ("quillon.bin" -> "quillon").
std::string BaseNameWithoutExtension(const std::string& path);
// `path` with its file name's extension replaced by `ext` (".ini"), or `ext` appended.
std::string ReplaceExtension(const std::string& path, const std::string& ext);
// Appends '/' unless the text already ends in one.
std::string WithTrailingSlash(std::string dir);
// An absolute, lexically normalised form of `path` against the current directory.
std::string AbsolutePath(const std::string& path);
// Creates the directory and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& dir);
// True when the directory exists and files may be created in it.
bool IsWritableDirectory(const std::string& dir);

}  // namespace quillon
