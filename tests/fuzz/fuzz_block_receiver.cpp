// Fuzz target: the block lexer on whatever a line may carry, in memory. The input is lexed
// three ways — whole, byte by byte, and in pieces whose sizes the input itself decides — with
// the counter stepping after every good block as the receiver steps it. All three must report
// the same events at the same places, every block's frame must be the very bytes of the input
// it came from, and the lexer must take exactly what it says it takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocols/block_lexer.h"

namespace {

using namespace quillon::acknak;

void Check(bool ok) {
  if (!ok) std::abort();
}

int Hex(uint8_t c) {
  const char* digits = "0123456789abcdef0123456789ABCDEF";
  const char* at = c != 0 ? std::strchr(digits, c) : nullptr;
  return at == nullptr ? -1 : static_cast<int>(at - digits) % 16;
}

struct Seen {
  LexKind kind;
  size_t end;  // input offset just behind the event's last byte
  std::string frame;
  bool operator==(const Seen&) const = default;
};

// `piece(i)` gives the size of the next piece to feed at input offset i.
template <typename Piece>
std::vector<Seen> Lex(const uint8_t* data, size_t size, Piece piece) {
  uint8_t frame[kFrameSize + 1];
  std::memset(frame, 0xEE, sizeof frame);
  frame[kFrameSize] = 0xA5;  // a guard the lexer must never reach
  BlockLexer lexer(frame);
  std::vector<Seen> seen;
  int counter = 0;
  size_t offset = 0;
  while (offset < size) {
    const size_t want = std::min(piece(offset), size - offset);
    const size_t needed = lexer.Needed();
    Check(needed >= 1 && needed <= 263);
    const LexEvent event = lexer.Feed(data + offset, want, counter);
    Check(event.used <= want);
    if (want <= needed) Check(event.used == want);
    offset += event.used;
    if (event.kind == LexKind::None) {
      Check(event.used == want);
      continue;
    }
    Check(event.used > 0);
    const size_t length = event.kind == LexKind::BadLength ? 3 : event.length + 8u;
    Check(length <= offset && length <= 263);
    // The frame is the input's own bytes, NUL-terminated, whatever the pieces were.
    Check(std::memcmp(frame, data + offset - length, length) == 0 && frame[length] == 0);
    if (event.kind == LexKind::Block) {
      Check(event.length >= 0 && event.length <= kMaxData && event.counter == counter);
      Check(event.data == frame + 4 && frame[length - 1] == kCr);
      unsigned sum = 0;
      for (size_t i = 1; i < length - 3; ++i) sum += frame[i];
      Check(static_cast<int>(sum % 256) == Hex(frame[length - 3]) * 16 + Hex(frame[length - 2]));
      counter = (counter + 1) % 10;
    }
    seen.push_back({event.kind, offset, std::string(reinterpret_cast<char*>(frame), length)});
  }
  const LexState state = lexer.State();
  const size_t taken = lexer.Taken();
  const LexEvent end = lexer.Cut();
  Check((end.kind == LexKind::Cut) == (state != LexState::Hunting));
  if (end.kind == LexKind::Cut) {
    Check(taken >= 1 && taken <= offset && frame[taken] == 0);
    Check(std::memcmp(frame, data + offset - taken, taken) == 0);
    seen.push_back({LexKind::Cut, offset, {}});
  }
  Check(frame[kFrameSize] == 0xA5);
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto whole = Lex(data, size, [](size_t) { return SIZE_MAX; });
  Check(Lex(data, size, [](size_t) { return size_t{1}; }) == whole);
  const auto pieces = Lex(data, size, [&](size_t at) { return size_t{1} + data[at] % 37; });
  Check(pieces == whole);
  return 0;
}
