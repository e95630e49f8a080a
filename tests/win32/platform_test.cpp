// The Windows platform layer on a real file system: names outside the ANSI code page, junctions,
// long paths, names ending in a dot or a blank, read-only files.

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "discovery/scan.h"
#include "platform/platform.h"
#include "platform/utf16.h"
#include "tests/wtf8_cases.h"
#include "tests/win32/temp_folder.h"

namespace vesk {
namespace {

using platform::Native;
using test::Exists;
using test::Literal;
using test::MakeFolderLink;
using test::TempFolder;

std::vector<std::string> Scan(const std::string& folder) {
  discovery::EntryList list(1);
  discovery::ScanFolder(folder, discovery::kScanPattern, list, Native());
  return {list.begin(), list.end()};
}

std::string Read(const std::string& path, std::size_t maxBytes = 1 << 20) {
  std::string bytes = "stale";
  const platform::Result result = Native().ReadFileHead(path, maxBytes, bytes);
  EXPECT_TRUE(result.ok()) << path << " error " << result.error;
  return bytes;
}

TEST(Win32Platform, ListsNamesOutsideTheAnsiCodePageExactly) {
  TempFolder root;
  root.WriteFile("Ελλάδα\\日本.sol", "tokyo");
  const std::string folder = root / "Ελλάδα";
  const std::string cookie = folder + "\\日本.sol";

  EXPECT_EQ(Scan(root.Path()), (std::vector<std::string>{">>" + folder, "    " + cookie, ""}));
  EXPECT_EQ(Read(cookie), "tokyo");
  EXPECT_EQ(Native().FileLength(cookie), 5);
  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), cookie).outcome, platform::Removal::kDeleted);
  EXPECT_FALSE(Exists(cookie));
  EXPECT_TRUE(Exists(folder));  // only the file goes
}

TEST(Win32Platform, FolderGivenWithOrWithoutSeparatorScansAlike) {
  TempFolder root;
  root.WriteFile("a.sol", "a");
  root.WriteFile("S\\b.sol", "b");
  const auto without = Scan(root.Path());
  EXPECT_EQ(Scan(root.Path() + "\\"), without);
  std::vector<std::string> sorted(without.begin(), without.end() - 1);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"    " + (root / "S\\b.sol"), "    " + (root / "a.sol"),
                                              ">>" + (root / "S")}));
}

TEST(Win32Platform, JunctionIsRecordedButNotEntered) {
  TempFolder root;
  root.WriteFile("target\\inner.sol", "x");
  const std::string link = root / "store\\loop";
  root.MakeFolder("store");
  ASSERT_TRUE(MakeFolderLink(link, root / "target")) << "no junction could be made";
  // The junction really leads to its target...
  ASSERT_TRUE(Exists(link + "\\inner.sol"));

  // ...but the scan records it and does not go in.
  EXPECT_EQ(Scan(root / "store"), (std::vector<std::string>{">>" + link, ""}));
  const auto entries = Scan(root.Path());
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "    " + (root / "target\\inner.sol")), 1);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "    " + link + "\\inner.sol"), 0);
}

TEST(Win32Platform, JunctionToItsOwnParentEndsTheScan) {
  TempFolder root;
  root.WriteFile("AppData\\c.sol", "c");
  ASSERT_TRUE(MakeFolderLink(root / "AppData\\Application Data", root / "AppData"));
  const auto entries = Scan(root / "AppData");
  EXPECT_EQ(entries.size(), 3u);  // c.sol, the junction, the spare slot
}

TEST(Win32Platform, PathLongerThanMaxPathIsListedReadAndDeleted) {
  TempFolder root;
  std::string relative;
  for (int level = 0; level < 6; ++level) relative += std::string(50, static_cast<char>('a' + level)) + "\\";
  relative += "deep.sol";
  root.WriteFile(relative, "long way down");
  const std::string cookie = root / relative;
  ASSERT_GT(test::ToWide(cookie).size(), static_cast<std::size_t>(MAX_PATH));

  const auto entries = Scan(root.Path());
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "    " + cookie), 1);
  EXPECT_EQ(entries.size(), 8u);  // six folders, the file, the spare slot
  EXPECT_EQ(Read(cookie), "long way down");
  EXPECT_EQ(Native().FileLength(cookie), 13);
  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), cookie).outcome, platform::Removal::kDeleted);
  EXPECT_FALSE(Exists(cookie));
}

