#pragma once
// Frames of the Quorbus line between the PC (master) and the satellites and stationary terminals
// of a radio network: building requests, checking replies, and the small byte conversions the
// commands and the stored data use. Pure functions over bytes, no I/O.
//
// Request:  STX addr ESC command ESC ETX hi lo CR
// Reply:    ACK STX addr data ETX hi lo CR
// hi lo is the sum of the bytes from STX through ETX modulo 256 as two upper-case hex digits.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::quorbus {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kAck = '\x06';
inline constexpr char kCr = '\x0D';
inline constexpr char kEsc = '\x1B';

// STX through ETX of a request are at most this long; a longer command text is cut.
inline constexpr size_t kMaxFramedPart = 255;
// The shortest valid reply: ACK STX addr, one data byte, ETX, two checksum digits and CR.
inline constexpr size_t kMinReplyLength = 8;
// Satellites are addressed as their ID plus this offset; stationary terminals by their number.
inline constexpr int kSatelliteOffset = 100;
inline constexpr int kMaxAddress = 100;
// A terminal number travels as one byte, number + 128.
inline constexpr int kMaxTerminalNumber = 127;

// Result codes of the frame layer.
inline constexpr int kOk = 0;
inline constexpr int kNoReply = -4;       // nothing usable came back, or nothing could be sent
inline constexpr int kInvalidReply = -5;  // a reply came but is not a valid frame for us

// The address byte for an address 0..100, plus 100 for a satellite; nothing outside that range.
[[nodiscard]] std::optional<uint8_t> AddressByte(int address, bool satellite);

// Two upper-case hex digits of the sum of `bytes` modulo 256.
[[nodiscard]] std::string ChecksumText(std::string_view bytes);

// The complete request frame for `addressByte` and `command` (cut so that STX..ETX fit 255 bytes).
[[nodiscard]] std::string BuildRequest(uint8_t addressByte, std::string_view command);

// Checks a reply read from the line against the request's address byte: it must begin with
// ACK STX, be at least 8 bytes long, carry `addressByte` and a checksum text that matches the
// bytes STX..ETX (the first ETX after the address byte). 0 with `data` = the bytes between the
// address byte and ETX, else -5 with `data` emptied.
[[nodiscard]] int CheckReply(std::string_view reply, uint8_t addressByte, std::string& data);

// One byte of a stored-data line as text: bytes below 128 as they are, a byte b of 128 and above
// as the two digits of n = b - 128 swapped (ones digit first), so 128 + 12 gives "21" and
// 128 + 50 gives "05".
[[nodiscard]] std::string NumberByteText(uint8_t b);
// A whole stored-data line converted byte by byte as above.
[[nodiscard]] std::string ConvertStoredLine(std::string_view line);

// The byte that stands for a terminal number (0..127) inside a command; nothing outside that.
[[nodiscard]] std::optional<char> TerminalByte(int number);

// The configuration command's code for a baud rate: 51 for 9600, 25 for 19200, 12 for 38400.
[[nodiscard]] std::optional<uint8_t> BaudCode(int baud);

// Checks the values of a satellite configuration: 0, or -7 for a new ID outside 0..100, -8 for
// terminal numbers that are negative, reversed or too large for one byte, -9 for another baud.
[[nodiscard]] int CheckConfiguration(int newId, int baud, int firstTerminal, int lastTerminal);
// The "L" command: "L", baud code, "3", new ID + 100, first + 128, last + 128. Empty when the
// values do not pass CheckConfiguration.
[[nodiscard]] std::string ConfigurationCommand(int newId, int baud, int firstTerminal,
                                               int lastTerminal);

// Markers the satellites put into their reply data.
enum class Marker { Ack, Sys, Run, Del, Nak, Eof, Eot };
[[nodiscard]] std::string_view MarkerText(Marker marker);
[[nodiscard]] bool HasMarker(std::string_view data, Marker marker);

}  // namespace quillon::quorbus
