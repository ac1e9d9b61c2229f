#pragma once
// Page "TCP/IP": forwarding of stored files to a TCP/IP host or an FTP server. The two kinds
// exclude each other.
#include <atomic>
#include <functional>
#include <thread>

#include "config/ui/setup_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillon {

class NetPage : public SetupPage {
  Q_OBJECT

 public:
  NetPage(SetupContext& context, QWidget* parent);
  ~NetPage() override;  // stops a running test connection and waits for its end
  void ApplyRules() override;

  // The FTP test connection with the edit copy's FTP settings; the page's own test runs
  // unless another is set; without one the button stays disabled.
  using FtpTestAction = std::function<void(QWidget* parent, const TQuillonOpt& settings)>;
  void SetFtpTestAction(FtpTestAction action);

 protected:
  void FillValues() override;

 private:
  // `kind` 1 TCP/IP, 2 FTP; `on` from the chosen item of that kind's status.
  void StatusChosen(int kind, bool on);
  void AddressEdited();
  void CheckPort();
  QLineEdit* NewTextField(const char* name, std::string TQuillonOpt::*field);
  // The test connection runs on a worker thread so that the window stays responsive; the
  // transcript comes back to the page's thread and is shown there.
  void StartFtpTest(const TQuillonOpt& settings);
  void FtpTestDone(const QString& transcript);

  QComboBox* tcpStatus_;
  QLineEdit* tcpAddress_;
  QLineEdit* tcpPort_;
  QComboBox* ftpStatus_;
  QLineEdit* ftpHost_;
  QLineEdit* ftpUser_;
  QLineEdit* ftpPassword_;
  QComboBox* ftpMode_;
  QSpinBox* ftpTimeout_;
  QLineEdit* ftpDir_;
  QPushButton* ftpTest_;
  FtpTestAction ftpTestAction_;
  std::thread ftpTestThread_;
  std::atomic<bool> ftpTestStop_{false};
  bool ftpTestRunning_ = false;
};

// The address as the masked field shows it: each part padded to three places with blanks.
QString MaskedAddress(const std::string& address);

}  // namespace quillon