TEST(Win32Platform, NamesEndingInDotOrBlankAreKeptApartFromTheirTrimmedTwins) {
  TempFolder root;
  root.WriteFile("dot.", "with dot");
  root.WriteFile("dot", "plain");
  root.WriteFile("blank ", "with blank");
  root.WriteFile("site.\\x.sol", "in dotted folder");

  const auto entries = Scan(root.Path());
  for (const std::string name : {"dot.", "dot", "blank ", "site.\\x.sol"}) {
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "    " + (root / name)), 1) << name;
  }
  EXPECT_EQ(Read(root / "dot."), "with dot");
  EXPECT_EQ(Read(root / "blank "), "with blank");
  EXPECT_EQ(Read(root / "site.\\x.sol"), "in dotted folder");
  EXPECT_EQ(Native().FileLength(root / "blank "), 10);

  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), root / "dot.").outcome, platform::Removal::kDeleted);
  EXPECT_FALSE(Exists(root / "dot."));
  EXPECT_EQ(Read(root / "dot"), "plain");
}

TEST(Win32Platform, DotStepsAndForwardSlashesStillNameTheFile) {
  TempFolder root;
  root.WriteFile("a\\b.sol", "b");
  EXPECT_EQ(Read(root / "a\\.\\..\\a\\b.sol"), "b");
  std::string slashes = root / "a/b.sol";
  EXPECT_EQ(Read(slashes), "b");
}

TEST(Win32Platform, ReadOnlyFileIsRefusedAndKept) {
  TempFolder root;
  root.WriteFile("locked.sol", "keep me");
  const std::string cookie = root / "locked.sol";
  ASSERT_TRUE(SetFileAttributesW(Literal(cookie).c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), cookie).outcome, platform::Removal::kReadOnly);
  EXPECT_TRUE(Exists(cookie));
  EXPECT_EQ(Read(cookie), "keep me");

  ASSERT_TRUE(SetFileAttributesW(Literal(cookie).c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), cookie).outcome, platform::Removal::kDeleted);
  EXPECT_FALSE(Exists(cookie));
}

// The guarded delete rule: reached one folder at a time from the root, reparse points refused.
TEST(Win32Platform, RemoveFileBelowKeepsTheWindowsRules) {
  using platform::Removal;
  TempFolder root;
  root.WriteFile("store\\site\\a.sol", "a");
  root.WriteFile("store\\site\\Ελλάδα.sol", "b");
  root.WriteFile("store\\site\\locked.sol", "keep");
  root.MakeFolder("store\\site\\folder.sol");
  const std::string store = root / "store\\";
  ASSERT_TRUE(SetFileAttributesW(Literal(root / "store\\site\\locked.sol").c_str(), FILE_ATTRIBUTE_READONLY));
  const struct {
    const char* name;
    Removal outcome;
    bool exists;
  } cases[] = {
      {"site\\a.sol", Removal::kDeleted, false},         {"site\\Ελλάδα.sol", Removal::kDeleted, false},
      {"site\\a.sol", Removal::kGone, false},            {"site\\locked.sol", Removal::kReadOnly, true},
      {"site\\folder.sol", Removal::kNotRegularFile, true},
      // Its folder was never opened: not "gone", a failure with the reason.
      {"nowhere\\x.sol", Removal::kSystemError, false},
      {"site\\locked.sol\\x.sol", Removal::kPathChanged, false},
  };
  for (const auto& c : cases) {
    const platform::RemoveResult result = Native().RemoveFileBelow(store, store + c.name);
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    EXPECT_EQ(platform::IsNotFound(result.error), c.outcome == Removal::kSystemError) << c.name;
    EXPECT_EQ(Exists(store + c.name), c.exists) << c.name;
  }
  EXPECT_EQ(Read(root / "store\\site\\locked.sol"), "keep");
  EXPECT_EQ(Native().RemoveFileBelow(store, root / "elsewhere\\a.sol").outcome, Removal::kPathChanged);
  // A root that is not there, or none at all.
  for (const std::string& missing : {root / "no-store", std::string()}) {
    const platform::RemoveResult result = Native().RemoveFileBelow(missing, missing + "\\site\\a.sol");
    EXPECT_EQ(result.outcome, Removal::kSystemError) << missing;
    EXPECT_TRUE(platform::IsNotFound(result.error)) << missing << ": " << result.error;
  }
}

