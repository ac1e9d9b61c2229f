#include "output.h"

#include <cstdio>

#include "block.h"

namespace sim {

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Complain(const std::string& message) {
  std::fprintf(stderr, "quillon-sim: %s\n", message.c_str());
  std::fflush(stderr);
}

std::string Printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '\\') {
      out += "\\x" + Hex2(b);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace sim
