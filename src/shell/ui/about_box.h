#pragma once
// The about box ("&Programmversion", F1): program name, version and the memory available.
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace quillon {

// "MemAvailable" of a /proc/meminfo text, in kB.
std::optional<long long> MemAvailableKb(std::string_view meminfo);

// The memory line of the box: "Verfügbarer Arbeitsspeicher: 1.234 MB".
std::string AvailableMemoryText(std::optional<long long> kb);

// Shows the box modally.
void ShowAboutBox(QWidget* parent);

}  // namespace quillon
