#pragma once
// A real FTP server on 127.0.0.1 for tests: pyftpdlib under /usr/bin/python3, one user with a
// password whose home is a fresh temporary directory. It can be made to refuse the TYPE
// command or to take uploaded data slowly.
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon::test {

struct FtpServerOptions {
  bool refuseType = false;       // every TYPE gets "504"
  int uploadBytesPerSecond = 0;  // 0: as fast as it comes
  bool readOnly = false;         // the user may list but not store
};

class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options = {});  // returns once the server accepts
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // The user's home directory on the local disk, and a path below it ("in/2024/a.dat").
  std::string home() const { return dir_.File("home"); }
  std::string HomeFile(const std::string& relative) const { return home() + "/" + relative; }
  // Creates a directory (with its parents) below the home.
  void MakeDir(const std::string& relative) const;

 private:
  TempDir dir_;
  ChildProcess child_;
  std::string user_ = "quill";
  std::string password_ = "s3cret";
  int port_ = 0;
};

}  // namespace quillon::test
