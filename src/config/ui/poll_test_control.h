#pragma once
// The setup dialog's side of the poll test: starts and stops the test thread on the port being
// edited and brings its reports to the two labels on the dialog's thread.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "polling/poll_test_input.h"
#include "polling/poll_test_thread.h"

class QAbstractButton;
class QLabel;

namespace quillon {

class PollTestControl : public QObject {
  Q_OBJECT

 public:
  // `toggle` is the "Testen!" button; it is released when the test ends by itself.
  PollTestControl(QAbstractButton* toggle, QLabel* address, QLabel* times, QObject* parent);
  ~PollTestControl() override;

  // Starts the test on `line`; false (and the button released) when it could not start.
  bool Start(const PollTestLine& line);
  // Ends a running test and waits for its thread; nothing when none runs.
  void Stop();
  bool Running() const { return test_ != nullptr; }

  // What the running test reads: the address list and the poll cycle.
  void SetAddresses(const std::vector<std::string>& addresses);
  void SetInterval(int ms);

 private:
  // Ends the test's thread; its reports still on the way are dropped.
  void EndThread();
  void Release();

  QAbstractButton* toggle_;
  QLabel* address_;
  QLabel* times_;
  std::shared_ptr<PollTestInput> input_ = std::make_shared<PollTestInput>();
  std::unique_ptr<TPolltestThread> test_;
  // Reports of a test that has been stopped are dropped.
  int generation_ = 0;
};

}  // namespace quillon
