// The folder scan, the scan roots and the cookie filter, over real temporary folders.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "discovery/cookie_list.h"
#include "discovery/scan.h"
#include "discovery/store.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

using discovery::EntryList;

const std::string kFile = "    ";

EntryList Scan(const std::string& root, platform::System& system) {
  EntryList list(1);
  discovery::ScanFolder(root, discovery::kScanPattern, list, system);
  return list;
}

EntryList Scan(const std::string& root) {
  PlatformWrapper system;
  return Scan(root, system);
}

std::multiset<std::string> AsSet(const EntryList& list) { return {list.begin(), list.end()}; }

std::ptrdiff_t Position(const EntryList& list, const std::string& entry) {
  return std::find(list.begin(), list.end(), entry) - list.begin();
}

// Folders with a fixed delivery order, so the exact order of the list can be checked.
class ScriptedFolder final : public platform::Folder {
 public:
  using Tree = std::map<std::string, std::vector<platform::FolderEntry>>;
  using Ids = std::map<std::string, std::uint64_t>;
  ScriptedFolder(const Tree& tree, const Ids& ids, std::string path)
      : tree_(tree), ids_(ids), path_(std::move(path)) {}
  bool Next(platform::FolderEntry& entry) override {
    const auto& entries = tree_.at(path_);
    if (next_ >= entries.size()) return false;
    entry = entries[next_++];
    return true;
  }
  std::optional<platform::FolderId> Id() const override {
    const auto it = ids_.find(path_);
    if (it == ids_.end()) return std::nullopt;
    return platform::FolderId{1, it->second};
  }
  std::unique_ptr<platform::Folder> OpenChild(const platform::FolderEntry&, const std::string& fullPath,
                                              const std::string&) override {
    const std::string path = fullPath + "/";
    if (tree_.count(path) == 0) return nullptr;
    return std::make_unique<ScriptedFolder>(tree_, ids_, path);
  }

 private:
  const Tree& tree_;
  const Ids& ids_;
  std::string path_;
  std::size_t next_ = 0;
};

class ScriptedSystem final : public PlatformWrapper {
 public:
  explicit ScriptedSystem(ScriptedFolder::Tree tree, ScriptedFolder::Ids ids = {})
      : tree_(std::move(tree)), ids_(std::move(ids)) {}
  std::unique_ptr<platform::Folder> OpenFolder(const std::string& folder, const std::string&) override {
    if (tree_.count(folder) == 0) return nullptr;
    return std::make_unique<ScriptedFolder>(tree_, ids_, folder);
  }

 private:
  ScriptedFolder::Tree tree_;
  ScriptedFolder::Ids ids_;
};

platform::FolderEntry File(const std::string& name) { return {name, false, false}; }
platform::FolderEntry Dir(const std::string& name) { return {name, true, false}; }

TEST(ScanFolder, RecordsInPreOrderAndInDeliveryOrder) {
  struct Case {
    const char* name;
    ScriptedFolder::Tree tree;
    EntryList expected;
  };
  const std::vector<Case> cases = {
      {"file then folder",
       {{"/R/", {Dir("."), Dir(".."), File("a.sol"), Dir("S")}}, {"/R/S/", {Dir("."), Dir(".."), File("b.sol")}}},
       {kFile + "/R/a.sol", ">>/R/S", kFile + "/R/S/b.sol", ""}},
      {"folder first, unsorted names",
       {{"/R/", {Dir("z"), File("a.sol"), Dir("b")}}, {"/R/z/", {File("c.sol"), Dir("y")}},
        {"/R/z/y/", {File("d")}}, {"/R/b/", {}}},
       {">>/R/z", kFile + "/R/z/c.sol", ">>/R/z/y", kFile + "/R/z/y/d", kFile + "/R/a.sol", ">>/R/b", ""}},
  };
  for (const auto& c : cases) {
    ScriptedSystem system(c.tree);
    EXPECT_EQ(Scan("/R", system), c.expected) << c.name;
  }
}

TEST(ScanFolder, FolderMetAgainBelowItselfIsRecordedButNotEntered) {
  // "m" is the root itself again, as a bind mount makes it. "q" has the identity of "k", but "k"
  // is no longer on the way down when "q" is reached, so "q" is entered.
  ScriptedSystem system({{"/R/", {Dir("m"), Dir("k"), Dir("q")}}, {"/R/m/", {File("again.sol")}},
                         {"/R/k/", {Dir("n")}}, {"/R/k/n/", {File("inner.sol")}}, {"/R/q/", {File("q.sol")}}},
                        {{"/R/", 1}, {"/R/m/", 1}, {"/R/k/", 2}, {"/R/k/n/", 3}, {"/R/q/", 2}});
  EXPECT_EQ(Scan("/R/", system), (EntryList{">>/R/m", ">>/R/k", ">>/R/k/n", kFile + "/R/k/n/inner.sol", ">>/R/q",
                                            kFile + "/R/q/q.sol", ""}));
}

