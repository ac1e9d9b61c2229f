// quillon-sim: plays the far side of a serial line for the receiver. It knows the wire formats
// on its own and shares no code with the receiver, so a fault in one is not mirrored by the
// other.
//
// This first version provides the line itself: a pseudo-terminal pair whose device path it
// prints, held open until it is ended.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void PrintHelp() {
  std::puts(
      "quillon-sim - simuliert die Gegenseite einer seriellen Leitung\n"
      "\n"
      "Aufruf: quillon-sim --pty [--print-path DATEI]\n"
      "\n"
      "  --pty               legt ein Pseudo-Terminal-Paar an, gibt den Gerätepfad der\n"
      "                      Leitung aus und hält sie offen, bis das Programm beendet wird\n"
      "  --print-path DATEI  schreibt den Gerätepfad zusätzlich in DATEI\n"
      "  --help              diese Hilfe");
}

int HoldPty(const std::string& pathFile) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::fprintf(stderr, "Pseudo-Terminal kann nicht angelegt werden: %s\n", std::strerror(errno));
    return 1;
  }
  termios tio {};
  tcgetattr(master, &tio);
  cfmakeraw(&tio);
  tcsetattr(master, TCSANOW, &tio);
  // The receiver opens the line by its path; our own handle on it can go.
  close(slave);
  std::printf("%s\n", name);
  std::fflush(stdout);
  if (!pathFile.empty()) {
    const std::string tmp = pathFile + ".tmp";
    std::ofstream(tmp) << name << "\n";
    std::rename(tmp.c_str(), pathFile.c_str());
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  // Drain whatever the receiver writes so it never blocks on a full line.
  char buf[4096];
  while (!g_stop) {
    pollfd pfd{master, POLLIN, 0};
    const int n = poll(&pfd, 1, 1000);
    if (n <= 0) continue;
    const ssize_t got = (pfd.revents & POLLIN) ? read(master, buf, sizeof buf) : -1;
    if (got < 0 && (pfd.revents & POLLIN) && errno != EAGAIN && errno != EIO) break;
    // Nobody has the line open right now (hang-up): wait for the next opener.
    if (got <= 0 && (pfd.revents & (POLLHUP | POLLERR))) usleep(100000);
  }
  close(master);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool pty = false;
  std::string pathFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    } else if (arg == "--pty") {
      pty = true;
    } else if (arg == "--print-path" && i + 1 < argc) {
      pathFile = argv[++i];
    } else {
      std::fprintf(stderr, "Unbekannte Option: %s (--help zeigt die Optionen)\n", arg.c_str());
      return 2;
    }
  }
  if (!pty) {
    PrintHelp();
    return 2;
  }
  return HoldPty(pathFile);
}
