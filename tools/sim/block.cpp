#include "block.h"

namespace sim {

std::uint8_t Checksum(std::string_view bytes) {
  unsigned sum = 0;
  for (const char c : bytes) sum += static_cast<std::uint8_t>(c);
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string Hex2(unsigned value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string BuildBlock(char type, std::string_view data, int counter) {
  std::string frame;
  frame.reserve(data.size() + 8);
  frame += '-';
  frame += Hex2(static_cast<unsigned>(data.size()));
  frame += type;
  frame += data;
  frame += static_cast<char>('0' + counter);
  frame += Hex2(Checksum(std::string_view(frame).substr(1)));
  frame += kCr;
  return frame;
}

ParsedBlock ParseBlock(std::string_view frame) {
  ParsedBlock block;
  if (frame.size() < 3 || frame[0] != '-') {
    block.fault = "unvollständig";
    return block;
  }
  const int high = HexValue(static_cast<std::uint8_t>(frame[1]));
  const int low = HexValue(static_cast<std::uint8_t>(frame[2]));
  if (high < 0 || low < 0) {
    block.fault = "Länge keine Hexzahl";
    return block;
  }
  const std::size_t n = static_cast<std::size_t>(high * 16 + low);
  if (frame.size() != n + 8) {
    block.fault = "unvollständig";
    return block;
  }
  if (frame[n + 7] != kCr) {
    block.fault = "kein CR am Ende";
    return block;
  }
  const char type = frame[3];
  if (n == 0 && type == kTypeEnd && frame[4] == '0' && HexValue(frame[5]) == 15 &&
      HexValue(frame[6]) == 15) {
    block.kind = ParsedBlock::Kind::kEnd;
    block.type = kTypeEnd;
    return block;
  }
  if (type != kTypeFirst && type != kTypeNext) {
    block.fault = "unbekannter Blocktyp";
    return block;
  }
  const char counter = frame[n + 4];
  if (counter < '0' || counter > '9') {
    block.fault = "Blockzähler keine Ziffer";
    return block;
  }
  const int sumHigh = HexValue(static_cast<std::uint8_t>(frame[n + 5]));
  const int sumLow = HexValue(static_cast<std::uint8_t>(frame[n + 6]));
  if (sumHigh < 0 || sumLow < 0 || sumHigh * 16 + sumLow != Checksum(frame.substr(1, n + 4))) {
    block.fault = "Prüfsumme falsch";
    return block;
  }
  block.kind = ParsedBlock::Kind::kData;
  block.type = type;
  block.data.assign(frame.substr(4, n));
  block.counter = counter - '0';
  return block;
}

}  // namespace sim
