// The receiver program.
#include <string>
#include <vector>

#include "common/paths.h"
#include "shell/headless_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string exePath = quillon::ExecutablePath(argc > 0 ? argv[0] : "quillon");
  // The windows arrive later; until then the receiver always runs as with "/headless".
  return quillon::RunHeadless(exePath, args);
}