TEST(Win32Platform, RemoveFileBelowRefusesAFolderSwappedForAJunction) {
  using platform::Removal;
  TempFolder root;
  root.WriteFile("store\\K7Q2\\site\\c.sol", "c");
  root.WriteFile("outside\\site\\c.sol", "keep");
  const std::string cookie = root / "store\\K7Q2\\site\\c.sol";
  ASSERT_TRUE(MoveFileW(Literal(root / "store\\K7Q2").c_str(), Literal(root / "moved").c_str()));
  ASSERT_TRUE(MakeFolderLink(root / "store\\K7Q2", root / "outside")) << "no junction could be made";
  ASSERT_TRUE(Exists(cookie));  // the old path leads outside now

  EXPECT_EQ(Native().RemoveFileBelow(root / "store", cookie).outcome, Removal::kPathChanged);
  EXPECT_EQ(Read(root / "outside\\site\\c.sol"), "keep");
  EXPECT_TRUE(Exists(root / "moved\\site\\c.sol"));
}

TEST(Win32Platform, ReadFileHeadReadsOnlyRegularFiles) {
  TempFolder root;
  root.MakeFolder("folder.sol");
  std::string bytes = "stale";
  EXPECT_FALSE(Native().ReadFileHead(root / "folder.sol", 100, bytes).ok());
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(Native().ReadFileHead(root / "missing.sol", 100, bytes).ok());
  EXPECT_FALSE(Native().FileLength(root / "folder.sol").has_value());
  EXPECT_FALSE(Native().FileLength(root / "missing.sol").has_value());
}

TEST(Win32Platform, ReadFileHeadStopsAtTheLimitAndKeepsEveryByte) {
  TempFolder root;
  std::string content;
  for (int i = 0; i < 300; ++i) content += static_cast<char>(i % 256);
  root.WriteFile("binary.sol", content);
  EXPECT_EQ(Read(root / "binary.sol", 10), content.substr(0, 10));
  EXPECT_EQ(Read(root / "binary.sol"), content);
}

TEST(Win32Platform, ReadsACookieAnotherProgramHoldsOpenForWriting) {
  TempFolder root;
  root.WriteFile("busy.sol", "in use");
  const HANDLE writer = CreateFileW(Literal(root / "busy.sol").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(root / "busy.sol"), "in use");
  CloseHandle(writer);
}

