#include "platform/platform.h"

#include <cstdlib>

namespace vesk::platform {

void FreeLargeBlock::operator()(char* block) const { std::free(block); }

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == kSeparator;
#endif
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty()) return parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string ProperPath(std::string path) {
  if (path.empty() || !IsSeparator(path.back())) path += kSeparator;
  return path;
}

std::string BaseNameWithoutExtension(const std::string& path) {
  const std::vector<std::string_view> parts = SplitPath(path);
  std::string name = parts.empty() ? std::string() : std::string(parts.back());
  // A leading dot names a hidden file rather than starting an extension.
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::optional<PathBelow> SplitBelow(const std::string& root, const std::string& path) {
  const std::string prefix = ProperPath(root);
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  std::vector<std::string_view> parts = SplitPath(std::string_view(path).substr(prefix.size()));
  PathBelow below;
  for (const std::string_view part : parts) {
    if (part.empty() || part == "." || part == "..") return std::nullopt;
  }
  below.file = parts.back();
  parts.pop_back();
  below.folders.assign(parts.begin(), parts.end());
  return below;
}

}  // namespace vesk::platform
