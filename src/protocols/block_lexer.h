#pragma once
// BlockLexer: splits the bytes a line carries into blocks of the acknowledged block protocol,
// without any I/O or time. Bytes go in with Feed() in pieces of any size; the lexer stops at
// the byte that completes a block (good or bad), so whatever follows stays with the caller for
// the next call.
//
// The block under way is kept in a frame buffer the caller owns (kFrameSize bytes), always
// NUL-terminated behind the last byte taken: '-', length digits, type, data, counter,
// checksum, CR. A report of a broken block can therefore show what arrived.
#include <cstddef>
#include <cstdint>

#include "protocols/ack_nak_frame.h"

namespace quillon::acknak {

enum class LexState {
  Hunting,  // skipping everything up to the next '-'
  Length,   // taking the two length digits
  Body,     // taking type, data, counter, checksum and CR
};

enum class LexKind {
  None,         // all bytes taken, the block is not complete yet
  Block,        // a good block with the expected counter
  EndBlock,     // "-0000FF" CR, whatever the counter
  BadLength,    // the length digits are no hex number
  NoCr,         // the byte where the CR belongs is another one
  BadCounter,   // complete and framed, but not the expected counter digit
  BadChecksum,  // complete and framed, but the checksum does not match (or is no hex number)
  Cut,          // the input ended inside a block (see Cut())
};

struct LexEvent {
  LexKind kind = LexKind::None;
  size_t used = 0;  // bytes taken from the input
  // The block's fields, for Block (and for BadCounter and BadChecksum, as they arrived).
  char type = 0;
  const uint8_t* data = nullptr;
  int length = 0;
  int counter = -1;
};

class BlockLexer {
 public:
  // `frame` holds kFrameSize bytes and outlives the lexer.
  explicit BlockLexer(uint8_t* frame) : frame_(frame) {}

  // Forgets a partial block and hunts for the next '-'. The frame is left as it is.
  void Restart() { state_ = LexState::Hunting; }

  // Takes bytes from `data` up to the one that completes a block; `expectedCounter` is the
  // counter digit's value the next good block must carry. After any event but None the lexer
  // hunts for the next block.
  LexEvent Feed(const uint8_t* data, size_t size, int expectedCounter);

  // The input ended: Cut when a block had begun (the caller may ask State() and Taken() where),
  // None while hunting. Hunts afresh afterwards.
  LexEvent Cut();

  // The fewest bytes before the next event can come: Feed() takes every one of that many.
  size_t Needed() const;

  LexState State() const { return state_; }
  // Bytes of the current block taken so far, '-' included (0 while hunting).
  size_t Taken() const { return state_ == LexState::Hunting ? 0 : pos_; }

 private:
  LexEvent Complete(size_t used, int expectedCounter);

  uint8_t* frame_;
  LexState state_ = LexState::Hunting;
  size_t pos_ = 0;
  size_t end_ = 0;  // frame length n + 8 once the length is known
};

}  // namespace quillon::acknak
