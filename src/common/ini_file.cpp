#include "common/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>

#include "common/encoding.h"
#include "common/file_io.h"

namespace quillon {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string Decode(std::string_view raw, TextEncoding enc) {
  return enc == TextEncoding::Utf8 ? std::string(raw) : Cp1252ToUtf8(raw);
}

}  // namespace

std::optional<int> ParseInt(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::string QuotedForGet(std::string_view value) {
  const std::string text(value);
  const bool blankAtEnd = !text.empty() && (kBlanks.find(text.front()) != std::string_view::npos ||
                                            kBlanks.find(text.back()) != std::string_view::npos);
  const bool quoted = text.size() >= 2 && text.front() == '"' && text.back() == '"';
  return blankAtEnd || quoted ? '"' + text + '"' : text;
}

// ---------------------------------------------------------------------------------------------
// IniDocument

IniDocument::Line IniDocument::MakeLine(std::string raw, std::string eol, TextEncoding enc) {
  Line line;
  line.raw = std::move(raw);
  line.eol = std::move(eol);
  const std::string text = Decode(line.raw, enc);
  const std::string_view t = Trim(text);
  if (t.empty() || t[0] == ';') return line;
  if (t[0] == '[') {
    const auto close = t.find(']');
    line.kind = LineKind::Section;
    line.name =
        std::string(Trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
    return line;
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = LineKind::Key;
  line.name = std::string(Trim(t.substr(0, eq)));
  line.value = std::string(Trim(t.substr(eq + 1)));
  return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.bom_ = true;
    bytes.remove_prefix(3);
    doc.encoding_ = TextEncoding::Utf8;
  } else if (HasNonAscii(bytes) && IsValidUtf8(bytes)) {
    doc.encoding_ = TextEncoding::Utf8;
  }
  size_t pos = 0;
  while (pos < bytes.size()) {
    const auto end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      doc.lines_.push_back(MakeLine(std::string(bytes.substr(pos)), "", doc.encoding_));
      break;
    }
    size_t next = end + 1;
    if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
    doc.lines_.push_back(MakeLine(std::string(bytes.substr(pos, end - pos)),
                                  std::string(bytes.substr(end, next - end)), doc.encoding_));
    pos = next;
  }
  return doc;
}

IniDocument IniDocument::Unreadable(int error) {
  IniDocument doc;
  doc.readError_ = error != 0 ? error : EIO;
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out = bom_ ? "\xEF\xBB\xBF" : "";
  for (const Line& line : lines_) {
    out += line.raw;
    out += line.eol;
  }
  return out;
}

std::string IniDocument::Encode(std::string_view utf8) const {
  return encoding_ == TextEncoding::Utf8 ? std::string(utf8) : Utf8ToCp1252(utf8);
}

std::string IniDocument::NewLineEnd() const {
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\r\n";
}

size_t IniDocument::FindSection(std::string_view section) const {
  return FindNextSection(section, 0);
}

size_t IniDocument::FindNextSection(std::string_view section, size_t from) const {
  const std::string wanted = FoldCase(Trim(section));
  for (size_t i = from; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::Section && FoldCase(lines_[i].name) == wanted) return i;
  }
  return std::string::npos;
}

size_t IniDocument::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != LineKind::Section) ++i;
  return i;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != std::string::npos;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const size_t header = FindSection(section);
  if (header == std::string::npos) return std::nullopt;
  const std::string wanted = FoldCase(Trim(key));
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::Key || FoldCase(line.name) != wanted) continue;
    std::string value = line.value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view rawValue) {
  std::string value(rawValue);
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  const std::string eol = NewLineEnd();
  size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!lines_.empty()) {
      if (lines_.back().eol.empty()) lines_.back().eol = eol;
      if (!Trim(Decode(lines_.back().raw, encoding_)).empty()) {
        lines_.push_back(MakeLine("", eol, encoding_));
      }
    }
    lines_.push_back(MakeLine(Encode("[" + std::string(Trim(section)) + "]"), eol, encoding_));
    header = lines_.size() - 1;
  }
  const std::string wanted = FoldCase(Trim(key));
  const size_t end = SectionEnd(header);
  size_t last_key = header;
  for (size_t i = header + 1; i < end; ++i) {
    Line& line = lines_[i];
    if (line.kind != LineKind::Key) continue;
    last_key = i;
    if (FoldCase(line.name) != wanted) continue;
    if (line.value == value) return;  // unchanged: keep the bytes as they are
    // Keep the key exactly as spelt in the file; re-encode only the new value.
    const std::string text = Decode(line.raw, encoding_);
    const auto eq = text.find('=');
    lines_[i] = MakeLine(Encode(text.substr(0, eq + 1) + std::string(value)), line.eol, encoding_);
    return;
  }
  // New key: after the section's last key line, before trailing blanks and comments.
  const size_t at = last_key + 1;
  if (lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol;
  lines_.insert(
      lines_.begin() + static_cast<std::ptrdiff_t>(at),
      MakeLine(Encode(std::string(Trim(key)) + "=" + std::string(value)), eol, encoding_));
}

