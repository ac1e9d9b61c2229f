#include "receive/terminal_commands.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <optional>

#include "common/file_io.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/process_start.h"
#include "common/texts.h"
#include "protocols/ack_nak_frame.h"
#include "receive/own_files.h"
#include "receive/terminal_commands_parse.h"
#include "serial/result_codes.h"

namespace quillon {
namespace {

// Pauses before a file goes to the terminal, which needs the time to get ready for it.
constexpr int kTxWaitMs = 500;
constexpr int kUpdateWaitMs = 10000;

class Interpreter {
 public:
  explicit Interpreter(CommandContext& ctx) : ctx_(ctx) {
    if (ctx_.app == nullptr) {
      fallbackApp_ = std::make_unique<AppContext>();
      if (!ctx_.programDir.empty())
        fallbackApp_->AppInfo.ProgramDir = WithTrailingSlash(ctx_.programDir);
    }
  }

  bool Run(const ParsedCommand& command) {
    switch (command.code) {
      case TerminalCommand::Exec:
        return Exec(command.argument, false);
      case TerminalCommand::ExecWait:
        return Exec(command.argument, true);
      case TerminalCommand::Delete:
        return Delete(command.argument);
      case TerminalCommand::FileInfo:
        return FileInfo(command.argument);
      case TerminalCommand::DiskFree:
        return DiskFree();
      case TerminalCommand::V24Open:
        if (ctx_.v24open) ctx_.v24open();
        return true;
      case TerminalCommand::V24Close:
        if (ctx_.v24close) ctx_.v24close();
        return true;
      case TerminalCommand::Tx:
        return SendToTerminal(command.argument, false);
      case TerminalCommand::Update:
        return SendToTerminal(command.argument, true);
      case TerminalCommand::None:
        break;
    }
    return false;
  }

  void Log(const std::string& text) {
    if (ctx_.opt.LogLevel != 0) ctx_.reporter.Report(true, 1, text, "");
  }

 private:
  struct Found {
    CommandFile file;
    struct stat st;
  };

  bool IsOwnFile(const std::string& fullName) const {
    return IsProgramFile(ctx_.app != nullptr ? *ctx_.app : *fallbackApp_, fullName);
  }

  // The file a command's argument names, or nothing after the "nicht gefunden" reply and log.
  // Only regular files count (a directory or a device is never a command's file), and the
  // program's own files are answered exactly as missing ones.
  std::optional<Found> Find(const std::string& argument) {
    Found found{ResolveCommandFile(argument, ctx_.programDir), {}};
    const std::string& path = found.file.fullName;
    if (path.find('\0') != std::string::npos || stat(path.c_str(), &found.st) != 0 ||
        !S_ISREG(found.st.st_mode) || IsOwnFile(path)) {
      NotFound(path);
      return std::nullopt;
    }
    return found;
  }

  // The three blocks of a reply: title, the reply text, the end.
  bool SendReply(const std::string& text) {
    TOrvAckNak& port = ctx_.ackNak;
    return port.SendText(acknak::kTypeFirst, txt::kTransferTitle) == rc::kOk &&
           port.SendText(acknak::kTypeNext, text) == rc::kOk &&
           port.SendText(acknak::kTypeEnd, "") == rc::kOk;
  }

  void ReplyError(const char* pattern, const std::string& fullName) {
    (void)SendReply(ErrorReply(pattern, FileNamePart(fullName)));  // an error already
  }

  bool NotFound(const std::string& fullName) {
    ReplyError(txt::kCmdFileNotFound, fullName);
    Log(Format(txt::kCmdFileNotFound, txt::kCmdPrefix, Printable(fullName), ""));
    return false;
  }

  bool Exec(const std::string& argument, bool wait) {
    const std::optional<Found> found = Find(argument);
    if (!found) return false;
    const std::string& fullName = found->file.fullName;
    Log(Format(wait ? txt::kCmdCallWait : txt::kCmdCall, txt::kCmdPrefix, Printable(fullName)));
    // The file that was checked is the file started, with the argument as the program's only
    // command-line word: nothing the terminal sends can add parameters or reach a shell.
    if (StartProgram(fullName, {found->file.name}, wait) != 0) {
      ReplyError(txt::kCmdCallFailed, fullName);
      Log(Format(txt::kCmdCallFailed, "", Printable(fullName), ""));
      return false;
    }
    return true;
  }

