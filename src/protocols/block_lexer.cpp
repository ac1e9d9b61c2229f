#include "protocols/block_lexer.h"

#include <algorithm>
#include <cstring>

#include "serial/result_codes.h"

namespace quillon::acknak {

namespace {
constexpr size_t kHeadLength = 3;  // '-' and the two length digits
}

LexEvent BlockLexer::Feed(const uint8_t* data, size_t size, int expectedCounter) {
  size_t i = 0;
  while (i < size) {
    switch (state_) {
      case LexState::Hunting: {
        const void* start = std::memchr(data + i, kStart, size - i);
        if (start == nullptr) return {LexKind::None, size};
        i = static_cast<size_t>(static_cast<const uint8_t*>(start) - data) + 1;
        frame_[0] = kStart;
        frame_[1] = 0;
        pos_ = 1;
        state_ = LexState::Length;
        break;
      }
      case LexState::Length: {
        frame_[pos_++] = data[i++];
        frame_[pos_] = 0;
        if (pos_ < kHeadLength) break;
        const int n = ParseHex2(frame_ + 1);
        if (n < 0) {
          state_ = LexState::Hunting;
          return {LexKind::BadLength, i};
        }
        end_ = static_cast<size_t>(n) + 8;
        state_ = LexState::Body;
        break;
      }
      case LexState::Body: {
        const size_t take = std::min(size - i, end_ - pos_);
        std::memcpy(frame_ + pos_, data + i, take);
        pos_ += take;
        i += take;
        frame_[pos_] = 0;
        if (pos_ == end_) return Complete(i, expectedCounter);
        break;
      }
    }
  }
  return {LexKind::None, i};
}

LexEvent BlockLexer::Complete(size_t used, int expectedCounter) {
  state_ = LexState::Hunting;
  const int n = static_cast<int>(end_) - 8;
  LexEvent event;
  event.used = used;
  event.type = static_cast<char>(frame_[3]);
  event.data = frame_ + 4;
  event.length = n;
  const uint8_t digit = frame_[n + 4];
  event.counter = digit >= '0' && digit <= '9' ? digit - '0' : -1;
  switch (CheckFrame(frame_, n, expectedCounter)) {
    case rc::kNoCr:
      event.kind = LexKind::NoCr;
      break;
    case rc::kEndOfTransfer:
      event.kind = LexKind::EndBlock;
      break;
    case rc::kBadCounter:
      event.kind = LexKind::BadCounter;
      break;
    case rc::kBadChecksum:
      event.kind = LexKind::BadChecksum;
      break;
    default:
      event.kind = LexKind::Block;
      break;
  }
  return event;
}

LexEvent BlockLexer::Cut() {
  const bool inBlock = state_ != LexState::Hunting;
  state_ = LexState::Hunting;
  return {inBlock ? LexKind::Cut : LexKind::None, 0};
}

size_t BlockLexer::Needed() const {
  switch (state_) {
    case LexState::Hunting:
      return kHeadLength;
    case LexState::Length:
      return kHeadLength - pos_;
    case LexState::Body:
      return end_ - pos_;
  }
  return 1;
}

}  // namespace quillon::acknak
