#pragma once
// Uploader-target mode: the terminal that an application is loaded into. It answers the rate
// handshake "*b<c>#" with ACK and switches to the rate asked for (back to 19200 after a second
// of silence, as a terminal does between banks), acknowledges every HEX line (CR LF) with ACK,
// and takes script envelopes (STX SOH payload ETX checksum CR): the clock, the frames, each
// answered with "<ACK>", and the end. What it received is written to a file: HEX lines with LF
// line ends, frames as they came.
#include "session.h"

namespace sim {

// Runs until the other side closes the line, the end payload of a script arrived or a stop
// signal; false with s.error when the line fails.
bool RunUploaderTarget(Session& s);

}  // namespace sim
