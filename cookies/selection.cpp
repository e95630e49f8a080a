#include "cookies/selection.h"

#include <algorithm>

namespace vesk::cookies {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool MatchesAny(const std::vector<std::string>& patterns, std::string_view site) {
  return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) { return GlobMatch(p, site); });
}

}  // namespace

bool GlobMatch(std::string_view pattern, std::string_view text) {
  // Greedy with one back-track point, the last `*`: linear in practice, never exponential.
  std::size_t p = 0, t = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> ParseKeepList(std::string_view text) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && Blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && Blank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.front() == '#' && (line.size() == 1 || Blank(line[1]))) continue;
    patterns.emplace_back(line);
  }
  return patterns;
}

std::vector<std::size_t> SelectFiles(const std::vector<ListedFile>& listing, const SelectionRules& rules) {
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const ListedFile& file = listing[i];
    if (file.kind == discovery::FileKind::kSettings && !rules.includeSettings) continue;
    const std::string site = file.site.value_or("");
    if (MatchesAny(rules.keep, site)) continue;
    if (rules.all || MatchesAny(rules.sites, site)) chosen.push_back(i);
  }
  return chosen;
}

}  // namespace vesk::cookies
