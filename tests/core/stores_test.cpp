// The stores of a generated home, what a path in a store is, the clean-up's selection, and the
// guarded delete rule against folders swapped for links.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "cookies/deletion.h"
#include "cookies/selection.h"
#include "discovery/site.h"
#include "discovery/stores.h"
#include "tests/core/test_support.h"
#include "window/form1.h"

namespace vesk::test {
namespace {

using discovery::FileKind;
using platform::Removal;

const std::string kPepper = "/Pepper Data/Shockwave Flash/WritableRoot";

std::vector<std::string> Names(const std::vector<discovery::Store>& stores) {
  std::vector<std::string> names;
  for (const auto& s : stores) names.push_back(s.name);
  return names;
}

TEST(StoresFindStores, EveryExistingStoreOfAGeneratedHomeInTheFixedOrder) {
  TempDir home;
  MakeFolders(home / ".macromedia/Flash_Player/#SharedObjects");
  // Created out of order: the order comes from the table and the profile rule, not the disk.
  for (const char* profile : {"Profile 10", "System Profile", "Profile 2", "Guest Profile", "Default"}) {
    MakeFolders(home / ".config/google-chrome/" + profile + kPepper);
  }
  MakeFolders(home / ".config/BraveSoftware/Brave-Browser/Profile 1" + kPepper);
  MakeFolders(home / ".config/BraveSoftware/Brave-Browser/Default" + kPepper);
  MakeFolders(home / ".config/opera" + kPepper);
  MakeFolders(home / ".config/google-chrome/Profile 3/Pepper Data");           // no player store
  MakeFolders(home / ".config/google-chrome/Crashpad" + kPepper);              // no profile
  MakeFolders(home / ".config/google-chrome/Profile x" + kPepper);             // no profile
  MakeFolders(home / ".config/google-chrome/default" + kPepper);               // no profile
  MakeFolders(home / ".config/google-chrome/Profile 1234567890" + kPepper);    // no profile
  MakeFolders(home / ".config/vivaldi");                                        // nothing inside
  MakeFolders(home / "elsewhere" + kPepper);
  symlink((home / "elsewhere").c_str(), (home / ".config/google-chrome/Profile 7").c_str());  // linked
  WriteFile(home / ".config/chromium/Default/Pepper Data/Shockwave Flash/WritableRoot");  // a file
  // Ruffle, native and as a Flatpak; AIR applications, in any order on disk.
  MakeFolders(home / ".var/app/rs.ruffle.Ruffle/data/ruffle/SharedObjects");
  MakeFolders(home / ".local/share/ruffle/SharedObjects");
  MakeFolders(home / ".appdata/org.example.Zebra/Local Store/#SharedObjects");
  MakeFolders(home / ".appdata/com.example.Game.0123456789ABCDEF0123456789ABCDEF01234567.1/Local Store/#SharedObjects");
  MakeFolders(home / ".appdata/com.example.Empty/Local Store");                    // no store inside
  MakeFolders(home / "elsewhere-air/Local Store/#SharedObjects");
  symlink((home / "elsewhere-air").c_str(), (home / ".appdata/com.example.Linked").c_str());  // linked
  WriteFile(home / ".appdata/com.example.File");                                   // a file
  PlatformWrapper system;
  system.env["HOME"] = home.Path();

  const auto stores = discovery::FindStores(system);
  EXPECT_EQ(Names(stores), (std::vector<std::string>{"plug-in", "chrome/Default", "chrome/Profile 2",
                                                     "chrome/Profile 10", "chrome/Guest Profile",
                                                     "chrome/System Profile", "brave/Default", "brave/Profile 1",
                                                     "opera", "ruffle/native", "ruffle/flatpak",
                                                     "air/com.example.Game.0123456789ABCDEF0123456789ABCDEF01234567.1",
                                                     "air/org.example.Zebra"}));
  ASSERT_EQ(stores.size(), 13u);
  std::vector<std::string> kinds;
  for (const auto& store : stores) kinds.push_back(discovery::StoreKindName(store.kind));
  EXPECT_EQ(kinds, (std::vector<std::string>{"plug-in", "browser", "browser", "browser", "browser", "browser",
                                             "browser", "browser", "browser", "ruffle", "ruffle", "air", "air"}));
  EXPECT_EQ(stores[9].folder, home / ".local/share/ruffle/");
  EXPECT_EQ(stores[10].folder, home / ".var/app/rs.ruffle.Ruffle/data/ruffle/");
  EXPECT_EQ(stores[12].folder, home / ".appdata/org.example.Zebra/Local Store/");
  EXPECT_EQ(stores[0].folder, home / ".macromedia/Flash_Player/");
  EXPECT_TRUE(stores[0].IsPlugIn());
  EXPECT_EQ(stores[2].folder, home / ".config/google-chrome/Profile 2" + kPepper + "/");
  EXPECT_EQ(stores[2].browser, "Google Chrome");
  EXPECT_EQ(stores[2].profile, "Profile 2");
  EXPECT_EQ(stores[8].profile, "");
  EXPECT_FALSE(stores[8].IsPlugIn());
}

TEST(StoresFindStores, FollowsTheWindowsRootAndTheConfigurationFolder) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> env;  // values relative to the temporary folder
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"nothing set", {}, {}},
      {"home without stores", {{"HOME", "empty"}}, {}},
      // With APPDATA the window looks there, and so does the plug-in row.
      {"APPDATA", {{"HOME", "home"}, {"APPDATA", "appdata"}}, {"appdata/macromedia/flash player/", "home/.config/chromium/Default" + kPepper + "/"}},
      {"XDG_CONFIG_HOME", {{"HOME", "home"}, {"XDG_CONFIG_HOME", "xdg"}}, {"home/.macromedia/Flash_Player/", "xdg/microsoft-edge/Default" + kPepper + "/"}},
      // Ruffle follows XDG_DATA_HOME when it is absolute, like the browsers their configuration folder.
      {"XDG_DATA_HOME", {{"HOME", "home"}, {"XDG_DATA_HOME", "xdgdata"}}, {"home/.macromedia/Flash_Player/", "home/.config/chromium/Default" + kPepper + "/", "xdgdata/ruffle/"}},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    MakeFolders(tmp / "empty");
    MakeFolders(tmp / "home/.macromedia/Flash_Player");
    MakeFolders(tmp / "home/.config/chromium/Default" + kPepper);
    MakeFolders(tmp / "appdata/macromedia/flash player");
    MakeFolders(tmp / "xdg/microsoft-edge/Default" + kPepper);
    MakeFolders(tmp / "xdgdata/ruffle/SharedObjects");
    PlatformWrapper system;
    for (const auto& [key, value] : c.env) system.env[key] = tmp / value;
    std::vector<std::string> folders;
    for (const auto& store : discovery::FindStores(system)) folders.push_back(store.folder);
    std::vector<std::string> expected;
    for (const auto& e : c.expected) expected.push_back(tmp / e);
    EXPECT_EQ(folders, expected) << c.name;
  }
}