TEST(ScanFolder, RealFoldersKeepPreOrderAndMarkers) {
  TempDir tmp;
  WriteFile(tmp / "a.sol");
  WriteFile(tmp / "S/b.sol");
  const EntryList list = Scan(tmp.Path());
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list.back(), "");
  EXPECT_EQ(AsSet(list),
            (std::multiset<std::string>{kFile + tmp / "a.sol", ">>" + tmp / "S", kFile + tmp / "S/b.sol", ""}));
  EXPECT_LT(Position(list, ">>" + tmp / "S"), Position(list, kFile + tmp / "S/b.sol"));
}

TEST(ScanFolder, TrailingSeparatorMakesNoDifference) {
  TempDir tmp;
  WriteFile(tmp / "x/a.sol");
  WriteFile(tmp / "b.sol");
  EXPECT_EQ(Scan(tmp.Path()), Scan(tmp.Path() + "/"));
}

TEST(ScanFolder, MissingOrEmptyRootLeavesOnlyTheSpareSlot) {
  TempDir tmp;
  MakeFolders(tmp / "empty");
  EXPECT_EQ(Scan(tmp / "missing"), EntryList{""});
  EXPECT_EQ(Scan(tmp / "empty"), EntryList{""});
}

TEST(ScanFolder, SkipsOnlyDotAndDotDot) {
  TempDir tmp;
  WriteFile(tmp / ".cache/x");
  WriteFile(tmp / ".sol");
  WriteFile(tmp / "...");
  const EntryList list = Scan(tmp.Path());
  EXPECT_EQ(AsSet(list), (std::multiset<std::string>{">>" + tmp / ".cache", kFile + tmp / ".cache/x",
                                                      kFile + tmp / ".sol", kFile + tmp / "...", ""}));
}

TEST(ScanFolder, FolderThatCannotBeEnumeratedKeepsItsEntryAndScanGoesOn) {
  TempDir tmp;
  WriteFile(tmp / "A/a.sol");
  WriteFile(tmp / "A/deep/x.sol");
  WriteFile(tmp / "B/b.sol");
  WriteFile(tmp / "c.sol");
  PlatformWrapper system;
  system.refusedFolders = {tmp / "A"};
  const EntryList list = Scan(tmp.Path(), system);
  EXPECT_EQ(AsSet(list), (std::multiset<std::string>{">>" + tmp / "A", ">>" + tmp / "B", kFile + tmp / "B/b.sol",
                                                      kFile + tmp / "c.sol", ""}));
}

TEST(ScanFolder, LinksAreRecordedButNeverEntered) {
  TempDir tmp;
  WriteFile(tmp / "real/x.sol");
  WriteFile(tmp / "file.sol");
  ASSERT_EQ(symlink("real", (tmp / "toFolder").c_str()), 0);
  ASSERT_EQ(symlink("file.sol", (tmp / "toFile.sol").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (tmp / "broken.sol").c_str()), 0);
  ASSERT_EQ(symlink("..", (tmp / "real/up").c_str()), 0);          // a cycle back to the root
  ASSERT_EQ(symlink("loopB", (tmp / "loopA").c_str()), 0);        // links that lead only to
  ASSERT_EQ(symlink("loopA", (tmp / "loopB").c_str()), 0);        // each other
  const EntryList list = Scan(tmp.Path());
  EXPECT_EQ(AsSet(list),
            (std::multiset<std::string>{">>" + tmp / "real", kFile + tmp / "real/x.sol", ">>" + tmp / "real/up",
                                        kFile + tmp / "file.sol", ">>" + tmp / "toFolder",
                                        kFile + tmp / "toFile.sol", kFile + tmp / "broken.sol",
                                        kFile + tmp / "loopA", kFile + tmp / "loopB", ""}));
}

