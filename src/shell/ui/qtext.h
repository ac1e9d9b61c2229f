#pragma once
// The program's texts (UTF-8) as Qt strings.
#include <QString>
#include <string>

namespace quillon {

inline QString QText(const char* text) { return QString::fromUtf8(text); }
inline QString QText(const std::string& text) { return QString::fromStdString(text); }

}  // namespace quillon
