#include "platform/platform.h"

namespace vesk::platform {

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

}  // namespace vesk::platform