TEST(Win32Platform, FileLengthBeyondFourGibibytes) {
  TempFolder root;
  root.WriteFile("huge.sol", "");
  const HANDLE file =
      CreateFileW(Literal(root / "huge.sol").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size{};
  size.QuadPart = (std::int64_t{5} << 30) + 3;
  // Sparse where the file system allows it, so nothing is really written.
  DWORD returned = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  const bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  ASSERT_TRUE(sized);
  EXPECT_EQ(Native().FileLength(root / "huge.sol"), size.QuadPart);
}

TEST(Win32Platform, MissingFolderCannotBeOpened) {
  TempFolder root;
  root.WriteFile("file.sol", "x");
  EXPECT_EQ(Native().OpenFolder(root / "missing\\", "*.*"), nullptr);
  EXPECT_EQ(Scan(root / "missing"), (std::vector<std::string>{""}));
  EXPECT_TRUE(Native().CheckFolder(root.Path()).ok());
  EXPECT_TRUE(Native().CheckFolder(root.Path() + "\\").ok());
  for (const std::string& missing : {root / "missing", root / "missing\\deeper", root / "file.sol", std::string()}) {
    const platform::Result result = Native().CheckFolder(missing);
    EXPECT_FALSE(result.ok()) << missing;
    EXPECT_TRUE(platform::IsNotFound(result.error)) << missing << ": " << result.error;
  }
}

TEST(Win32Platform, EnvironmentValuesArriveAsUtf8) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"VESK_TEST_VALUE", L"C:\\Users\\Ελλάδα\\AppData"));
  EXPECT_EQ(Native().GetEnv("VESK_TEST_VALUE"), "C:\\Users\\Ελλάδα\\AppData");
  const std::wstring longValue(3000, L'z');
  ASSERT_TRUE(SetEnvironmentVariableW(L"VESK_TEST_VALUE", longValue.c_str()));
  EXPECT_EQ(Native().GetEnv("VESK_TEST_VALUE"), std::string(3000, 'z'));
  ASSERT_TRUE(SetEnvironmentVariableW(L"VESK_TEST_VALUE", nullptr));
  EXPECT_EQ(Native().GetEnv("VESK_TEST_VALUE"), "");
}

TEST(Win32Platform, ExecutableNameIsTheRunningModuleWithoutFolderAndExtension) {
  EXPECT_EQ(Native().ExecutableName(), "vesk_win32_platform_tests");
}

TEST(Win32Platform, Utf8ToUtf16GivesWhatTheSystemGives) {
  // Well-formed text converts as the system converts it.
  const std::vector<std::string> texts = {
      "plain ASCII",
      "\xc2\xb7\xc2\xb7 marks",                    // U+00B7, the mark of a control byte
      "Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5\xe6\x9c\xac",  // two- and three-byte sequences
      "\xf0\x9f\x98\x80 pair",                      // a surrogate pair
      std::string("nul\0inside", 10),
      std::string(40, 'x') + "\xef\xbf\xbd" + std::string(9, 'y'),  // runs of ASCII around U+FFFD
  };
  for (const std::string& text : texts) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring expected(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), expected.data(), length);
    EXPECT_EQ(platform::Wide(text), expected) << text;
    EXPECT_EQ(platform::ShownWide(text), expected) << text;
    EXPECT_EQ(platform::Utf8(expected), text) << text;
  }
}

TEST(Win32Platform, EveryUtf16NameRoundTripsThroughWtf8) {
  for (const test::Wtf8Case& c : test::Wtf8Cases()) {
    const std::wstring units(c.units.begin(), c.units.end());
    EXPECT_EQ(platform::Utf8(units), c.wtf8) << c.name;
    EXPECT_EQ(platform::Wide(c.wtf8), units) << c.name;
    EXPECT_EQ(platform::ShownWide(c.wtf8), platform::Wide(c.shown)) << c.name;
  }
}

// A name NTFS allows but UTF-8 cannot spell: listed, read and deleted by its exact units.
TEST(Win32Platform, NameWithAnUnpairedSurrogateSurvivesFromScanToDelete) {
  TempFolder root;
  const std::string name = "lone \xed\xa0\x80 high.sol";  // U+D800 alone
  const std::wstring wide = L"lone \xD800 high.sol";
  root.MakeFolder("site");
  const HANDLE file = CreateFileW(Literal(root / "site").append(L"\\").append(wide).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this file system takes no such name: error " << GetLastError();
  DWORD written = 0;
  WriteFile(file, "odd", 3, &written, nullptr);
  CloseHandle(file);
  WIN32_FIND_DATAW found{};
  const HANDLE find = FindFirstFileW(Literal(root / "site\\*.sol").c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  if (found.cFileName != wide) {
    GTEST_SKIP() << "this file system keeps no unpaired surrogate: the name came back as "
                 << ::testing::PrintToString(platform::Utf8(found.cFileName));
  }
  root.WriteFile("site\\lone \xef\xbf\xbd high.sol", "twin");  // what a lossy conversion would name

  const std::string cookie = root / "site\\" + name;
  const auto entries = Scan(root.Path());
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "    " + cookie), 1);
  EXPECT_EQ(Read(cookie), "odd");
  EXPECT_EQ(Native().RemoveFileBelow(root.Path(), cookie).outcome, platform::Removal::kDeleted);
  EXPECT_FALSE(Exists(cookie));
  EXPECT_EQ(Read(root / "site\\lone \xef\xbf\xbd high.sol"), "twin");
}

