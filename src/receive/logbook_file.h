#pragma once
// The file form of a port's logbook: UTF-8 text, every line ended by CR LF.
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The lines of a logbook file. Lines may end in CR LF, LF or CR; the text may be UTF-8 (with
// or without a byte order mark) or Windows-1252, as older files are.
std::vector<std::string> ParseLogbookFile(std::string_view bytes);

// The bytes of a logbook file holding `lines`.
std::string SerializeLogbookFile(const std::vector<std::string>& lines);

}  // namespace quillon
