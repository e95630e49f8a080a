#include "cookies/deletion.h"

namespace vesk::cookies {

int DeleteCookieFiles(const std::string& root, const std::vector<std::string>& paths, platform::System& system) {
  int deleted = 0;
  for (const std::string& path : paths) {
    // Failures are not reported one by one: the rescan that follows shows what survived.
    if (DeleteCookieFile(root, path, system).FileIsGone()) ++deleted;
  }
  return deleted;
}

platform::RemoveResult DeleteCookieFile(const std::string& root, const std::string& path, platform::System& system) {
  return system.RemoveFileBelow(root, path);
}

const char* RemovalText(platform::Removal outcome) {
  switch (outcome) {
    case platform::Removal::kDeleted:
      return "deleted";
    case platform::Removal::kGone:
      return "gone";
    case platform::Removal::kReadOnly:
      return "kept: read-only";
    case platform::Removal::kNotRegularFile:
      return "refused: not a regular file";
    case platform::Removal::kPathChanged:
      return "refused: path changed";
    case platform::Removal::kSystemError:
      break;
  }
  return "";
}

}  // namespace vesk::cookies
