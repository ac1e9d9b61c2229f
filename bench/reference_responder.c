/* The least a receiver can do: read one block up to its CR and answer ACK, until the end
   block. The yardstick for the receiver's block turnaround. */
#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int fd = open(argv[1], O_RDWR | O_NOCTTY);
  if (fd < 0) return 1;
  struct termios tio;
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  char block[512];
  size_t len = 0;
  for (;;) {
    char buf[512];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return 1;
    for (ssize_t i = 0; i < n; ++i) {
      if (len < sizeof block) block[len++] = buf[i];
      if (buf[i] != '\r') continue;
      const char ack = 0x06;
      if (write(fd, &ack, 1) != 1) return 1;
      if (len == 8 && memcmp(block, "-0000FF\r", 8) == 0) return 0;
      len = 0;
    }
  }
}
