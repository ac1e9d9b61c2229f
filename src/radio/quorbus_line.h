#pragma once
// The command operations of the Quorbus line: one framed command at a time to one satellite or
// stationary terminal, with the pauses the radio network needs between commands.
//
// A QuorbusLine refers to an open port object and keeps the time of the last exchange on it and
// the pause the next framed write must wait for. It is used by one thread at a time. Every wait
// (the pauses, the settle time of a new configuration, the reply reads) ends early when the
// port is told to abort, is closed, or the application shuts down; the operation then fails
// with -4.
//
// Result codes: 0 success, -4 nothing usable came back or nothing could be sent (also an address
// outside 0..100 or a terminal number outside 0..127), -5 an invalid or unexpected reply; the
// operations below name their own further codes.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/shutdown_state.h"
#include "serial/orv_comm.h"

namespace quillon {

// The pauses in force for every radio network of the process, in ms.
struct RadioPauses {
  std::atomic<int> satCmdDelay{70};
  std::atomic<int> onlineOfflineDelay{130};
};
RadioPauses& ProcessRadioPauses();

class QuorbusLine {
 public:
  // The port stays the caller's and must outlive this object. The port should keep its
  // per-character read time-out (250 ms) set: it bounds every wait for a reply.
  explicit QuorbusLine(TOrvComm& port, const ShutdownState* shutdown = nullptr);

  // Sends `command` framed to `address` (plus 100 for a satellite) after the pause, reads the
  // reply and checks it: 0 with the reply data in `reply`, -4 or -5 with `reply` emptied. An
  // empty command sends nothing and only reads the next line of a reply in progress.
  [[nodiscard]] int SatCommand(int address, bool satellite, std::string_view command,
                               std::string& reply);

  // "5": 0 when the satellite answers with a valid reply.
  [[nodiscard]] int StatusCheck(int id);
  // "3"/"3$" on, "4"/"4$" off (with the longer pause around them). After switching off, waits
  // while the satellite answers "<SYS>" or "<RUN>", asking with "5" every 50 ms; a satellite
  // that is still switching after 100 questions gives -5.
  [[nodiscard]] int PollingSwitch(int id, bool on, bool dollar);
  // "M0": -7 when the reply lacks "<ACK>".
  [[nodiscard]] int ModeSwitch(int id);
  // Kind 1 "5", 2 "8", 3 "8$" with the reply data in `reply`; -8 for another kind.
  [[nodiscard]] int Identify(int id, int kind, std::string& reply);
  // "6" to `currentId` (reply ignored), 2000 ms for the satellite to settle, the port's input
  // discarded, then the "L" command to `currentId`. -7 new ID outside 0..100, -8 terminal
  // numbers negative, reversed or above 127, -9 a baud other than 9600, 19200 or 38400.
  [[nodiscard]] int ConfigureSatellite(int currentId, int newId, int baud, int firstTerminal,
                                       int lastTerminal);

  // Reads the stored data with "0*": every line through the end marker ("<EOF>" from a
  // satellite, "<EOT>" from a stationary terminal) is acknowledged with a raw ACK and its data
  // (number bytes as digits) + CR LF appended to `text`; a terminal's first reply and "<EOF>"
  // lines are not kept. The data stay on the satellite: "1*" is NOT sent here, see
  // ConfirmStoredData. For a stationary terminal that had nothing to hand over, its raw ACK
  // after the end marker is sent here, as there is nothing to confirm. At most 64 KiB of text
  // and 4096 lines; every failure (also a read that ends before the end marker) empties `text`.
  [[nodiscard]] int ReadStoredData(int address, bool satellite, std::string& text);
  // Tells the satellite that the data of the last read are taken over ("1*"); a stationary
  // terminal gets a raw ACK before and after. Call only once that text is kept safely.
  [[nodiscard]] int ConfirmStoredData(int address, bool satellite);

  // A record for a terminal: in one frame ("W") or as "O", "2", "C" ("C" in every case). -7 when
  // a reply lacks "<ACK>", -8 for an empty record.
  [[nodiscard]] int SendToTerminal(int id, int terminal, bool oneFrame, std::string_view record);
  // "D": 0 "<DEL>", -7 "<SYS>", -8 "<ACK>", -9 "<NAK>", -5 any other reply.
  [[nodiscard]] int DeliveryQuestion(int id, int terminal);

  uint64_t LastExchange() const { return lastExchange_; }
  int NextPause() const { return nextPause_; }

 private:
  [[nodiscard]] bool Interrupted() const;
  // Sleeps until the monotonic clock shows `dueMs`; false when interrupted before or meanwhile.
  [[nodiscard]] bool SleepUntil(uint64_t dueMs) const;
  // Waits for LastExchange + NextPause and sets NextPause back to the command pause.
  [[nodiscard]] bool WaitPause();
  [[nodiscard]] int WriteRawAck(bool afterPause);
  [[nodiscard]] int ReadReply(std::string& raw, bool followUp);
  [[nodiscard]] std::string ReadPiece(size_t room);
  // SatCommand to a satellite; -7 when its valid reply lacks "<ACK>".
  [[nodiscard]] int SatCommandAcked(int id, std::string_view command);

  TOrvComm& port_;
  const ShutdownState* shutdown_;
  uint64_t lastExchange_ = 0;
  int nextPause_;
};

}  // namespace quillon