  // "$tx" (block protocol on the held port) and "$s^update" (DL mode).
  bool SendToTerminal(const std::string& argument, bool update) {
    if (ctx_.wait && !ctx_.wait(update ? kUpdateWaitMs : kTxWaitMs)) return false;
    const std::optional<Found> found = Find(argument);
    if (!found) return false;
    const std::string& fullName = found->file.fullName;
    const std::string prefix = ctx_.pollAddress.empty()
                                   ? std::string(txt::kCmdPrefix)
                                   : Format(txt::kCmdPrefixPolled, Printable(ctx_.pollAddress));
    Log(Format(txt::kCmdSendFile, prefix, Printable(fullName)));
    ctx_.reporter.SetFileName(fullName);
    int records = 0;
    int bytes = 0;
    const TOrvAckNak::Progress progress = [&](int, int blocks, int sent, int) {
      ctx_.reporter.Report(false, 3, {}, {}, {}, sent - bytes, blocks - records);
      records = blocks;
      bytes = sent;
    };
    const int code = update ? (ctx_.sendUpdate ? ctx_.sendUpdate(fullName, progress) : rc::kNotOpen)
                            : SendOnHeldPort(fullName, progress);
    if (ctx_.resetCounters) ctx_.resetCounters();
    if (code != rc::kOk) {
      ReplyError(txt::kCmdSendFailed, fullName);
      Log(Format(txt::kCmdSendFailed, "", Printable(fullName), ""));
      return false;
    }
    if (ctx_.opt.LogLevel == 1) {
      Log(Format(txt::kCmdSent, Printable(fullName)));
    } else {
      Log(Format(records == 1 ? txt::kCmdSentRecord : txt::kCmdSentRecords, Printable(fullName),
                 records));
    }
    return true;
  }

  // The block protocol's file send on the receive thread's open port, with the file's
  // information in the header; the port's own settings are restored afterwards.
  int SendOnHeldPort(const std::string& fullName, const TOrvAckNak::Progress& progress) {
    TOrvAckNak& port = ctx_.ackNak;
    const bool withFileInfo = port.withFileInfo;
    port.withFileInfo = true;
    const int code = port.SendFile(fullName, progress);
    port.withFileInfo = withFileInfo;
    port.SetTimeout(ctx_.opt.AckNakRxTimeout);
    return code;
  }

  bool Delete(const std::string& argument) {
    const std::optional<Found> found = Find(argument);
    if (!found) return false;
    const std::string& fullName = found->file.fullName;
    Log(Format(txt::kCmdDelete, txt::kCmdPrefix, Printable(fullName)));
    // A read-only file is made writable for its owner first, as a deletion on the terminals'
    // side expects; through a symbolic link the link goes and its target keeps its rights.
    struct stat own {};
    if (lstat(fullName.c_str(), &own) == 0 && !S_ISLNK(own.st_mode) && !(own.st_mode & S_IWUSR))
      (void)chmod(fullName.c_str(), (own.st_mode & 07777) | S_IWUSR);  // unlink tells
    if (unlink(fullName.c_str()) != 0) {
      ReplyError(txt::kCmdDeleteFailed, fullName);
      Log(Format(txt::kCmdDeleteFailed, txt::kCmdPrefix, Printable(fullName), ""));
      return false;
    }
    return true;
  }

  bool FileInfo(const std::string& argument) {
    const std::optional<Found> found = Find(argument);
    if (!found) return false;
    const std::string& fullName = found->file.fullName;
    const struct stat& st = found->st;
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    const std::string reply =
        Format("%02d.%02d.%04d,%02d:%02d:%02d,%lld", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
               tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(st.st_size));
    Log(Format(txt::kCmdFileInfo, txt::kCmdPrefix, Printable(fullName)));
    return SendInformation(reply);
  }

  bool DiskFree() {
    Log(Format(txt::kCmdDiskFree, txt::kCmdPrefix));
    struct statvfs vfs {};
    const std::string dir = ctx_.programDir.empty() ? "." : ctx_.programDir;
    if (statvfs(dir.c_str(), &vfs) != 0) {
      (void)SendReply(Format(txt::kCmdDiskFreeFailed, txt::kCmdErrorHead, txt::kCmdErrorTail));
      Log(Format(txt::kCmdDiskFreeFailed, txt::kCmdPrefix, ""));
      return false;
    }
    const unsigned long long bytes = static_cast<unsigned long long>(vfs.f_bavail) *
                                     static_cast<unsigned long long>(vfs.f_frsize);
    return SendInformation(std::to_string(bytes));
  }

  bool SendInformation(const std::string& reply) {
    if (SendReply(reply)) return true;
    Log(Format(txt::kCmdReplyFailed, txt::kCmdPrefix));
    return false;
  }

  CommandContext& ctx_;
  std::unique_ptr<AppContext> fallbackApp_;  // when the context names no AppContext
};

bool IsBlankLine(const std::string& line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

}  // namespace

bool RunCommands(CommandContext& ctx, const std::string& commandFile) {
  Interpreter interpreter(ctx);
  bool result = false;
  if (const auto content = ReadWholeFile(commandFile)) {
    const std::vector<std::string> lines = SplitCommandLines(*content);
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const ParsedCommand command = ParseCommand(line);
      if (command.code == TerminalCommand::None) {
        // The first line may be the transfer's header record; empty lines carry nothing.
        if (i != 0 && !IsBlankLine(line))
          interpreter.Log(Format(txt::kCmdFaulty, txt::kCmdUnknown));
        continue;
      }
      result = interpreter.Run(command);
    }
  }
  (void)unlink(commandFile.c_str());  // the receive thread reports a file that stays behind
  return result;
}

}  // namespace quillon
