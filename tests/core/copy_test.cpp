// vesk-cli copy over a generated home: into a backup folder and into Ruffle's layout, compared
// byte for byte; what exists is skipped or replaced with a .bak; and each fault on the way, through
// the platform layer or on a real full disk, leaves the source and the target as they were.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cookies/copying.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

class RecordingOutput : public cli::Output {
 public:
  std::string out, err;
  void Out(std::string_view lines) override { out.append(lines); }
  void Err(std::string_view line) override { err.append(line).append("\n"); }
  std::string ErrorText(int error) override { return "code " + std::to_string(error); }
  bool IsTerminal(cli::Stream) override { return false; }
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Every entry below `folder`, relative to it, folders with a trailing "/"; sorted.
void ListTree(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
  const std::unique_ptr<platform::Folder> listing = platform::Native().OpenFolder(folder + "/", "*.*");
  if (!listing) return;
  platform::FolderEntry entry;
  std::vector<std::string> names;
  while (listing->Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    names.push_back(entry.name);
    if (entry.isDirectory && !entry.isLink) {
      out.push_back(prefix + entry.name + "/");
      ListTree(folder + "/" + entry.name, prefix + entry.name + "/", out);
    } else {
      out.push_back(prefix + entry.name);
    }
  }
  std::sort(out.begin(), out.end());
}
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> out;
  ListTree(folder, "", out);
  return out;
}

bool HoldsTemporaryFile(const std::string& folder) {
  for (const std::string& entry : Tree(folder)) {
    if (entry.find(".vesk-") != std::string::npos) return true;
  }
  return false;
}

// A home with a store of every kind, each cookie holding its own bytes.
class CliCopyTest : public ::testing::Test {
 public:
  TempDir tmp;
  const std::string home = tmp / "home";
  const std::string plugIn = home + "/.macromedia/Flash_Player/";
  const std::string chrome = home + "/.config/google-chrome/Default/Pepper Data/Shockwave Flash/WritableRoot/";
  const std::string ruffle = home + "/.local/share/ruffle/";
  const std::string air = home + "/.appdata/com.example.Game/Local Store/";
  PlatformWrapper system;
  RecordingOutput output;
  cli::CopyOptions options;
  const std::string tetris = ".macromedia/Flash_Player/#SharedObjects/K3XQ/games.example/play/tetris.swf/hi.sol";
  // Relative to home -> content.
  std::map<std::string, std::string> files = {
      {".macromedia/Flash_Player/#SharedObjects/K3XQ/games.example/play/tetris.swf/hi.sol", "tetris \x01\xff"},
      {".macromedia/Flash_Player/#SharedObjects/K3XQ/localhost/C/games/g.swf/local.sol", "local"},
      {".macromedia/Flash_Player/#SharedObjects/K3XQ/#localWithNet/D/net.swf/net.sol", "with net"},
      {".macromedia/Flash_Player/macromedia.com/support/flashplayer/sys/#games.example/settings.sol", "settings"},
      {".config/google-chrome/Default/Pepper Data/Shockwave Flash/WritableRoot/#SharedObjects/ZZ9/ads.example/a.swf/t.sol", "chrome"},
      {".local/share/ruffle/SharedObjects/games.example/old.swf/r.sol", "ruffle's own"},
      {".appdata/com.example.Game/Local Store/#SharedObjects/Game.swf/save.sol", "air"},
  };

  void SetUp() override {
    for (const auto& [relative, bytes] : files) WriteFile(home + "/" + relative, bytes);
    system.env["HOME"] = home;
    options.list.allStores = true;
    options.rules.all = true;
  }
  int Run() {
    output = RecordingOutput();
    return cli::RunCopy(options, system, output);
  }
  // The result lines as result -> source.
  std::multimap<std::string, std::string> Results() const {
    std::multimap<std::string, std::string> results;
    std::istringstream lines(output.out);
    for (std::string line; std::getline(lines, line);) {
      const auto tab = line.find('\t');
      const auto tab2 = line.find('\t', tab + 1);
      const std::string result = line.substr(0, tab);
      results.emplace(result.substr(0, result.find(": ")), line.substr(tab + 1, tab2 - tab - 1));
    }
    return results;
  }
  void ExpectSourcesUntouched() {
    for (const auto& [relative, bytes] : files) EXPECT_EQ(Read(home + "/" + relative), bytes) << relative;
  }
};

