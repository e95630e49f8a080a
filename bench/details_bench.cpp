// Time to turn the largest cookie the window reads into the text it shows, for each kind of
// content: vesk_details_bench [repeats]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cookies/details.h"

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
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
  std::printf("%-20s %10s %10s\n", "16 MiB of", "best ms", "median ms");
  for (const auto& [name, bytes] : kinds) {
    std::vector<double> ms;
    std::size_t shown = 0;
    for (int i = 0; i < repeats; ++i) {
      const auto start = std::chrono::steady_clock::now();
      shown += vesk::cookies::CookieText(bytes).size();
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-20s %10.1f %10.1f   (%zu bytes shown)\n", name, ms.front(), ms[ms.size() / 2],
                shown / static_cast<std::size_t>(repeats));
  }
}
