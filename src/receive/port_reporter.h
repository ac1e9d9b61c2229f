#pragma once
// How the parts of a reception tell the user what they do: through the receive thread's Report
// and SetLed, which fill the port's status record and post the window messages.
#include <string>

namespace quillon {

class PortReporter {
 public:
  virtual ~PortReporter() = default;

  // level 1..3 against the port's LogLevel: a status text of level 1 always shows, a log text
  // only when level <= LogLevel. An empty text is "not given". A data line is one received
  // record for the data page; addBytes/addRecords count the transfer. `force` posts an update
  // even when nothing changed or one is already pending.
  virtual void Report(bool force, int level, const std::string& logText,
                      const std::string& statusText, const std::string& dataLine = {},
                      int addBytes = 0, int addRecords = 0) = 0;
  // LED state: 0 ready, 1 busy, 2 closed, -1 error.
  virtual void SetLed(int state) = 0;
  // Sets the port's shown file name ("Datei:").
  virtual void SetFileName(const std::string& name) = 0;
};

}  // namespace quillon
