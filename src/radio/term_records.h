#pragma once
// What the line thread keeps per terminal of a radio network, and the handling of the records a
// satellite hands over: the terminals' record counters, PINGs, repetitions and restarts, the
// duplicates, the records waiting to be fetched (the inbox) and the records queued for the
// terminals (the outgoing list).
//
// Counters: a terminal numbers its records 2, 3, ..., 99, 1, 2, ...; a record whose counter is
// the expected one is data, the others tell of a restart ("-1"), of a record the terminal got
// with a wrong counter ("-2"), of a request for the last record again ("-3") or are pings
// ("00"). The PC numbers the records it sends a terminal the same way.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillon {

inline constexpr size_t kMaxPending = 1024;  // records waiting per terminal
inline constexpr size_t kMaxHistory = 3;     // records delivered to a terminal, kept for repeats
inline constexpr int kNoCounter = -99;

// The counter after `value`: a negative one becomes 2, 1..98 count up, 99 wraps to 1.
int NextCounter(int value);
// A counter as the two characters on the wire ("05", "-5").
std::string CounterText(int value);

struct TOneTermData {
  int Nr = 0;                       // 0 when the lines carry no terminal ID
  std::deque<std::string> Pending;  // records waiting to be fetched, oldest first
  int Counter = 2;                  // counter expected in the next record
  std::string LastRecord;           // last record accepted
  int HostCounter = -5;             // counter of the last record delivered to the terminal
  std::deque<std::string> History;  // records last delivered, oldest first
  // No line of the terminal handled yet in this run: its first record sets the counter, since
  // a terminal counts on across restarts of the network (and of the program).
  bool Fresh = true;
};

// The terminals that sent data, in the order they first did, and the receive side's part in
// keeping their records safe: when `storesConfirmed` is set, whoever fetches records tells
// (inFlight back to 0, storeFailed) once they are stored, and the line thread confirms a
// station's data to it only after that.
struct RadioInbox {
  std::mutex mutex;
  std::condition_variable changed;                   // records fetched or stored
  std::vector<std::unique_ptr<TOneTermData>> terms;  // mutex
  bool storesConfirmed = false;                      // mutex
  size_t inFlight = 0;                               // mutex; fetched, not yet stored
  bool storeFailed = false;                          // mutex
  std::function<void()> recordsArrived;              // mutex; wakes the fetching side
  TOneTermData& Find(int nr);                        // created when missing; mutex held
  size_t Waiting();                                  // records waiting in all; mutex held
};

struct TTermMsg {
  int Term = 0;
  std::string Text;  // with its 2-digit counter in front when counters are on
  uint32_t QueuedAt = 0;
  bool FirstTry = true;
  bool Done = false;
  bool InRange = false;
  std::vector<std::string> Via;  // IDs of the satellites that took the record
};

struct OutgoingList {
  std::mutex mutex;
  std::list<TTermMsg> msgs;  // mutex
};

struct RecordOptions {
  bool termIdBeforeData = true;
  bool withCounter = true;
  bool deleteDuplicates = true;
};

// Where the handler's lines go: the terminal's debug file (with an empty line after some
// messages) and the line's debug log.
struct RecordSinks {
  std::function<void(int term, const std::string& text, bool blankLine)> termDebug;
  std::function<void(const std::string& text)> lineDebug;
  std::function<uint32_t()> tick;  // for the queueing stamp
};

// Handles the stored text of one station. The caller holds the inbox's lock for the whole text;
// the outgoing list's lock is taken inside it when a record is queued.
class RecordHandler {
 public:
  RecordHandler(RadioInbox& inbox, OutgoingList& outgoing, RecordOptions options,
                RecordSinks sinks);

  // Splits `text` at CR LF into lines and handles each up to the first empty one.
  void ProcessText(const std::string& text);
  // One line, its control characters at both ends already removed.
  void ProcessLine(const std::string& line);

  // Queues `record` for terminal `term` with counter `counter` (outgoing lock held or not:
  // taken here).
  void Queue(TOneTermData& term, const std::string& record, int counter);
  // Queues with the terminal's next counter; nothing while one of its records is still open.
  void QueueNext(TOneTermData& term, const std::string& record);
  // The terminal reported counter `reported` (two characters): the delivered records from that
  // one on go again. False when none matches.
  bool Repeat(TOneTermData& term, const std::string& reported);

 private:
  enum class Action { kNone, kRecord, kPing };
  Action ByCounter(TOneTermData& term, const std::string& line, const std::string& nnn,
                   const std::string& counterText);
  void Store(TOneTermData& term, const std::string& line, const std::string& nnn, Action action);
  void Problem(TOneTermData& term, const std::string& text);
  void Debug(const TOneTermData& term, const std::string& text, bool blankLine = false);

  RadioInbox& inbox_;
  OutgoingList& outgoing_;
  RecordOptions options_;
  RecordSinks sinks_;
};

}  // namespace quillon
