#include "platform/platform.h"

#include <cstdlib>

namespace vesk::platform {

void FreeLargeBlock::operator()(char* block) const { std::free(block); }

std::string BaseNameWithoutExtension(const std::string& path) {
#ifdef _WIN32
  const auto slash = path.find_last_of("\\/");
#else
  const auto slash = path.find_last_of('/');
#endif
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A leading dot names a hidden file rather than starting an extension.
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::optional<PathBelow> SplitBelow(const std::string& root, const std::string& path) {
  std::string prefix = root;
  if (prefix.empty() || prefix.back() != kSeparator) prefix += kSeparator;
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  PathBelow below;
  std::size_t start = prefix.size();
  while (true) {
#ifdef _WIN32
    const std::size_t end = path.find_first_of("\\/", start);
#else
    const std::size_t end = path.find(kSeparator, start);
#endif
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    if (end == std::string::npos) {
      below.file = std::move(part);
      return below;
    }
    below.folders.push_back(std::move(part));
    start = end + 1;
  }
}

}  // namespace vesk::platform
