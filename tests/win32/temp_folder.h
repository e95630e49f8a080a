#pragma once

// A fresh folder below the system's temporary folder, removed with everything in it at the end
// of the test. Paths are UTF-8, as the program holds them; the helpers write through the wide
// API with the \\?\ form so that they reach long and odd names the program must handle.

#include <windows.h>

#include <string>
#include <string_view>

namespace vesk::test {

std::wstring ToWide(std::string_view text);
std::string ToUtf8(std::wstring_view text);
std::wstring Literal(const std::string& path);  // "\\?\" + path with backslashes

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + "\" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

  // Creates every missing folder of `relative`.
  void MakeFolder(const std::string& relative) const;
  // Writes `bytes` to `relative`, creating its folders first.
  void WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
};

bool Exists(const std::string& path);

// Makes `link` a junction to the folder `target` (under Wine, which has no junctions, the Unix
// link that Wine shows as one); false when neither can be made.
bool MakeFolderLink(const std::string& link, const std::string& target);

}  // namespace vesk::test
