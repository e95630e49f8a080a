// Times the scan and the cookie filter that a refresh of the cookie list runs, on a real folder.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "discovery/cookie_list.h"
#include "discovery/scan.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vesk_scan_bench FOLDER [RUNS=5] [--print]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const bool print = argc > 3 && std::string(argv[3]) == "--print";

  std::vector<double> ms;
  std::size_t entries = 0, cookies = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    vesk::discovery::EntryList list(1);
    vesk::discovery::ScanFolder(folder, vesk::discovery::kScanPattern, list, vesk::platform::Native());
    const auto paths = vesk::discovery::CookiePaths(list);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    entries = list.size() - 1;
    cookies = paths.size();
    if (print && run == runs - 1) {
      for (const auto& path : paths) std::printf("%s\n", path.c_str());
    }
  }
  std::sort(ms.begin(), ms.end());
  std::fprintf(stderr, "%zu entries, %zu cookies; scan+filter over %d runs: min %.1f ms, median %.1f ms\n",
               entries, cookies, runs, ms.front(), ms[ms.size() / 2]);
  return 0;
}
