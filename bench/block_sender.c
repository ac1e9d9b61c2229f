/* The sending terminal of the turnaround benchmarks: opens one pseudo-terminal pair per line
   asked for, prints "LINE <path>" for each, and sends a file as one transfer of blocks (a
   header block, one block per line of the file, the end block) on all of them in lockstep:
   block i goes to line 1, then to line 2, ... so that every receiver is measured under the same
   conditions of the machine at the same moments. Every answer is timed from the end of its
   write() to its arrival, in nanoseconds. A block without an answer within 300 ms goes again
   (the receiver may not be listening yet), a NAKed block at once; the end block, answered only
   once the receiver has stored the transfer, gets 10 s and is not timed. The period of a line
   is the time from one accepted block to the next: building, writing and waiting together, the
   sender's whole cost per block. Prints per line "TURNAROUND line=<n> median_ns=<m> p10_ns=<p>
   p90_ns=<p> blocks=<answers> period_ns=<median period>" and exits 0, or exits 1 when a
   transfer fails.

   Usage: bench_block_sender <file> [lines] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum {
  kAck = 0x06,
  kNak = 0x15,
  kEnq = 0x05,
  kMaxData = 255,
  kMaxLines = 8,
  kAnswerMs = 300,
  kFinalAnswerMs = 10000,
  kTries = 100
};

struct Line {
  int fd;
  int own; /* our handle on the far side: keeps the master readable while receivers come and go */
  long long* samples;
  size_t count, room;
  long long lastAccepted;
  long long* periods;
  size_t periodCount, periodRoom;
};

static long long NowNs(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static int Compare(const void* a, const void* b) {
  const long long x = *(const long long*)a, y = *(const long long*)b;
  return x < y ? -1 : x > y;
}

static size_t Build(char type, const char* data, size_t n, int counter, char* out) {
  static const char kHex[] = "0123456789ABCDEF";
  if (type == '0') {
    memcpy(out, "-0000FF\r", 8);
    return 8;
  }
  size_t i = 0;
  out[i++] = '-';
  out[i++] = kHex[n >> 4];
  out[i++] = kHex[n & 15];
  out[i++] = type;
  memcpy(out + i, data, n);
  i += n;
  out[i++] = (char)('0' + counter);
  unsigned sum = 0;
  for (size_t k = 1; k < i; ++k) sum += (unsigned char)out[k];
  out[i++] = kHex[(sum >> 4) & 15];
  out[i++] = kHex[sum & 15];
  out[i++] = '\r';
  return i;
}

static int Append(long long** values, size_t* count, size_t* room, long long value) {
  if (*count == *room) {
    *room = *room ? *room * 2 : 4096;
    *values = realloc(*values, *room * sizeof **values);
    if (*values == NULL) return -1;
  }
  (*values)[(*count)++] = value;
  return 0;
}

static int Record(struct Line* line, long long ns) {
  return Append(&line->samples, &line->count, &line->room, ns);
}

/* One block accepted: the time since the one before is a period of the line. */
static int Accepted(struct Line* line) {
  const long long now = NowNs();
  const long long last = line->lastAccepted;
  line->lastAccepted = now;
  if (last == 0) return 0;
  return Append(&line->periods, &line->periodCount, &line->periodRoom, now - last);
}

/* Sends one frame on one line until it is accepted; 0 when accepted. */
static int Send(struct Line* line, const char* frame, size_t length, int final) {
  for (int attempt = 0; attempt < (final ? 1 : kTries); ++attempt) {
    if (write(line->fd, frame, length) != (ssize_t)length) return -1;
    const long long written = NowNs();
    for (;;) {
      struct pollfd pfd = {line->fd, POLLIN, 0};
      const int wait = final ? kFinalAnswerMs : kAnswerMs;
      const int left = wait - (int)((NowNs() - written) / 1000000);
      if (left <= 0 || poll(&pfd, 1, left) <= 0) break; /* no answer: send again */
      unsigned char c;
      if (read(line->fd, &c, 1) != 1) return -1;
      if (c != kAck && c != kNak && c != kEnq) continue;
      if (final) return c == kNak ? -1 : 0;
      if (Record(line, NowNs() - written) != 0) return -1;
      if (c != kNak) return Accepted(line);
      break;
    }
  }
  return -1;
}

static int SendAll(struct Line* lines, int count, const char* frame, size_t length, int final) {
  for (int i = 0; i < count; ++i) {
    if (Send(&lines[i], frame, length, final) != 0) return -1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int count = argc > 2 ? atoi(argv[2]) : 1;
  if (count < 1 || count > kMaxLines) return 2;
  FILE* in = fopen(argv[1], "rb");
  if (in == NULL) return 1;
  struct Line lines[kMaxLines];
  memset(lines, 0, sizeof lines);
  for (int i = 0; i < count; ++i) {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) return 1;
    struct termios tio;
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    lines[i].fd = fd;
    lines[i].own = open(ptsname(fd), O_RDWR | O_NOCTTY);
    if (lines[i].own < 0) return 1;
    printf("LINE %s\n", ptsname(fd));
  }
  fflush(stdout);

  char frame[300];
  int counter = 0;
  if (SendAll(lines, count, frame, Build('1', "BENCH", 5, counter, frame), 0) != 0) return 1;
  static char text[65536];
  while (fgets(text, sizeof text, in) != NULL) {
    size_t n = strcspn(text, "\r\n");
    const char* data = text;
    do {
      const size_t piece = n < kMaxData ? n : kMaxData;
      counter = (counter + 1) % 10;
      if (SendAll(lines, count, frame, Build('+', data, piece, counter, frame), 0) != 0) return 1;
      data += piece;
      n -= piece;
    } while (n > 0);
  }
  if (SendAll(lines, count, frame, Build('0', NULL, 0, 0, frame), 1) != 0) return 1;
  for (int i = 0; i < count; ++i) {
    struct Line* line = &lines[i];
    if (line->count == 0) return 1;
    qsort(line->samples, line->count, sizeof *line->samples, Compare);
    long long period = -1;
    if (line->periodCount > 0) {
      qsort(line->periods, line->periodCount, sizeof *line->periods, Compare);
      period = line->periods[(line->periodCount - 1) / 2];
    }
    printf("TURNAROUND line=%d median_ns=%lld p10_ns=%lld p90_ns=%lld blocks=%zu period_ns=%lld\n",
           i + 1, line->samples[(line->count - 1) / 2], line->samples[line->count / 10],
           line->samples[line->count * 9 / 10], line->count, period);
    close(line->own);
    close(line->fd);
  }
  return 0;
}