TEST_F(CliCopyTest, BackupKeepsEachFilesPlaceBelowItsStore) {
  options.to = tmp / "backup";
  options.rules.includeSettings = true;
  EXPECT_EQ(Run(), cli::kExitClean) << output.err;
  const std::map<std::string, std::string> expected = {
      {"plug-in/#SharedObjects/K3XQ/games.example/play/tetris.swf/hi.sol", "tetris \x01\xff"},
      {"plug-in/#SharedObjects/K3XQ/localhost/C/games/g.swf/local.sol", "local"},
      {"plug-in/#SharedObjects/K3XQ/#localWithNet/D/net.swf/net.sol", "with net"},
      {"plug-in/macromedia.com/support/flashplayer/sys/#games.example/settings.sol", "settings"},
      {"chrome%2FDefault/#SharedObjects/ZZ9/ads.example/a.swf/t.sol", "chrome"},
      {"ruffle%2Fnative/SharedObjects/games.example/old.swf/r.sol", "ruffle's own"},
      {"air%2Fcom.example.Game/#SharedObjects/Game.swf/save.sol", "air"},
  };
  std::vector<std::string> expectedFiles;
  for (const auto& [relative, bytes] : expected) {
    EXPECT_EQ(Read(tmp / "backup/" + relative), bytes) << relative;
    expectedFiles.push_back(relative);
  }
  std::vector<std::string> copied;
  for (const std::string& entry : Tree(tmp / "backup")) {
    if (entry.back() != '/') copied.push_back(entry);
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(copied, expectedFiles);
  EXPECT_EQ(Results().count("copied"), expected.size());
  EXPECT_NE(output.out.find("copied\t" + home + "/" + tetris + "\t" + tmp / "backup/plug-in/" + tetris.substr(25) + "\n"),
            std::string::npos)
      << output.out;
  ExpectSourcesUntouched();

  // The roots of their own are named after their last folder, the standard root after the plug-in.
  const struct {
    std::vector<std::string> roots;
    bool deeper;
    std::string file;
  } walks[] = {
      {{plugIn + "#SharedObjects/K3XQ/"}, false, "K3XQ/games.example/play/tetris.swf/hi.sol"},
      {{}, false, "plug-in/#SharedObjects/K3XQ/localhost/C/games/g.swf/local.sol"},
      {{}, true, "appdata/.appdata/com.example.Game/Local Store/#SharedObjects/Game.swf/save.sol"},
  };
  for (const auto& walk : walks) {
    options.list = {};
    options.list.roots = walk.roots;
    options.list.deeper = walk.deeper;
    options.to = tmp / "walks";
    EXPECT_EQ(Run(), cli::kExitClean) << output.err;
    EXPECT_TRUE(Exists(tmp / "walks/" + walk.file)) << walk.file << "\n" << output.out;
  }
}

TEST_F(CliCopyTest, IntoRuffleOnlyTheFlashPlayersCookiesWithLocalMoviesBelowLocalhost) {
  options.toRuffle = true;
  options.ruffleDir = tmp / "ruffle";
  options.rules.includeSettings = true;  // asked for, still never copied into Ruffle
  EXPECT_EQ(Run(), cli::kExitClean) << output.err;
  const std::map<std::string, std::string> expected = {
      {"SharedObjects/", ""},
      {"SharedObjects/games.example/", ""},
      {"SharedObjects/games.example/play/", ""},
      {"SharedObjects/games.example/play/tetris.swf/", ""},
      {"SharedObjects/games.example/play/tetris.swf/hi.sol", "tetris \x01\xff"},
      {"SharedObjects/localhost/", ""},
      {"SharedObjects/localhost/C/", ""},
      {"SharedObjects/localhost/C/games/", ""},
      {"SharedObjects/localhost/C/games/g.swf/", ""},
      {"SharedObjects/localhost/C/games/g.swf/local.sol", "local"},
      {"SharedObjects/localhost/D/", ""},
      {"SharedObjects/localhost/D/net.swf/", ""},
      {"SharedObjects/localhost/D/net.swf/net.sol", "with net"},
      {"SharedObjects/ads.example/", ""},
      {"SharedObjects/ads.example/a.swf/", ""},
      {"SharedObjects/ads.example/a.swf/t.sol", "chrome"},
  };
  std::vector<std::string> names;
  for (const auto& [relative, bytes] : expected) {
    names.push_back(relative);
    if (relative.back() != '/') {
      EXPECT_EQ(Read(tmp / "ruffle/" + relative), bytes) << relative;
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(Tree(tmp / "ruffle"), names);
  EXPECT_EQ(Results().count("copied"), 4u);

  // Without --ruffle-dir, this system's Ruffle: here the native one in the home.
  options.ruffleDir.clear();
  options.rules.sites = {"games.example"};
  options.rules.all = false;
  EXPECT_EQ(Run(), cli::kExitClean) << output.err;
  EXPECT_EQ(Read(ruffle + "SharedObjects/games.example/play/tetris.swf/hi.sol"), "tetris \x01\xff");
  ExpectSourcesUntouched();
}

TEST_F(CliCopyTest, ExistingFilesAreSkippedOrReplacedKeepingABak) {
  options.toRuffle = true;
  options.ruffleDir = tmp / "ruffle";
  options.rules.sites = {"games.example"};
  options.rules.all = false;
  const std::string target = tmp / "ruffle/SharedObjects/games.example/play/tetris.swf/hi.sol";
  const std::string source = home + "/" + tetris;
  WriteFile(target, "older save");

  const struct {
    bool replace;
    bool dryRun;
    int status;
    std::string line;
    std::string target, backup;  // afterwards; "" for absent
  } steps[] = {
      {false, false, 1, "exists\t", "older save", ""},
      {false, true, 0, "would copy\t", "older save", ""},
      {true, false, 0, "replaced\t", "tetris \x01\xff", "older save"},
      // A .bak is never overwritten either.
      {true, false, 1, "failed: hi.sol.bak exists\t", "tetris \x01\xff", "older save"},
  };
  for (const auto& step : steps) {
    options.replace = step.replace;
    options.dryRun = step.dryRun;
    EXPECT_EQ(Run(), step.status) << step.line;
    EXPECT_EQ(output.out, step.line + source + "\t" + target + "\n");
    EXPECT_EQ(Read(target), step.target) << step.line;
    EXPECT_EQ(Exists(target + ".bak") ? Read(target + ".bak") : "", step.backup) << step.line;
    EXPECT_FALSE(HoldsTemporaryFile(tmp / "ruffle")) << step.line;
  }
  ExpectSourcesUntouched();

  options.list.format = cli::Format::Json;
  options.replace = false;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(output.out, "{\"source\":\"" + source + "\",\"target\":\"" + target +
                            "\",\"site\":\"games.example\",\"result\":\"exists\",\"error\":null}\n");
}

// One fault on the way of the first file: a clear line for it, nothing of it at the target, no
// temporary file anywhere, the other files still copied, the sources as they were.
TEST_F(CliCopyTest, EachFaultFailsOnlyItsFile) {
  const std::string victim = tetris;  // games.example's tetris save
  const std::string victimTarget = "SharedObjects/games.example/play/tetris.swf/hi.sol";
  struct Case {
    const char* name;
    std::function<void(CliCopyTest&)> arrange;
    std::string failure;  // after "failed: "
  };
  // A fault of `operation` on `name`; without a name, on whatever is done in the victim's folder.
  const auto fault = [](const char* operation, const char* name, int error) {
    return [=](CliCopyTest& t) {
      auto inVictimsFolder = std::make_shared<bool>(false);
      t.system.targetFault = [=](const std::string& op, const std::string& on) {
        if (op == "child") *inVictimsFolder = on == "tetris.swf";
        const bool match = op == operation && (name[0] == '\0' ? *inVictimsFolder : on == name);
        return match ? error : 0;
      };
    };
  };
  const std::vector<Case> cases = {
      {"full disk while writing", fault("write", "", ENOSPC), "cannot write the copy: code 28"},
      {"full disk at the flush", fault("finish", "", ENOSPC), "cannot write the copy: code 28"},
      {"a folder that cannot be created", fault("child", "play", EACCES), "cannot create the folder play: code 13"},
      {"a name the target refuses", fault("move", "hi.sol", EINVAL), "cannot put the copy in place: code 22"},
      {"the copy cannot be read back", fault("read", "", EIO), "cannot read the copy back: code 5"},
      {"the source changes while copied",
       [&](CliCopyTest& t) {
         int reads = 0;
         t.system.onRead = [&t, victim, reads](const std::string& path) mutable {
           if (path == t.home + "/" + victim && ++reads == 2) WriteFile(path, "changed meanwhile");
         };
       },
       "the source changed while it was copied"},
      {"the source vanishes while copied",
       [&](CliCopyTest& t) {
         int reads = 0;
         t.system.onRead = [&t, victim, reads](const std::string& path) mutable {
           if (path == t.home + "/" + victim && ++reads == 2) unlink(path.c_str());
         };
       },
       "the source went away while it was copied: code 2"},
      {"the target's folder is a link",
       [](CliCopyTest& t) {
         MakeFolders(t.tmp / "elsewhere");
         MakeFolders(t.tmp / "ruffle/SharedObjects/games.example");
         symlink((t.tmp / "elsewhere").c_str(), (t.tmp / "ruffle/SharedObjects/games.example/play").c_str());
       },
       "cannot create the folder play: a link is in the way"},
      {"the target's folder is a file",
       [](CliCopyTest& t) { WriteFile(t.tmp / "ruffle/SharedObjects/games.example/play", "a file"); },
       "cannot create the folder play: something other than a folder is in the way"},
      {"the target is a link, --replace",
       [](CliCopyTest& t) {
         WriteFile(t.tmp / "elsewhere/hi.sol", "outside");
         MakeFolders(t.tmp / "ruffle/SharedObjects/games.example/play/tetris.swf");
         symlink((t.tmp / "elsewhere/hi.sol").c_str(), (t.tmp / "ruffle/SharedObjects/games.example/play/tetris.swf/hi.sol").c_str());
         t.options.replace = true;
       },
       "the target is a link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(tmp / "ruffle");
    RemoveTree(tmp / "elsewhere");
    for (const auto& [relative, bytes] : files) WriteFile(home + "/" + relative, bytes);
    system.targetFault = nullptr;
    system.onRead = nullptr;
    options.toRuffle = true;
    options.replace = false;
    options.ruffleDir = tmp / "ruffle";
    c.arrange(*this);
    EXPECT_EQ(Run(), cli::kExitProblem);
    const std::string victimLine = "failed: " + c.failure + "\t" + home + "/" + victim + "\t";
    EXPECT_NE(output.out.find(victimLine), std::string::npos) << output.out;
    const auto results = Results();
    EXPECT_EQ(results.count("failed"), 1u) << output.out;
    EXPECT_EQ(results.count("copied"), 3u) << output.out;
    EXPECT_TRUE(Exists(tmp / "ruffle/SharedObjects/ads.example/a.swf/t.sol"));
    EXPECT_FALSE(HoldsTemporaryFile(tmp / "ruffle"));
    const std::string target = tmp / "ruffle/" + victimTarget;
    struct stat st {};
    const bool regular = lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    EXPECT_FALSE(regular) << "half or whole copy at the target";
    EXPECT_TRUE(Tree(tmp / "elsewhere").empty() || Read(tmp / "elsewhere/hi.sol") == "outside");
    if (std::string(c.name).find("source") == std::string::npos) ExpectSourcesUntouched();
  }
}

// A real full disk: a small tmpfs, where mounting is allowed (CI runs as root).
TEST(CopyCookieFile, ARealFullDiskLeavesNothingHalfWritten) {
  TempDir tmp;
  MakeFolders(tmp / "small");
  if (mount("tmpfs", (tmp / "small").c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{tmp / "small"};
  const std::string big(200 * 1024, 'x');
  WriteFile(tmp / "big.sol", big);
  WriteFile(tmp / "small.sol", "small");
  const cookies::CopyResult full =
      cookies::CopyCookieFile(tmp / "big.sol", {tmp / "small", {"site"}, "big.sol"}, false, platform::Native());
  EXPECT_EQ(full.outcome, cookies::CopyOutcome::kFailed);
  EXPECT_EQ(full.what, "cannot write the copy");
  EXPECT_EQ(full.error, ENOSPC);
  EXPECT_EQ(Tree(tmp / "small"), std::vector<std::string>{"site/"});
  const cookies::CopyResult fits =
      cookies::CopyCookieFile(tmp / "small.sol", {tmp / "small", {"site"}, "small.sol"}, false, platform::Native());
  EXPECT_EQ(fits.outcome, cookies::CopyOutcome::kCopied);
  EXPECT_EQ(Read(tmp / "small/site/small.sol"), "small");
  EXPECT_EQ(Read(tmp / "big.sol"), big);
}

}  // namespace
}  // namespace vesk::test