TEST(ScanFolder, VeryDeepTreeRecordsEveryLevel) {
  TempDir tmp;
  constexpr int kDepth = 2000;  // "dd/" per level: the deepest path is far beyond PATH_MAX
  platform::Native();           // raises the descriptor limit, as the program does at start
  int fd = open(tmp.Path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(mkdirat(fd, "dd", 0755), 0) << i;
    const int child = openat(fd, "dd", O_RDONLY | O_DIRECTORY);
    close(fd);
    ASSERT_GE(child, 0) << i;
    fd = child;
  }
  const int leaf = openat(fd, "z.sol", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(leaf, 0);
  close(leaf);
  close(fd);

  const EntryList list = Scan(tmp.Path());
  ASSERT_EQ(list.size(), static_cast<std::size_t>(kDepth) + 2);
  std::string path = tmp.Path();
  for (int i = 0; i < kDepth; ++i) {
    path += "/dd";
    ASSERT_EQ(list[static_cast<std::size_t>(i)], ">>" + path) << "level " << i;
  }
  EXPECT_EQ(list[kDepth], kFile + path + "/z.sol");
  EXPECT_EQ(list.back(), "");
}

TEST(ScanFolder, NamesAreKeptByteExact) {
  TempDir tmp;
  const std::string odd = "\xff\xfe.sol";
  WriteFile(tmp / odd);
  WriteFile(tmp / "site /a.sol");
  WriteFile(tmp / "  b.sol");
  const EntryList list = Scan(tmp.Path());
  EXPECT_EQ(AsSet(list), (std::multiset<std::string>{kFile + tmp / odd, ">>" + tmp / "site ",
                                                      kFile + tmp / "site /a.sol", kFile + tmp / "  b.sol", ""}));
}

TEST(StoreRoots, FollowAppDataThenHome) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string standard, deeper;
  };
  const std::string store = "macromedia/flash player/#sharedobjects/";
  const std::string homeStore = ".macromedia/Flash_Player/#SharedObjects/";
  const std::vector<Case> cases = {
      {{{"APPDATA", "/data/roaming"}, {"HOME", "/home/u"}}, "/data/roaming/" + store, "/data/roaming/"},
      {{{"APPDATA", "/data/roaming/"}}, "/data/roaming/" + store, "/data/roaming/"},
      {{{"APPDATA", ""}, {"HOME", "/home/u"}}, "/home/u/" + homeStore, "/home/u/"},
      {{{"HOME", "/home/u/"}}, "/home/u/" + homeStore, "/home/u/"},
      {{}, "/" + store, "/"},
      {{{"APPDATA", " /blank"}}, " /blank/" + store, " /blank/"},
  };
  for (const auto& c : cases) {
    PlatformWrapper system;
    system.env = c.env;
    EXPECT_EQ(discovery::StandardRoot(system), c.standard) << c.deeper;
    EXPECT_EQ(discovery::DeeperRoot(system), c.deeper);
    EXPECT_EQ(discovery::AppDataFolder(system), c.deeper);
  }
}

TEST(CookieList, SuffixInAnyCaseOnFilesOnly) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"/r/a.sol", true},  {"/r/b.SOL", true},   {"/r/c.Sol", true}, {"/r/.sol", true},
      {".sol", true},      {"/r/a.solx", false}, {"/r/a.so", false}, {"/r/sol", false},
      {"/r/asol", false},  {"sol", false},       {"", false},        {"/r/a.sol ", false}};
  for (const auto& [path, cookie] : cases) EXPECT_EQ(discovery::IsCookiePath(path), cookie) << path;
}

TEST(CookieList, RemovesExactlyTheFileMarker) {
  const EntryList entries = {">>/r/x.sol",          kFile + "/r/x.sol/in.sol", kFile + " /lead/a.sol",
                             kFile + "/r/  b.sol", ">>/r/site ",              kFile + "/r/site /c.sol",
                             "   /r/three.sol",    kFile + "/r/a.solx",       kFile + "/r/never.sol"};
  // The last slot is the spare one: even with text in it, it is not looked at.
  EXPECT_EQ(discovery::CookiePaths(entries),
            (std::vector<std::string>{"/r/x.sol/in.sol", " /lead/a.sol", "/r/  b.sol", "/r/site /c.sol"}));
  EXPECT_TRUE(discovery::CookiePaths(EntryList{""}).empty());
  EXPECT_TRUE(discovery::CookiePaths(EntryList{}).empty());
}

TEST(CookieList, FromARealTreeWithDecoys) {
  TempDir tmp;
  for (const char* name : {"a.sol", "B.SOL", "x.sol/c.Sol", "x.sol/sub/d.sol", ".sol", "site /e.sol",
                           "  f.sol", "a.solx", "a.so", "sol", "x.sol/readme"}) {
    WriteFile(tmp / name, "x");
  }
  auto paths = discovery::CookiePaths(Scan(tmp.Path()));
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> expected;
  for (const char* name : {"a.sol", "B.SOL", "x.sol/c.Sol", "x.sol/sub/d.sol", ".sol", "site /e.sol", "  f.sol"}) {
    expected.push_back(tmp / name);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths, expected);
  for (const auto& path : paths) EXPECT_TRUE(Exists(path)) << path;
}

}  // namespace
}  // namespace vesk::test
