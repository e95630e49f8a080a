// Times the scan and the cookie filter that a refresh of the cookie list runs, on a real folder,
// and reports the process's peak memory. --sequential times the one-folder-at-a-time walk instead,
// --workers N sets the most threads beside the calling one, --alone N the folders it walks alone
// first, --always starts all workers even on a warm cache.

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/cookie_list.h"
#include "discovery/scan.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vesk_scan_bench FOLDER [RUNS=5] [--print] [--sequential] [--workers N] [--alone N] [--always]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string folder = argv[1];
  int runs = 5;
  bool print = false, sequential = false;
  vesk::discovery::ScanOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--print") {
      print = true;
    } else if (arg == "--always") {
      options.onlyFromDisk = false;
    } else if (arg == "--sequential") {
      sequential = true;
    } else if (arg == "--workers" && i + 1 < argc) {
      options.workers = std::atoi(argv[++i]);
    } else if (arg == "--alone" && i + 1 < argc) {
      options.aloneFolders = static_cast<std::size_t>(std::max(0, std::atoi(argv[++i])));
    } else if (i == 2 && std::atoi(arg.c_str()) > 0) {
      runs = std::atoi(arg.c_str());
    } else {
      return Usage();
    }
  }

  std::vector<double> ms;
  std::size_t entries = 0, cookies = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    vesk::discovery::EntryList list(1);
    if (sequential) {
      vesk::discovery::ScanFolderSequential(folder, vesk::discovery::kScanPattern, list, vesk::platform::Native());
    } else {
      vesk::discovery::ScanFolder(folder, vesk::discovery::kScanPattern, list, vesk::platform::Native(), options);
    }
    const auto paths = vesk::discovery::CookiePaths(list);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    entries = list.size() - 1;
    cookies = paths.size();
    if (print && run == runs - 1) {
      for (const auto& path : paths) std::printf("%s\n", path.c_str());
    }
  }
  std::sort(ms.begin(), ms.end());
  std::fprintf(stderr, "%zu entries, %zu cookies; %s scan+filter over %d runs: min %.1f ms, median %.1f ms",
               entries, cookies, sequential ? "sequential" : "parallel", runs, ms.front(), ms[ms.size() / 2]);
#ifndef _WIN32
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr, "; peak memory %ld KiB", usage.ru_maxrss);
#endif
  std::fprintf(stderr, "\n");
  return 0;
}
