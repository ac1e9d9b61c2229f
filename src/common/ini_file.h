#pragma once
// Profile ("ini") files: [section] headers and key=value lines.
//
// `IniDocument` is the parsed content of one file. It keeps every line as the bytes it was read
// as, so comments, unknown sections and keys, their order, line ends and the file's encoding
// survive a rewrite; only the lines whose values change are re-encoded. Section and key names are
// matched without regard to case. When a section or key occurs twice, the first one counts.
//
// `IniFile` names a file on disk. Each operation opens the file, does its work and releases it;
// a missing file reads as empty. A file that exists but cannot be read (no permission, not a
// regular file, a loop of links, too large) reads as empty too, but is never written: every
// write reads the file first and gives up when that fails, so what cannot be read is never
// replaced by what little the program knows of it. Writes replace the file atomically
// (temporary file beside it, fsync, rename), so a crash or a full disk never leaves it
// half-written.
//
// Text in and out is UTF-8. A file is decoded as UTF-8 when it is valid UTF-8 and holds
// non-ASCII bytes (edited on Linux), otherwise as Windows-1252, and it is written back in the
// encoding it was read in. New files are Windows-1252 with CR LF line ends.
//
// Thread safety: none; callers serialise access to one file (settings are touched by the main
// thread only).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class TextEncoding { Cp1252, Utf8 };

class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view bytes);
  // The empty stand-in for a file that exists but could not be read (errno `error`).
  static IniDocument Unreadable(int error);
  std::string Serialize() const;

  TextEncoding encoding() const { return encoding_; }
  // Why the file this stands for could not be read (an errno value), 0 when it was read or is
  // missing. Such a document is never stored.
  int readError() const { return readError_; }

  // The value of a key with blanks around it removed (and one pair of enclosing double quotes,
  // as the Windows profile functions do), or nothing when the key is absent.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;

  // Replaces the value of an existing key (the line keeps its key spelling) or adds the key at
  // the end of its section; a missing section is appended to the file. Line breaks inside the
  // value become blanks: a value is one line.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every occurrence of the section with all its lines. False when there was none.
  bool EraseSection(std::string_view section);
  // Empties the section but keeps its header where it is (further occurrences are removed), so
  // a section rewritten key by key keeps its place in the file. Creates nothing when absent.
  void ClearSection(std::string_view section);

  // "key=value" for every key line of the section, in file order.
  std::vector<std::string> SectionLines(std::string_view section) const;
  std::vector<std::string> SectionKeys(std::string_view section) const;
  std::vector<std::string> SectionNames() const;

 private:
  enum class LineKind { Other, Section, Key };
  struct Line {
    std::string raw;  // bytes as in the file, without the line end
    std::string eol;  // "\r\n", "\n", "\r" or "" for a last line without one
    LineKind kind = LineKind::Other;
    std::string name;   // section or key name, UTF-8
    std::string value;  // key lines: value, UTF-8
  };
  static Line MakeLine(std::string raw, std::string eol, TextEncoding enc);
  std::string Encode(std::string_view utf8) const;
  // Index of the first header of `section`, or npos.
  size_t FindSection(std::string_view section) const;
  size_t FindNextSection(std::string_view section, size_t from) const;
  // One past the last line belonging to the section that starts at `header`.
  size_t SectionEnd(size_t header) const;
  std::string NewLineEnd() const;

  std::vector<Line> lines_;
  TextEncoding encoding_ = TextEncoding::Cp1252;
  bool bom_ = false;
  int readError_ = 0;
};

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // The file's content; see IniDocument::readError for a file that exists but cannot be read.
  IniDocument Load() const;
  // Writes the document atomically and flushes it to disk. False (with errno set) on failure,
  // and for a document that stands for an unreadable file; the file on disk is then unchanged.
  [[nodiscard]] bool Store(const IniDocument& doc) const;
  // Load, change, store: one access. Nothing is written when the load failed.
  [[nodiscard]] bool Update(const std::function<void(IniDocument&)>& change) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Integer value; the default when the key is missing or not a whole number in range.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Any non-zero integer is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  std::vector<std::string> ReadSectionLines(std::string_view section) const;
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;

  [[nodiscard]] bool WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) const;
  [[nodiscard]] bool WriteInteger(std::string_view section, std::string_view key, int value) const;
  [[nodiscard]] bool EraseSection(std::string_view section) const;

 private:
  std::string path_;
};

// The text to Set for `value` so that Get gives `value` back: a value that begins and ends with
// a double quote ("\"prog\" \"%f\"") would lose that pair when read, one that begins or ends
// with a blank would lose the blank, so either gets one more pair of quotes.
std::string QuotedForGet(std::string_view value);

// Parses a whole decimal number with optional sign and surrounding blanks; "0x" hex as the
// Windows profile reader accepts it. Nothing for empty text, garbage or out-of-range values.
std::optional<int> ParseInt(std::string_view text);

}  // namespace quillon
