#include "radio/term_debug.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <utility>

#include "common/format.h"
#include "receive/logbook_append.h"

namespace quillon {
namespace {

constexpr const char* kOversizedQuestionHead = "Die Terminal-Debugdatei ";
constexpr const char* kOversizedQuestionTail =
    " ist über 1MB groß!\rSoll diese Datei gelöscht werden ?";
constexpr int kOversizedCheckLastTerminal = 127;
// The writer yields to the line and everything else of the program.
constexpr int kWriterNiceness = 10;

std::string LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  const size_t n = std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return std::string(text, n);
}

}  // namespace

std::optional<std::string> TermDebugFileName(const std::string& programDir, int terminal) {
  if (terminal < 0 || terminal > kMaxDebugTerminal) return std::nullopt;
  return programDir + Format("Term%03d.Dat", terminal);
}

std::vector<std::string> OversizedDebugFiles(const std::string& programDir) {
  std::vector<std::string> files;
  for (int terminal = 1; terminal <= kOversizedCheckLastTerminal; ++terminal) {
    const std::string path = *TermDebugFileName(programDir, terminal);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uintmax_t>(st.st_size) > kOversizedDebugFileBytes) {
      files.push_back(path);
    }
  }
  return files;
}

std::string OversizedDebugFileQuestion(const std::string& fileName) {
  return kOversizedQuestionHead + fileName + kOversizedQuestionTail;
}

// ---- queue ----------------------------------------------------------------------------------

void TDebugQueue::Push(std::vector<TDebugEntry> entries) {
  {
    const std::lock_guard lock(mutex_);
    for (TDebugEntry& entry : entries) entries_.push_back(std::move(entry));
  }
  wake_.notify_one();
}

std::optional<TDebugEntry> TDebugQueue::Take() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !entries_.empty() || endRequested_; });
  if (entries_.empty()) return std::nullopt;
  TDebugEntry entry = std::move(entries_.front());
  entries_.pop_front();
  return entry;
}

void TDebugQueue::RequestEnd() {
  {
    const std::lock_guard lock(mutex_);
    endRequested_ = true;
  }
  wake_.notify_all();
}

// ---- writer ---------------------------------------------------------------------------------

TWriteDebugThread::TWriteDebugThread(TDebugQueue& queue, std::string programDir)
    : queue_(queue), programDir_(std::move(programDir)), thread_([this] { Run(); }) {}

TWriteDebugThread::~TWriteDebugThread() { Finish(); }

void TWriteDebugThread::Finish() {
  queue_.RequestEnd();
  if (thread_.joinable()) thread_.join();
}

void TWriteDebugThread::Run() {
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWriterNiceness) != 0) {
    // Refused: the writer stays at normal priority, which is harmless.
  }
  while (const std::optional<TDebugEntry> entry = queue_.Take()) {
    const auto path = TermDebugFileName(programDir_, entry->terminal);
    if (path && !AppendToRegularFile(*path, entry->text + "\r\n")) {
      // The line is lost: a debug file must never hold up or disturb the line.
    }
  }
}

// ---- log ------------------------------------------------------------------------------------

TTermDebugLog::TTermDebugLog(std::string programDir, int level)
    : level_(level), writer_(queue_, std::move(programDir)) {}

void TTermDebugLog::Write(int terminal, const std::string& text, bool blankLine) {
  if (level_ <= 0 || stopped_ || !TermDebugFileName("", terminal)) return;
  std::vector<TDebugEntry> entries{{terminal, LocalTimestamp() + "  " + text}};
  if (blankLine) entries.push_back({terminal, ""});
  queue_.Push(std::move(entries));
}

void TTermDebugLog::Stop() {
  stopped_ = true;
  writer_.Finish();
}

}  // namespace quillon
