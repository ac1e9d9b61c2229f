// Fuzz target: what the uploader reads from its files and its command line, in memory. A HEX
// file is cut into the pieces it is sent in, a script into its frames, and both must cover the
// file exactly; every frame that is sent gets an envelope whose checksum is right; a HEX line
// that the receiver's program sender would send as a binary record must be read the same way
// the record describes; and the command line and stored values never give an index outside
// the lists.
#include <algorithm>
#include <string>
#include <vector>

#include "command_line.h"
#include "fuzz_support.h"
#include "upload_worker.h"

namespace {

using fuzz::Check;
constexpr char kEsc = 0x1B;
constexpr char kCtrlZ = 0x1A;

// The text a HEX file's pieces stand for: the file up to a Ctrl-Z that is followed only by
// line ends (or other Ctrl-Z).
std::string WithoutEndMark(const std::string& content) {
  const size_t tail = content.find_last_not_of("\r\n\x1a");
  const size_t mark = content.find(kCtrlZ, tail == std::string::npos ? 0 : tail + 1);
  return mark == std::string::npos ? content : content.substr(0, mark);
}

void CheckHexPieces(const std::string& content) {
  std::vector<long> lengths;
  const std::vector<std::string> pieces = sollex::HexPieces(content, &lengths);
  Check(pieces.size() == lengths.size());
  Check(pieces == sollex::HexPieces(content, nullptr));
  // The pieces with their line ends are the file again, byte for byte.
  const std::string text = WithoutEndMark(content);
  size_t at = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    Check(piece.size() <= 255 && piece.find('\n') == std::string::npos);
    Check(lengths[i] >= static_cast<long>(piece.size()) &&
          lengths[i] <= static_cast<long>(piece.size()) + 2);
    Check(text.compare(at, piece.size(), piece) == 0);
    const std::string end =
        text.substr(at + piece.size(), static_cast<size_t>(lengths[i]) - piece.size());
    Check(end.empty() || end == "\n" || end == "\r\n");
    at += static_cast<size_t>(lengths[i]);
  }
  Check(at == text.size());
}

void CheckEnvelope(const std::string& payload) {
  const std::string envelope = sollex::Envelope(payload);
  Check(envelope.size() == payload.size() + 6);
  Check(envelope[0] == 0x02 && envelope[1] == 0x01 &&
        envelope.compare(2, payload.size(), payload) == 0);
  const size_t etx = payload.size() + 2;
  Check(envelope[etx] == 0x03 && envelope.back() == '\r');
  unsigned sum = 0;
  for (size_t i = 0; i <= etx; ++i) sum += static_cast<unsigned char>(envelope[i]);
  Check(std::stoul(envelope.substr(etx + 1, 2), nullptr, 16) == sum % 256);
  Check(std::none_of(envelope.begin() + etx + 1, envelope.end() - 1,
                     [](char c) { return c >= 'a'; }));
}

void CheckScript(const std::string& content) {
  const std::vector<std::string> frames = sollex::SplitFrames(content);
  size_t at = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const std::string& frame = frames[i];
    Check(!frame.empty() && frame[0] == kEsc);
    const bool last = i + 1 == frames.size();
    // Frames are closed by an ESC; only the last may run to the end of the file instead.
    Check((frame.size() >= 2 && frame.back() == kEsc) ||
          (last && content.size() >= frame.size() &&
           content.compare(content.size() - frame.size(), frame.size(), frame) == 0));
    const size_t found = content.find(frame, at);
    Check(found != std::string::npos);
    Check(content.substr(at, found - at).find(kEsc) == std::string::npos);
    Check(std::count(frame.begin(), frame.end(), kEsc) <= 2);
    at = found + frame.size();
    if (frame.size() <= sollex::kMaxPayload) CheckEnvelope(frame);
  }
  Check(content.find(kEsc, at) == std::string::npos);
  const int joints = sollex::CountFrameJoints(content);
  Check(joints >= 0 && static_cast<size_t>(joints) < std::max<size_t>(content.size(), 1));
}

void CheckCommandLine(const std::string& text) {
  std::vector<std::string> args;
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t end = std::min(text.find('\0', pos), text.size());
    args.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  const sollex::CommandLine line = sollex::ParseCommandLine(args);
  Check(!line.portIndex || (*line.portIndex >= 0 && *line.portIndex <= 7));
  Check(!line.rateIndex || (*line.rateIndex >= 0 && *line.rateIndex <= 2));
  for (const std::string& arg : args) {
    const int rate = sollex::RateIndexFrom(arg, -1);
    Check(rate >= -1 && rate <= 2);
    const int port = sollex::PortIndexFrom(arg, -1);
    Check(port >= -1 && port <= 7);
    const std::string shortPath = sollex::ShortPath(arg);
    Check(shortPath.size() <= 60 || shortPath == arg);
    const std::string extension = sollex::UpperExtension(arg);
    Check(extension.size() < arg.size() || extension.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(fuzz::Text(data, size));
  CheckHexPieces(content);
  CheckScript(content);
  CheckCommandLine(content);
  return 0;
}
