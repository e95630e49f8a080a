#include "cookies/deletion.h"

namespace vesk::cookies {

int DeleteCookieFiles(const std::vector<std::string>& paths, platform::System& system) {
  int deleted = 0;
  for (const std::string& path : paths) {
    // Failures are not reported one by one: the rescan that follows shows what survived.
    if (system.RemoveFile(path).ok()) ++deleted;
  }
  return deleted;
}

}  // namespace vesk::cookies