TEST(Win32Platform, ReadAheadListsTheSameTreeAsTheSequentialWalk) {
  TempFolder root;
  root.WriteFile("Ελλάδα\\日本.sol", "greek folder, japanese name");
  root.WriteFile("emoji \xf0\x9f\x98\x80\\a.sol", "outside the BMP");
  root.WriteFile("target\\inner.sol", "x");
  for (int i = 0; i < 12; ++i) {
    for (int j = 0; j < 3; ++j) {
      // Appended, not added: GCC 12 warns wrongly about `"f" + std::to_string(i)` here.
      root.WriteFile(std::string("f").append(std::to_string(i)).append("\\g").append(std::to_string(j)) + "\\c.sol",
                     "c");
    }
  }
  std::string deep;
  for (int level = 0; level < 6; ++level) deep += std::string(50, static_cast<char>('a' + level)) + "\\";
  root.WriteFile(deep + "deep.sol", "long way down");
  ASSERT_GT(test::ToWide(root / deep).size(), static_cast<std::size_t>(MAX_PATH));
  root.MakeFolder("store");
  ASSERT_TRUE(MakeFolderLink(root / "store\\loop", root / "target"));
  ASSERT_TRUE(MakeFolderLink(root / "f3\\up", root.Path()));

  discovery::EntryList reference(1);
  discovery::ScanFolderSequential(root.Path(), discovery::kScanPattern, reference, Native());
  EXPECT_EQ(std::count(reference.begin(), reference.end(), "    " + (root / deep) + "deep.sol"), 1);
  EXPECT_EQ(std::count(reference.begin(), reference.end(), ">>" + (root / "store\\loop")), 1);
  EXPECT_EQ(std::count(reference.begin(), reference.end(), "    " + (root / "store\\loop\\inner.sol")), 0);
  EXPECT_EQ(std::count(reference.begin(), reference.end(), ">>" + (root / "f3\\up\\f3")), 0);
  for (const discovery::ScanOptions options : {discovery::ScanOptions{}, discovery::ScanOptions{1, 0, false},
                                               discovery::ScanOptions{8, 3, false}, discovery::ScanOptions{0, 8, false}}) {
    discovery::EntryList list(1);
    discovery::ScanFolder(root.Path(), discovery::kScanPattern, list, Native(), options);
    EXPECT_EQ(list, reference) << options.workers << " workers, " << options.aloneFolders << " alone";
  }
}

TEST(Win32Platform, FileStatusGivesLengthAndModificationTimeInUtcSeconds) {
  TempFolder root;
  root.WriteFile("日本.sol", "12345");
  const HANDLE file = CreateFileW(Literal(root / "日本.sol").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  // 2010-05-14 18:22:05.5 UTC in 100 ns steps since 1601; the half second is cut off.
  const std::uint64_t ticks = (1273861325ull + 11644473600ull) * 10000000ull + 5000000ull;
  const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const bool set = SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  ASSERT_TRUE(set);
  const auto status = Native().GetFileStatus(root / "日本.sol");
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->length, 5);
  EXPECT_EQ(status->modified, 1273861325);
  root.MakeFolder("folder.sol");
  EXPECT_FALSE(Native().GetFileStatus(root / "folder.sol").has_value());
  EXPECT_FALSE(Native().GetFileStatus(root / "missing.sol").has_value());
}

}  // namespace
}  // namespace vesk