bool IniDocument::EraseSection(std::string_view section) {
  bool erased = false;
  for (size_t header = FindSection(section); header != std::string::npos;
       header = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    erased = true;
  }
  return erased;
}

void IniDocument::ClearSection(std::string_view section) {
  const size_t header = FindSection(section);
  if (header == std::string::npos) return;
  size_t end = SectionEnd(header);
  // Blank lines before the next section stay as the file's spacing.
  size_t keepFrom = end;
  while (keepFrom > header + 1 && Trim(lines_[keepFrom - 1].raw).empty()) --keepFrom;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header + 1),
               lines_.begin() + static_cast<std::ptrdiff_t>(keepFrom));
  for (size_t other = FindNextSection(section, header + 1); other != std::string::npos;
       other = FindNextSection(section, header + 1)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(other),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(other)));
  }
}

std::vector<std::string> IniDocument::SectionLines(std::string_view section) const {
  std::vector<std::string> out;
  const size_t header = FindSection(section);
  if (header == std::string::npos) return out;
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == LineKind::Key) out.push_back(lines_[i].name + "=" + lines_[i].value);
  }
  return out;
}

std::vector<std::string> IniDocument::SectionKeys(std::string_view section) const {
  std::vector<std::string> out;
  const size_t header = FindSection(section);
  if (header == std::string::npos) return out;
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == LineKind::Key) out.push_back(lines_[i].name);
  }
  return out;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> out;
  for (const Line& line : lines_) {
    if (line.kind == LineKind::Section) out.push_back(line.name);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// IniFile

// The one place that decides whether the file could be read: only a missing file counts as
// empty, anything else that stops the read marks the document unreadable.
IniDocument IniFile::Load() const {
  const auto bytes = ReadWholeFile(path_);
  if (bytes) return IniDocument::Parse(*bytes);
  if (errno == ENOENT) return IniDocument();
  return IniDocument::Unreadable(errno);
}

bool IniFile::Store(const IniDocument& doc) const {
  if (doc.readError() != 0) {
    errno = doc.readError();
    return false;
  }
  return WriteFileAtomically(path_, doc.Serialize());
}

bool IniFile::Update(const std::function<void(IniDocument&)>& change) const {
  IniDocument doc = Load();
  if (doc.readError() != 0) {
    errno = doc.readError();
    return false;
  }
  const std::string before = doc.Serialize();
  change(doc);
  std::string after = doc.Serialize();
  // Nothing changed on an existing, writable file: no rewrite needed. A read-only file still
  // refuses the write, as the caller asked to write.
  if (after == before && !before.empty() && IsWritablePath(path_)) return true;
  return WriteFileAtomically(path_, after);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
  auto value = Load().Get(section, key);
  return value ? *value : std::string(def);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const auto value = Load().Get(section, key);
  if (!value) return def;
  return ParseInt(*value).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::ReadSectionLines(std::string_view section) const {
  return Load().SectionLines(section);
}

std::vector<std::string> IniFile::ReadSectionKeys(std::string_view section) const {
  return Load().SectionKeys(section);
}

bool IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) const {
  return Update([&](IniDocument& doc) { doc.Set(section, key, value); });
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) const {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::EraseSection(std::string_view section) const {
  return Update([&](IniDocument& doc) { doc.EraseSection(section); });
}

}  // namespace quillon