TEST(SiteClassifyPath, KindLayoutAndSiteOfStorePaths) {
  using discovery::Layout;
  struct Case {
    std::string path;
    FileKind kind;
    Layout layout;
    std::optional<std::string> site;
  };
  const std::optional<std::string> none;
  const std::vector<Case> cases = {
      {"/h/.macromedia/Flash_Player/#SharedObjects/K7Q2/www.example.com/game.swf/save.sol", FileKind::kCookie, Layout::kFlashPlayer, "www.example.com"},
      {"/h/#sharedOBJECTS/K7Q2/localhost/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "localhost"},
      {"/h/#SharedObjects/K7Q2/#localWithNet/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "#localWithNet"},
      {"/d/#SHAREDOBJECTS/K3/site/deep/er/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "site"},
      {"rel/#SharedObjects/K3/site/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "site"},
      {"/d/#SharedObjects/K3/s\xff\x01/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "s\xff\x01"},  // exact bytes
      {"/h/#SharedObjects/K7Q2/a.sol", FileKind::kCookie, Layout::kFlashPlayer, none},  // no site folder
      {"/d/#SharedObjects/a.sol", FileKind::kCookie, Layout::kFlashPlayer, none},
      {"/d/#SharedObjects/K3//a.sol", FileKind::kCookie, Layout::kFlashPlayer, none},  // an empty name is no site
      {"/d/SharedObjects/K3/site/a.sol", FileKind::kCookie, Layout::kNone, none},
      {"/d/x#SharedObjects/K3/site/a.sol", FileKind::kCookie, Layout::kNone, none},
      {"/d/#SharedObjectsX/K3/site/a.sol", FileKind::kCookie, Layout::kNone, none},
      // Ruffle: no "#", no random folder.
      {"/h/.local/share/ruffle/SharedObjects/games.example/play/tetris.swf/hi.sol", FileKind::kCookie, Layout::kRuffle, "games.example"},
      {"/h/.var/app/rs.ruffle.Ruffle/data/Ruffle/sharedobjects/localhost/C/g.swf/a.sol", FileKind::kCookie, Layout::kRuffle, "localhost"},
      {"/h/ruffle/SharedObjects/a.sol", FileKind::kCookie, Layout::kRuffle, none},
      {"/h/other/SharedObjects/games.example/a.sol", FileKind::kCookie, Layout::kNone, none},
      // AIR: the application is the site, with or without its publisher id.
      {"/h/.appdata/com.example.Game/Local Store/#SharedObjects/Game.swf/save.sol", FileKind::kCookie, Layout::kAir, "com.example.Game"},
      {"/h/.appdata/com.example.Game.0123456789ABCDEF0123456789abcdef01234567.1/local store/#SharedObjects/G.swf/s.sol", FileKind::kCookie, Layout::kAir, "com.example.Game"},
      {"/h/.appdata/com.example.Game.0123456789ABCDEF0123456789abcdef01234567/Local Store/#SharedObjects/G.swf/s.sol", FileKind::kCookie, Layout::kAir, "com.example.Game"},
      {"/h/.appdata/com.example.Game.0123456789ABCDEF0123456789abcdef0123456/Local Store/#SharedObjects/G.swf/s.sol", FileKind::kCookie, Layout::kAir, "com.example.Game.0123456789ABCDEF0123456789abcdef0123456"},
      {"/h/.appdata/com.example.1/Local Store/#SharedObjects/G.swf/s.sol", FileKind::kCookie, Layout::kAir, "com.example.1"},
      {"Local Store/#SharedObjects/G.swf/s.sol", FileKind::kCookie, Layout::kFlashPlayer, none},  // no application folder
      // The player's settings.
      {"/h/macromedia.com/support/flashplayer/sys/settings.sol", FileKind::kSettings, Layout::kSettings, none},
      {"/h/Macromedia.COM/Support/FlashPlayer/SYS/#www.example.com/settings.sol", FileKind::kSettings, Layout::kSettings, "www.example.com"},
      {"/h/macromedia.com/support/flashplayer/sys/#a/deeper/x.sol", FileKind::kSettings, Layout::kSettings, "a"},
      // A site named macromedia.com inside the cookie folders is a site like any other.
      {"/h/#SharedObjects/K7Q2/macromedia.com/support/flashplayer/sys/x.sol", FileKind::kCookie, Layout::kFlashPlayer, "macromedia.com"},
      {"/h/#SharedObjects/K7Q2/ruffle/SharedObjects/x/a.sol", FileKind::kCookie, Layout::kFlashPlayer, "ruffle"},
      {"/h/macromedia.com/support/flashplayer/x.sol", FileKind::kCookie, Layout::kNone, none},
      {"/h/elsewhere/x.sol", FileKind::kCookie, Layout::kNone, none},
      {"x.sol", FileKind::kCookie, Layout::kNone, none},
      {"", FileKind::kCookie, Layout::kNone, none},
  };
  for (const auto& c : cases) {
    const auto got = discovery::ClassifyPath(c.path);
    EXPECT_EQ(got.kind, c.kind) << c.path;
    EXPECT_EQ(got.layout, c.layout) << c.path;
    EXPECT_EQ(got.site, c.site) << c.path;
    // Where a site folder is named, its offset points at it.
    if (got.siteAt != std::string_view::npos) {
      EXPECT_EQ(c.path.compare(got.siteAt, got.site->size(), *got.site), 0) << c.path;
    }
  }
}

TEST(SelectionGlobMatch, WildcardsAndCase) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  };
  const std::vector<Case> cases = {
      {"*.example.com", "www.example.com", true},  {"*.example.com", "example.com", false},
      {"*.EXAMPLE.com", "a.b.Example.COM", true},  {"localhost", "LOCALHOST", true},
      {"localhost", "localhost2", false},          {"local?ost", "localhost", true},
      {"?", "", false},                            {"*", "", true},
      {"", "", true},                              {"", "a", false},
      {"a*b*c", "aXbYbZc", true},                  {"a*b*c", "aXbYcZ", false},
      {"[::1]", "[::1]", true},                    {"[ab]", "a", false},
      {"#localWithNet", "#localwithnet", true},    {"**a", "bba", true},
      {"\xc3\xa4*", "\xc3\x84x", false},  // only ASCII letters fold
  };
  for (const auto& c : cases) EXPECT_EQ(cookies::GlobMatch(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
  // Back-tracking stays linear: this would take ages with naive recursion.
  EXPECT_FALSE(cookies::GlobMatch(std::string(30, '*') + "b", std::string(5000, 'a')));
}

TEST(SelectionParseKeepList, OnePatternALine) {
  const std::string text =
      "# games I keep\n"
      "*.kongregate.com  \r\n"
      "\n"
      "   \t\r\n"
      "  localhost\t\n"
      "#\n"
      "#\tlast comment\n"
      "#localWithNet\n"
      "no-newline.example";
  EXPECT_EQ(cookies::ParseKeepList(text),
            (std::vector<std::string>{"*.kongregate.com", "localhost", "#localWithNet", "no-newline.example"}));
  EXPECT_TRUE(cookies::ParseKeepList("").empty());
  EXPECT_TRUE(cookies::ParseKeepList("\r\n\n# x\n").empty());
}

TEST(SelectionSelectFiles, SitesKeepAndSettings) {
  const std::vector<cookies::ListedFile> listing = {
      {"/r/", "/r/0.sol", FileKind::kCookie, "www.example.com"},
      {"/r/", "/r/1.sol", FileKind::kCookie, "games.example.com"},
      {"/r/", "/r/2.sol", FileKind::kCookie, "localhost"},
      {"/r/", "/r/3.sol", FileKind::kSettings, "www.example.com"},
      {"/r/", "/r/4.sol", FileKind::kSettings, ""},
      {"/r/", "/r/5.sol", FileKind::kCookie, ""},
  };
  struct Case {
    const char* name;
    cookies::SelectionRules rules;
    std::vector<std::size_t> expected;
  };
  const std::vector<Case> cases = {
      {"nothing asked", {}, {}},
      {"all leaves settings", {{}, true, {}, false}, {0, 1, 2, 5}},
      {"all with settings", {{}, true, {}, true}, {0, 1, 2, 3, 4, 5}},
      {"site pattern", {{"*.EXAMPLE.com"}, false, {}, false}, {0, 1}},
      {"several sites", {{"localhost", "www.*"}, false, {}, false}, {0, 2}},
      {"site pattern with settings", {{"www.example.com"}, false, {}, true}, {0, 3}},
      {"keep wins over all", {{}, true, {"games.*", "LOCALHOST"}, true}, {0, 3, 4, 5}},
      {"keep wins over a site", {{"games.example.com"}, false, {"*.example.com"}, false}, {}},
      {"keep a settings site", {{}, true, {"www.example.com"}, true}, {1, 2, 4, 5}},
      {"no match", {{"nowhere.example"}, false, {}, true}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(cookies::SelectFiles(listing, c.rules), c.expected) << c.name;
}

// What one guarded removal does, and what is left on disk.
struct BelowCase {
  const char* name;
  std::function<void(const TempDir&)> make;  // creates root/dir/target and whatever it needs
  Removal outcome;
  std::vector<std::string> kept;  // entries that must survive (relative to the temporary folder)
  std::vector<std::string> gone;  // entries that must not
};

TEST(DeletionRemoveFileBelow, EachKindOfEntry) {
  const auto file = [](const char* bytes = "x") {
    return [bytes](const TempDir& t) { WriteFile(t / "root/dir/target", bytes); };
  };
  // root/dir/target a link to `target` outside the root: a file with `mode`, or a folder with a
  // cookie in it when the name ends with "/".
  const auto linkTo = [](std::string target, mode_t mode = 0644) {
    return [target, mode](const TempDir& t) {
      WriteFile(t / target + (target.back() == '/' ? "in.sol" : ""), "keep");
      chmod((t / target).c_str(), target.back() == '/' ? 0755 : mode);
      MakeFolders(t / "root/dir");
      symlink((t / target).c_str(), (t / "root/dir/target").c_str());
    };
  };
  const std::vector<BelowCase> cases = {
      {"regular file", file(), Removal::kDeleted, {"root/dir"}, {"root/dir/target"}},
      {"already gone", [](const TempDir& t) { MakeFolders(t / "root/dir"); }, Removal::kGone, {}, {}},
      {"read-only", [](const TempDir& t) {
         WriteFile(t / "root/dir/target");
         chmod((t / "root/dir/target").c_str(), 0444);
       }, Removal::kReadOnly, {"root/dir/target"}, {}},
      {"owner-writable only", [](const TempDir& t) {
         WriteFile(t / "root/dir/target");
         chmod((t / "root/dir/target").c_str(), 0200);
       }, Removal::kDeleted, {}, {"root/dir/target"}},
      {"link to an outside file", linkTo("outside.sol"), Removal::kDeleted, {"outside.sol"}, {"root/dir/target"}},
      {"link to a read-only file", linkTo("real.sol", 0444), Removal::kDeleted, {"real.sol"}, {"root/dir/target"}},
      {"link to a folder", linkTo("real/"), Removal::kDeleted, {"real/in.sol"}, {"root/dir/target"}},
      {"dangling link", [](const TempDir& t) {
         MakeFolders(t / "root/dir");
         symlink("nowhere", (t / "root/dir/target").c_str());
       }, Removal::kDeleted, {}, {"root/dir/target"}},
      {"folder", [](const TempDir& t) { WriteFile(t / "root/dir/target/in.sol"); },
       Removal::kNotRegularFile, {"root/dir/target/in.sol"}, {}},
      {"FIFO", [](const TempDir& t) {
         MakeFolders(t / "root/dir");
         mkfifo((t / "root/dir/target").c_str(), 0644);
       }, Removal::kNotRegularFile, {"root/dir/target"}, {}},
      {"holding folder is a link", [](const TempDir& t) {
         WriteFile(t / "outside/target", "keep");
         MakeFolders(t / "root");
         symlink((t / "outside").c_str(), (t / "root/dir").c_str());
       }, Removal::kPathChanged, {"outside/target"}, {}},
      {"holding folder is a file", [](const TempDir& t) { WriteFile(t / "root/dir"); },
       Removal::kPathChanged, {"root/dir"}, {}},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    c.make(tmp);
    const auto result = platform::Native().RemoveFileBelow(tmp / "root/", tmp / "root/dir/target");
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    EXPECT_EQ(result.error, 0) << c.name;
    for (const auto& k : c.kept) EXPECT_TRUE(Exists(tmp / k)) << c.name << ": " << k;
    for (const auto& g : c.gone) EXPECT_FALSE(Exists(tmp / g)) << c.name << ": " << g;
  }
}

// "Gone" only when the file's own folder was opened and the name is not in it: a root or a
// folder on the way that cannot be opened fails with its reason, and the file stays where it is.
TEST(DeletionRemoveFileBelow, AFolderThatCannotBeOpenedIsAFailureNotGone) {
  const struct {
    const char* name;
    std::string root;  // relative to the temporary folder; "" itself for the empty root
    const char* path;
    std::function<void(const TempDir&)> make;
    int error;
  } cases[] = {
      {"root gone", "root/", "root/dir/target", [](const TempDir&) {}, ENOENT},
      {"folder on the way gone", "root/", "root/dir/target", [](const TempDir& t) { MakeFolders(t / "root"); }, ENOENT},
      {"root is a file", "root/", "root/dir/target", [](const TempDir& t) { WriteFile(t / "root"); }, ENOTDIR},
      // The file is there, but "" is no folder: it would have walked from the top.
      {"empty root", "", "x/target", [](const TempDir& t) { WriteFile(t / "x/target"); }, ENOENT},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    c.make(tmp);
    const bool existed = Exists(tmp / c.path);
    const auto result = platform::Native().RemoveFileBelow(c.root.empty() ? "" : tmp / c.root, tmp / c.path);
    EXPECT_EQ(result.outcome, Removal::kSystemError) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
    EXPECT_FALSE(result.FileIsGone()) << c.name;
    EXPECT_EQ(Exists(tmp / c.path), existed) << c.name;
  }
}

TEST(DeletionRemoveFileBelow, RefusesPathsNotBelowTheRoot) {
  TempDir tmp;
  WriteFile(tmp / "root/a.sol");
  WriteFile(tmp / "rootless/a.sol");
  WriteFile(tmp / "other/a.sol");
  for (const std::string& path : {tmp / "other/a.sol", tmp / "rootless/a.sol", tmp / "root/../other/a.sol",
                                  tmp / "root/./a.sol", tmp / "root//a.sol", tmp / "root/", tmp / "root"}) {
    EXPECT_EQ(platform::Native().RemoveFileBelow(tmp / "root", path).outcome, Removal::kPathChanged) << path;
  }
  EXPECT_TRUE(Exists(tmp / "root/a.sol"));
  EXPECT_TRUE(Exists(tmp / "rootless/a.sol"));
  EXPECT_TRUE(Exists(tmp / "other/a.sol"));
  // The root with or without its separator.
  EXPECT_EQ(platform::Native().RemoveFileBelow(tmp / "root", tmp / "root/a.sol").outcome, Removal::kDeleted);
}

TEST(DeletionRemoveFileBelow, TheRootItselfMayBeALink) {
  // As the scan opened it: a home folder reached through a link is a home folder.
  TempDir tmp;
  WriteFile(tmp / "real/site/a.sol");
  symlink((tmp / "real").c_str(), (tmp / "root").c_str());
  EXPECT_EQ(platform::Native().RemoveFileBelow(tmp / "root/", tmp / "root/site/a.sol").outcome, Removal::kDeleted);
  EXPECT_FALSE(Exists(tmp / "real/site/a.sol"));
}

// Listed, then a folder on the way swapped for a link to a folder of the same shape outside the
// tree, through the platform layer right before the removal: nothing outside may go.
TEST(DeletionDeleteCookieFiles, AFolderSwappedForALinkAfterTheListingIsRefused) {
  for (const std::string swapped : {"root/K7Q2", "root/K7Q2/site.example", "root/K7Q2/site.example/movie.swf"}) {
    TempDir tmp;
    const std::string cookie = "K7Q2/site.example/movie.swf/c.sol";
    WriteFile(tmp / "root/" + cookie);
    WriteFile(tmp / "root/K7Q2/other.example/d.sol");
    WriteFile(tmp / "victim/" + cookie, "keep");
    const std::string victimFolder = tmp / "victim/" + swapped.substr(5);
    PlatformWrapper system;
    bool swappedYet = false;
    system.onRemoveBelow = [&](const std::string&, const std::string& path) {
      if (path != tmp / "root/" + cookie || swappedYet) return;
      swappedYet = true;
      RemoveTree(tmp / swapped);
      ASSERT_EQ(symlink(victimFolder.c_str(), (tmp / swapped).c_str()), 0);
    };
    const std::vector<std::string> paths = {tmp / "root/" + cookie, tmp / "root/K7Q2/other.example/d.sol"};
    const bool nested = swapped != "root/K7Q2";  // the other cookie does not pass the swapped folder
    EXPECT_EQ(cookies::DeleteCookieFiles(tmp / "root/", paths, system), nested ? 1 : 0) << swapped;
    EXPECT_TRUE(Exists(tmp / "victim/" + cookie)) << swapped;
    EXPECT_EQ(cookies::DeleteCookieFile(tmp / "root/", paths[0], system).outcome, Removal::kPathChanged) << swapped;
    EXPECT_EQ(system.removeRoots, std::vector<std::string>(3, tmp / "root/"));
  }
}

// The same without any help: the real disk, a folder renamed away and a link put in its place.
TEST(DeletionDeleteCookieFiles, ARealSwapOnDiskIsRefused) {
  TempDir tmp;
  WriteFile(tmp / "root/K7Q2/site.example/c.sol");
  WriteFile(tmp / "outside/site.example/c.sol", "keep");
  const std::vector<std::string> listed = {tmp / "root/K7Q2/site.example/c.sol"};
  ASSERT_EQ(rename((tmp / "root/K7Q2").c_str(), (tmp / "moved").c_str()), 0);
  ASSERT_EQ(symlink((tmp / "outside").c_str(), (tmp / "root/K7Q2").c_str()), 0);
  const auto result = cookies::DeleteCookieFile(tmp / "root/", listed[0], platform::Native());
  EXPECT_EQ(result.outcome, Removal::kPathChanged);
  EXPECT_STREQ(cookies::RemovalText(result.outcome), "refused: path changed");
  EXPECT_TRUE(Exists(tmp / "outside/site.example/c.sol"));
  EXPECT_TRUE(Exists(tmp / "moved/site.example/c.sol"));
}

TEST(DeletionDeleteCookieFiles, ARefusedRemovalIsASystemError) {
  TempDir tmp;
  WriteFile(tmp / "root/a.sol");
  PlatformWrapper system;
  system.refuseAllRemovals = true;
  const auto result = cookies::DeleteCookieFile(tmp / "root/", tmp / "root/a.sol", system);
  EXPECT_EQ(result.outcome, Removal::kSystemError);
  EXPECT_EQ(result.error, EACCES);
  EXPECT_FALSE(result.FileIsGone());
  EXPECT_TRUE(Exists(tmp / "root/a.sol"));
}

// The window deletes below its own scan root, so the swap cannot fool it either.
TEST(DeletionForm1, TheWindowDeletesBelowItsScanRoot) {
  TempDir tmp;
  const std::string store = tmp / "appdata/macromedia/flash player/#sharedobjects/";
  WriteFile(store + "K7Q2/a.example/a.sol");
  WriteFile(store + "K7Q2/b.example/b.sol");
  WriteFile(tmp / "victim/a.sol", "keep");
  PlatformWrapper system;
  system.env["APPDATA"] = tmp / "appdata";
  FakeControls c;
  FakeShell shell;
  window::Form1 form(c.Bundle(), system, shell);
  form.Form_Load();
  bool swapped = false;
  system.onRemoveBelow = [&](const std::string&, const std::string& path) {
    if (path != store + "K7Q2/a.example/a.sol" || swapped) return;
    swapped = true;
    RemoveTree(store + "K7Q2/a.example");
    symlink((tmp / "victim").c_str(), (store + "K7Q2/a.example").c_str());
  };
  c.List1.UserSelect({0, 1});
  c.form.answers = {window::kIdYes};
  form.KillCookie_Click();
  EXPECT_EQ(system.removeRoots, std::vector<std::string>(2, form.ScanRoot));
  EXPECT_TRUE(Exists(tmp / "victim/a.sol"));
  EXPECT_FALSE(Exists(store + "K7Q2/b.example/b.sol"));
  EXPECT_EQ(c.List1.items, std::vector<std::string>{});  // the link is a folder entry, not a cookie
}

}  // namespace
}  // namespace vesk::test
