// Several ports storing into the same target at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "file_store_fixture.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ContentsUnder(const std::string& dir) {
  std::vector<std::string> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) out.push_back(ReadBytes(e.path().string()));
  }
  return out;
}

struct Port {
  Port(int n, const TQuillonOpt& opt, const std::string& programDir)
      : number(n),
        temp(programDir + "rxtmp" + std::to_string(n) + ".dat"),
        store(n, opt, programDir, reporter) {}

  // Stores `rounds` transfers of about 128 KiB each, every line naming its port and round.
  void Run(int rounds) {
    for (int r = 0; r < rounds; ++r) {
      TOrvFile32 file(temp, true);
      file.Write(Data(r));
      std::array<std::string, 3> names;
      std::string last;
      results.push_back(store.StoreFile(file, names, 1, false, last, [] { return true; }));
    }
  }
  std::string Data(int round) const {
    std::string data;
    for (int line = 0; data.size() < (1 << 17); ++line) {
      data += "port " + std::to_string(number) + " round " + std::to_string(round) + " line " +
              std::to_string(line) + "\r\n";
    }
    return data;
  }

  int number;
  std::string temp;
  RecordingReporter reporter;
  FileStore store;
  std::vector<bool> results;
};

// Every transfer ends up exactly once and whole: in the target or in a local store. Each file
// must be a row of whole transfers; the first line of each names the transfer it starts.
void ExpectEveryTransferOnce(const std::vector<std::string>& contents, Port& a, Port& b, int rounds,
                             const std::string& legend) {
  std::map<std::pair<int, int>, int> seen;  // (port, round) -> times stored
  for (const auto& c : contents) {
    size_t pos = 0;
    while (pos < c.size()) {
      int port = 0;
      int round = 0;
      ASSERT_EQ(std::sscanf(c.c_str() + pos, "port %d round %d line 0\r\n", &port, &round), 2)
          << legend << ": no transfer starts at " << pos;
      Port* p = port == a.number ? &a : port == b.number ? &b : nullptr;
      ASSERT_NE(p, nullptr) << legend;
      const std::string data = p->Data(round);
      ASSERT_EQ(c.compare(pos, data.size(), data), 0)
          << legend << ": port " << port << " round " << round << " not whole";
      ++seen[{port, round}];
      pos += data.size();
    }
  }
  for (Port* p : {&a, &b}) {
    for (int r = 0; r < rounds; ++r) {
      EXPECT_EQ(seen[std::make_pair(p->number, r)], 1)
          << legend << " port " << p->number << " round " << r;
    }
    EXPECT_EQ(std::count(p->results.begin(), p->results.end(), true), rounds) << legend;
  }
}

TEST_F(FileStoreTest, TwoPortsOnOneTargetNeverMixTheirData) {
  constexpr int kRounds = 6;
  for (int mode : {1, 2}) {
    fs::remove_all(dir_.path() + "/in");
    fs::remove_all(ProgramDir());
    fs::create_directories(ProgramDir());
    opt_.FileMode = mode;
    opt_.FileName = InDir() + (mode == 2 ? "d.%lfd" : "daten.dat");
    opt_.SeqDigits = 3;
    Port one(1, opt_, ProgramDir());
    Port two(2, opt_, ProgramDir());
    std::thread first([&] { one.Run(kRounds); });
    std::thread second([&] { two.Run(kRounds); });
    first.join();
    second.join();

    auto contents = ContentsUnder(InDir());
    for (const auto& c : ContentsUnder(ProgramDir())) contents.push_back(c);
    ExpectEveryTransferOnce(contents, one, two, kRounds, "mode " + std::to_string(mode));
  }
}

}  // namespace
}  // namespace quillon::test
