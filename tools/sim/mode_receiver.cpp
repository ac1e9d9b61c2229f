#include "mode_receiver.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "block.h"
#include "output.h"
#include "receiver.h"

namespace sim {
namespace {

constexpr std::size_t kChunk = 128;
constexpr std::size_t kNameLength = 8;
constexpr std::size_t kLineBuffer = 99;

std::string HexOf(const std::string& bytes) {
  std::string hex;
  for (const char c : bytes) hex += Hex2(static_cast<unsigned char>(c));
  return hex;
}

bool ReceiveChunks(Session& s) {
  ReceivedTransfer t;
  if (!ReceiveTransfer(s, t)) return false;
  Say("NAME " + Printable(t.header));
  if (t.header.empty() || t.header.find('/') != std::string::npos) {
    return s.Fail("Namensblock ohne gültigen Dateinamen: " + Printable(t.header));
  }
  std::string content;
  for (std::size_t i = 0; i < t.lines.size(); ++i) {
    const std::size_t size = t.lines[i].size();
    const bool last = i + 1 == t.lines.size();
    if (size == 0 || size > kChunk || (!last && size != kChunk)) {
      return s.Fail("Block " + std::to_string(i + 1) + " hat " + std::to_string(size) +
                    " Byte (erwartet 128, nur der letzte kürzer)");
    }
    content += t.lines[i];
  }
  if (!WriteFileAtomically(s, s.options.modeFile, content)) return false;
  Say("RECEIVED " + std::to_string(t.lines.size()) + " " + std::to_string(content.size()));
  return true;
}

bool IsProgramName(const std::string& name) {
  if (name.size() != kNameLength) return false;
  const std::size_t end = name.find_last_not_of(' ');
  if (end == std::string::npos) return false;
  for (std::size_t i = 0; i <= end; ++i) {
    const char c = name[i];
    if (c == ' ' || c == '.' || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
  }
  return true;
}

bool ReceiveRecords(Session& s) {
  ReceivedTransfer t;
  if (!ReceiveTransfer(s, t)) return false;
  Say("NAME " + Printable(t.header));
  if (!IsProgramName(t.header)) {
    return s.Fail("Name \"" + Printable(t.header) +
                  "\" ist keine 8 Zeichen lang, groß geschrieben und mit Leerzeichen aufgefüllt");
  }
  std::string content = t.header + "\n";
  for (std::size_t i = 0; i < t.lines.size(); ++i) {
    if (t.lines[i].size() < 2) {
      return s.Fail("Satz " + std::to_string(i + 1) + " hat keine Adresse");
    }
    content += HexOf(t.lines[i]) + "\n";
  }
  if (!WriteFileAtomically(s, s.options.modeFile, content)) return false;
  Say("RECEIVED " + std::to_string(t.lines.size()));
  return true;
}

// Checks one complete line (with its LF); empty when it keeps the rules.
std::string LineFault(const std::string& line) {
  if (line.size() < 2 || line[line.size() - 2] != '\r') return "endet nicht mit CR LF";
  if (line.size() > kLineBuffer) return "ist länger als 99 Zeichen";
  for (const char c : line) {
    if (static_cast<unsigned char>(c) > 0x7F) return "enthält Zeichen mit mehr als 7 Bit";
  }
  return {};
}

bool ReceiveLines(Session& s) {
  const Options& o = s.options;
  // After a transfer of our own the lines come once the other side has handed its line over to
  // the send, which may close and reopen it and change its settings: until the first byte the
  // wait is the one for an opening line, and a hang-up in between is waited through.
  const bool afterTransfer = !o.sendFile.empty();
  std::string content;
  std::string line;
  int lines = 0;
  std::string fault;
  bool refusing = false;
  bool begun = false;
  for (;;) {
    std::uint8_t b = 0;
    const int waitMs = afterTransfer && !begun ? o.openTimeoutMs : o.finalTimeoutMs;
    const Io io = s.line.ReadByte(Clock::now() + std::chrono::milliseconds(waitMs), b);
    if (io == Io::kClosed && afterTransfer && !begun) {
      const Io back = s.line.WaitForPeer(o.openTimeoutMs);
      if (back != Io::kOk) return s.Fail("Warten auf die Textzeilen: " + Describe(back));
      continue;
    }
    if (io == Io::kClosed || io == Io::kTimeout) break;
    if (io != Io::kOk) return s.Fail("Empfang: " + Describe(io));
    begun = true;
    line += static_cast<char>(b);
    if (b != '\n') continue;
    if (o.silentAfter > 0 && lines >= o.silentAfter) return StaySilent(s, lines);
    if (o.refuseAfter > 0 && lines >= o.refuseAfter) {
      if (!refusing) Say("REFUSING " + std::to_string(lines));
      refusing = true;
      line.clear();
      if (!s.Answer(kNak)) return false;
      continue;
    }
    ++lines;
    content += line;
    const std::string bad = LineFault(line);
    if (!bad.empty() && fault.empty()) fault = "Zeile " + std::to_string(lines) + " " + bad;
    line.clear();
    if (lines == 1 && o.noFirstAck) continue;
    if (!s.Answer(kAck)) return false;
  }
  if (!line.empty()) content += line;  // an unfinished last line is kept for the comparison
  if (!WriteFileAtomically(s, o.modeFile, content)) return false;
  Say("RECEIVED " + std::to_string(lines));
  if (!fault.empty()) return s.Fail(fault);
  return true;
}

}  // namespace

bool ReceiveInSendMode(Session& s) {
  // The other side has the line open: what it sends from now on is taken.
  Say("READY");
  switch (s.options.sendMode) {
    case SendMode::kMsComm:
      return ReceiveChunks(s);
    case SendMode::kUph:
      return ReceiveRecords(s);
    case SendMode::kDl:
      return ReceiveLines(s);
    case SendMode::kNone:
      break;
  }
  return true;
}

}  // namespace sim
