#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quillon::bench {

namespace {
const std::string kBin = QUILLON_BIN_DIR;
}

std::string StartSender(test::ChildProcess& sim, const std::string& file) {
  if (!sim.Start({kBin + "/quillon-sim", "--pty", "--send", file, "--stats", "--ack-timeout",
                  "3000"},
                 "")) {
    return {};
  }
  if (!sim.WaitForOutput("\n", 5000)) return {};
  const std::string out = sim.out();
  const auto pos = out.find("LINE ");
  if (pos == std::string::npos) return {};
  return out.substr(pos + 5, out.find('\n', pos) - pos - 5);
}

long MedianMicros(const std::string& simOut) {
  const auto pos = simOut.find("median_us=");
  return pos == std::string::npos ? -1 : std::atol(simOut.c_str() + pos + 10);
}

long RunReference(const std::string& file) {
  test::ChildProcess sim;
  const std::string line = StartSender(sim, file);
  if (line.empty()) return -1;
  test::ChildProcess responder;
  responder.Start({kBin + "/bench_reference_responder", line}, "");
  if (sim.Wait(120000) != 0) return -1;
  responder.Wait(5000);
  return MedianMicros(sim.out());
}

void WriteBlockFile(const std::string& path, int blocks) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < blocks; ++i) out << std::string(255, static_cast<char>('A' + i % 26)) << "\r\n";
}

bool MeasureAgainstReference(const std::string& file,
                             const std::function<long(const std::string&)>& runReceiver,
                             long& receiver, long& reference) {
  reference = -1;
  receiver = -1;
  for (int round = 0; round < 3; ++round) {
    const long r = RunReference(file);
    const long q = runReceiver(file);
    if (r > 0 && (reference < 0 || r < reference)) reference = r;
    if (q > 0 && (receiver < 0 || q < receiver)) receiver = q;
  }
  if (reference > 0 && receiver > 0) return true;
  std::fprintf(stderr, "Messung fehlgeschlagen (Referenz %ld us, Empfänger %ld us)\n", reference,
               receiver);
  return false;
}

}  // namespace quillon::bench
