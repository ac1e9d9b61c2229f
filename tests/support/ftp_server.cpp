#include "support/ftp_server.h"

#include <signal.h>

#include <filesystem>

namespace quillon::test {
namespace {

constexpr int kStartTimeoutMs = 20000;

// The server prints "PORT <n>" once it listens, then stays silent (its log would otherwise
// fill the pipe nobody reads while a test runs).
constexpr const char* kServerScript = R"(import os, sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
home, user, password, refuse_type, rate, read_only = sys.argv[1:7]
logging.getLogger('pyftpdlib').addHandler(logging.NullHandler())
logging.getLogger('pyftpdlib').setLevel(logging.CRITICAL)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm='elr' if read_only == '1' else 'elradfmwMT')
class Handler(FTPHandler):
    def ftp_TYPE(self, line):
        if refuse_type == '1':
            self.respond('504 Type not accepted.')
            return
        return FTPHandler.ftp_TYPE(self, line)
Handler.authorizer = authorizer
Handler.permit_foreign_addresses = True
Handler.auth_failed_timeout = 0
if int(rate) > 0:
    class SlowData(ThrottledDTPHandler):
        read_limit = int(rate)
        write_limit = int(rate)
    Handler.dtp_handler = SlowData
server = FTPServer(('127.0.0.1', 0), Handler)
print('PORT', server.address[1], flush=True)
devnull = os.open(os.devnull, os.O_WRONLY)
os.dup2(devnull, 1)
os.dup2(devnull, 2)
server.serve_forever(handle_exit=False)
)";

}  // namespace

FtpServer::FtpServer(FtpServerOptions options) {
  std::filesystem::create_directories(home());
  const std::string script = dir_.File("ftp_server.py");
  WriteBytes(script, kServerScript);
  const bool started = child_.Start(
      {"/usr/bin/python3", script, home(), user_, password_, options.refuseType ? "1" : "0",
       std::to_string(options.uploadBytesPerSecond), options.readOnly ? "1" : "0"},
      dir_.path());
  if (!started || !child_.WaitForOutput("\n", kStartTimeoutMs)) return;
  const auto at = child_.out().find("PORT ");
  if (at != std::string::npos) port_ = std::stoi(child_.out().substr(at + 5));
}

FtpServer::~FtpServer() {
  child_.Signal(SIGTERM);
  (void)child_.Wait(5000);
}

void FtpServer::MakeDir(const std::string& relative) const {
  std::filesystem::create_directories(HomeFile(relative));
}

}  // namespace quillon::test
