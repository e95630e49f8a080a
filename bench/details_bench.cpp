// Time to turn the largest cookie the window reads into the text it shows, for each kind of
// content, in UTF-8 and in the UTF-16 the window takes; with a file, also the whole step a click
// runs (reading it and making its text), the first time in this process and again:
//   vesk_details_bench [repeats] [FILE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "cookies/details.h"

namespace {

// Best and median of `repeats` runs of `run` in ms, with what the last one gave.
std::pair<double, double> Time(int repeats, const std::function<std::size_t()>& run, std::size_t& result) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    result = run();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (argc > 2) {
    // The click's step on a real file: the first run pays for fresh memory, later ones less.
    const std::string path = argv[2];
    std::printf("%-28s %10s\n", "reading and making the text", "ms");
    for (int i = 0; i < repeats; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const auto text = vesk::cookies::ReadCookieTextUtf16(vesk::platform::Native(), path);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      std::printf("%-28s %10.1f   (%zu units)\n", i == 0 ? "first" : "again", ms, text ? text->size() : 0);
    }
    return 0;
  }
  const std::size_t size = vesk::cookies::kMaxShownBytes;
  std::vector<std::pair<const char*, std::string>> kinds;
  kinds.emplace_back("NUL bytes", std::string(size, '\0'));
  std::string words, mix, run(size, 'q'), high;
  while (words.size() < size) words += "lorem ipsum dolor ";
  while (mix.size() < size) mix += std::string("\0\0\x03\x1f", 4) + "score" + std::string(7, '\0') + "name";
  while (high.size() < size) high += "gr\xc3\xbc\xc3\x9f \xe4\x80";
  kinds.emplace_back("words with blanks", words.substr(0, size));
  kinds.emplace_back("binary mix", mix.substr(0, size));
  kinds.emplace_back("one run of letters", run);
  kinds.emplace_back("UTF-8 and Latin-1", high.substr(0, size));
  std::printf("%-20s %14s %14s %14s %14s\n", "16 MiB of", "UTF-8 best", "median", "UTF-16 best", "median");
  for (const auto& [name, bytes] : kinds) {
    std::size_t utf8 = 0, utf16 = 0;
    const auto a = Time(repeats, [&] { return vesk::cookies::CookieText(bytes).size(); }, utf8);
    const auto b = Time(repeats, [&] { return vesk::cookies::CookieTextUtf16(bytes).size(); }, utf16);
    std::printf("%-20s %14.1f %14.1f %14.1f %14.1f   (%zu bytes, %zu units)\n", name, a.first, a.second, b.first,
                b.second, utf8, utf16);
  }
}
