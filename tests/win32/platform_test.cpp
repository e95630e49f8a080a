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
  return list;
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
  EXPECT_TRUE(Native().RemoveFile(cookie).ok());
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
  EXPECT_TRUE(Native().RemoveFile(cookie).ok());
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

  EXPECT_TRUE(Native().RemoveFile(root / "dot.").ok());
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

  EXPECT_FALSE(Native().RemoveFile(cookie).ok());
  EXPECT_TRUE(Exists(cookie));
  EXPECT_EQ(Read(cookie), "keep me");

  ASSERT_TRUE(SetFileAttributesW(Literal(cookie).c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(Native().RemoveFile(cookie).ok());
  EXPECT_FALSE(Exists(cookie));
}

TEST(Win32Platform, RemoveFileNeverTakesAFolderAndTakesAGoneFileAsDeleted) {
  TempFolder root;
  root.MakeFolder("empty.sol");
  EXPECT_FALSE(Native().RemoveFile(root / "empty.sol").ok());
  EXPECT_TRUE(Exists(root / "empty.sol"));
  EXPECT_TRUE(Native().RemoveFile(root / "never-was.sol").ok());
  EXPECT_TRUE(Native().RemoveFile(root / "no-folder\\never-was.sol").ok());
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
  EXPECT_EQ(Native().OpenFolder(root / "missing\\", "*.*"), nullptr);
  EXPECT_EQ(Scan(root / "missing"), (std::vector<std::string>{""}));
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
