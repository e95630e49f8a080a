// The scan with read-ahead against the sequential walk, on generated trees on disk with faults
// injected into the folder enumeration.

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <new>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "discovery/scan.h"
#include "platform/posix_folder.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

using discovery::EntryList;

// The real enumeration with faults: folders refused, folders that vanish when they are about to
// be opened (a link to the root left in their place), folders with a borrowed identity as a bind
// mount gives them, and one folder whose opening fails with an error. Counts the open folders.
class FaultySystem final : public PlatformWrapper {
 public:
  std::set<std::string> refused, vanishing;
  std::map<std::string, platform::FolderId> identities;
  std::string throwing;
  std::string stash;  // where vanished folders wait to be put back
  std::atomic<int> openFolders{0}, mostOpen{0};

  class FaultyFolder final : public platform::Folder {
   public:
    FaultyFolder(FaultySystem& owner, std::unique_ptr<platform::Folder> inner, const std::string& path)
        : owner_(owner), inner_(std::move(inner)) {
      const auto it = owner_.identities.find(path);
      id_ = it == owner_.identities.end() ? inner_->Id() : it->second;
      const int now = ++owner_.openFolders;
      for (int most = owner_.mostOpen; now > most && !owner_.mostOpen.compare_exchange_weak(most, now);) {
      }
    }
    ~FaultyFolder() override { --owner_.openFolders; }
    bool Next(platform::FolderEntry& entry) override { return inner_->Next(entry); }
    std::optional<platform::FolderId> Id() const override { return id_; }
    std::unique_ptr<platform::Folder> OpenChild(const platform::FolderEntry& entry, const std::string& fullPath,
                                                const std::string& pattern) override {
      if (fullPath == owner_.throwing) throw std::bad_alloc();
      if (owner_.refused.count(fullPath) != 0) return nullptr;
      if (owner_.vanishing.count(fullPath) != 0) owner_.Vanish(fullPath);
      auto child = inner_->OpenChild(entry, fullPath, pattern);
      if (!child) return nullptr;
      return std::make_unique<FaultyFolder>(owner_, std::move(child), fullPath);
    }

   private:
    FaultySystem& owner_;
    std::unique_ptr<platform::Folder> inner_;
    std::optional<platform::FolderId> id_;
  };

  std::unique_ptr<platform::Folder> OpenFolder(const std::string& folder, const std::string& pattern) override {
    auto inner = platform::Native().OpenFolder(folder, pattern);
    if (!inner) return nullptr;
    return std::make_unique<FaultyFolder>(*this, std::move(inner), folder.substr(0, folder.size() - 1));
  }

  void Vanish(const std::string& path) {
    const std::string away = StashFor(path);
    if (rename(path.c_str(), away.c_str()) == 0) symlink("/", path.c_str());
  }
  void PutBack() {
    for (const auto& path : vanishing) {
      if (unlink(path.c_str()) == 0) rename(StashFor(path).c_str(), path.c_str());
    }
  }

 private:
  std::string StashFor(const std::string& path) const {
    return stash + "/" + std::to_string(std::hash<std::string>()(path));
  }
};

struct Shape {
  const char* name;
  std::uint32_t seed;
  int depth;          // levels below the root
  int rootWidth;      // entries in the root
  int width;          // most entries in any other folder
  int folderPercent;  // share of entries that are folders
  int linkPercent;    // share of entries that are links
  int emptyPercent;   // share of folders left empty
  bool chain;         // one folder of each level goes on down to `depth`
  int faults;         // folders of each kind of fault
};

// Writes a random tree through open descriptors, so depth is not limited by PATH_MAX. Remembers
// the folders whose paths stay short, to inject faults there.
class TreeMaker {
 public:
  TreeMaker(const Shape& shape, std::vector<std::string>& folders) : shape_(shape), rng_(shape.seed), folders_(folders) {}

  void Fill(int fd, const std::string& path, int level, bool onChain = true) {
    const int width = level == 0 ? shape_.rootWidth : shape_.width;
    const bool empty = level > 0 && Percent(shape_.emptyPercent);
    const int count = empty ? 0 : width / 2 + static_cast<int>(rng_() % static_cast<unsigned>(width / 2 + 1));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      std::string name = Name(i);
      if (Percent(shape_.linkPercent)) {
        const std::string target = LinkTarget(names);
        symlinkat(target.c_str(), fd, name.c_str());
      } else if (level < shape_.depth && Percent(shape_.folderPercent)) {
        Folder(fd, path, name, level, false);
      } else {
        const int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0) close(file);
      }
      names.push_back(name);
    }
    if (shape_.chain && onChain && level < shape_.depth) Folder(fd, path, "dd", level, true);
  }

 private:
  void Folder(int fd, const std::string& path, const std::string& name, int level, bool onChain) {
    if (mkdirat(fd, name.c_str(), 0755) != 0) return;
    const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (child < 0) return;
    const std::string childPath = path + "/" + name;
    if (childPath.size() < 1000) folders_.push_back(childPath);
    Fill(child, childPath, level + 1, onChain);
    close(child);
  }

  std::string Name(int i) {
    static const char* const kStems[] = {"site", ".hidden", "\xff\xfe", "a b ", "k.sol", "\xc3\xa9t\xc3\xa9", "..."};
    std::string name = kStems[rng_() % std::size(kStems)] + std::to_string(i);
    if (Percent(30)) name += ".sol";
    return name;
  }

  std::string LinkTarget(const std::vector<std::string>& siblings) {
    static const char* const kTargets[] = {"..", ".", "../..", "/", "nowhere"};
    if (!siblings.empty() && Percent(50)) return siblings[rng_() % siblings.size()];  // folder or file
    return kTargets[rng_() % std::size(kTargets)];
  }

  bool Percent(int percent) { return static_cast<int>(rng_() % 100) < percent; }

  const Shape& shape_;
  std::mt19937 rng_;
  std::vector<std::string>& folders_;
};

platform::FolderId IdOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool HasEntryBelow(const EntryList& list, const std::string& folder) {
  return std::any_of(list.begin(), list.end(), [&](std::string_view entry) {
    return entry.find(folder + "/") == (entry.rfind(">>", 0) == 0 ? 2u : 4u);
  });
}

// Threads from the first folders on: the test trees come from a warm cache. {workers, folders
// walked alone first, workers only once reading from disk}
const std::vector<discovery::ScanOptions> kOptions = {{1, 0, false}, {2, 1, false}, {4, 0, false},    {8, 3, false},
                                                      {3, 0, false}, {16, 0, false}, {0, 0, false},    {4, 64, true},
                                                      {2, 0, true}};

TEST(ScanReadAhead, SameListAsTheSequentialWalkOnRandomTrees) {
  const std::vector<Shape> shapes = {
      {"wide", 11, 2, 500, 4, 30, 5, 10, false, 3},
      {"deep", 12, 2000, 3, 2, 10, 20, 20, true, 3},
      {"bushy", 13, 6, 12, 8, 45, 10, 10, false, 6},
      {"mostly empty", 14, 5, 30, 6, 70, 0, 70, false, 4},
      {"mostly links", 15, 4, 20, 10, 40, 50, 5, false, 4},
      {"bushy, other seed", 16, 7, 8, 7, 45, 8, 15, false, 8},
      {"no faults", 17, 5, 15, 8, 40, 10, 10, false, 0},
      {"a chain alone", 18, 300, 0, 0, 0, 0, 0, true, 0},
  };
  platform::Native();  // raises the descriptor limit, as the program does at start
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    TempDir tmp, stash;
    const std::string root = tmp / "root";
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    std::vector<std::string> folders;
    {
      const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ASSERT_GE(fd, 0);
      TreeMaker(shape, folders).Fill(fd, root, 0);
      close(fd);
    }
    // Faults stay off the long chain of a deep tree, which must be walked to its end.
    std::erase_if(folders, [](const std::string& folder) { return folder.ends_with("/dd"); });
    ASSERT_TRUE(shape.faults == 0 || !folders.empty());

    FaultySystem system;
    system.stash = stash.Path();
    std::mt19937 rng(shape.seed);
    std::set<std::string> notEntered;
    for (int i = 0; i < shape.faults; ++i) {
      const std::string& refused = folders[rng() % folders.size()];
      const std::string& vanishing = folders[rng() % folders.size()];
      const std::string& mounted = folders[rng() % folders.size()];
      system.refused.insert(refused);
      system.vanishing.insert(vanishing);
      // Half of them show the identity of a folder above them, the rest that of any folder.
      const auto slash = mounted.find('/', root.size() + 1);
      const std::string& other = rng() % 2 == 0 && slash != std::string::npos ? mounted.substr(0, slash)
                                                                               : folders[rng() % folders.size()];
      system.identities[mounted] = IdOf(rng() % 4 == 0 ? root : other);
      notEntered.insert({refused, vanishing});
    }

    EntryList reference(1);
    system.mostOpen = 0;
    discovery::ScanFolderSequential(root, discovery::kScanPattern, reference, system);
    system.PutBack();
    ASSERT_GT(reference.size(), 20u);
    const int sequentialMostOpen = system.mostOpen;
    for (const auto& folder : notEntered) EXPECT_FALSE(HasEntryBelow(reference, folder)) << folder;
    if (shape.chain) {
      const auto chain = std::count_if(reference.begin(), reference.end(), [](std::string_view entry) {
        return entry.rfind(">>", 0) == 0 && entry.ends_with("/dd");
      });
      EXPECT_EQ(chain, shape.depth);
    }

    // The sequential walk holds every level open, as each level of the reference walk does.
    if (shape.rootWidth == 0) {
      EXPECT_EQ(sequentialMostOpen, shape.depth + 1);
    }
    for (const auto& options : kOptions) {
      system.mostOpen = 0;
      EntryList list(1);
      discovery::ScanFolder(root, discovery::kScanPattern, list, system, options);
      system.PutBack();
      EXPECT_TRUE(list == reference) << options.workers << " workers, " << options.aloneFolders << " alone: "
                                     << list.size() << " slots, " << reference.size() << " expected";
      // A folder stays open only while a subfolder of it is left to enter: each thread holds at
      // most its way down. Along a chain, where each folder's one subfolder is entered at once,
      // that is a few folders per thread, however deep.
      const int threads = options.workers + 1;
      EXPECT_LE(system.mostOpen, threads * (shape.depth + 2)) << options.workers << " workers";
      if (shape.rootWidth == 0) {
        EXPECT_LE(system.mostOpen, 3 * threads) << options.workers << " workers";
      }
      EXPECT_EQ(system.openFolders, 0);
    }
  }
}

TEST(ScanReadAhead, AnErrorInAnyFolderEndsTheScanAndReachesTheCaller) {
  TempDir tmp;
  for (const char* folder : {"a/b/c", "a/x", "b/y/z", "c"}) MakeFolders(tmp / folder);
  for (const std::string throwing : {"a/b/c", "b/y", "c"}) {
    for (const auto& options : kOptions) {
      FaultySystem system;
      system.throwing = tmp / throwing;
      EntryList list(1);
      EXPECT_THROW(discovery::ScanFolder(tmp.Path(), discovery::kScanPattern, list, system, options),
                   std::bad_alloc)
          << throwing << ", " << options.workers << " workers";
      EXPECT_EQ(system.openFolders, 0);
    }
  }
}

// What an entry is when its record tells no type, as on file systems without d_type: asked
// from the system, links not followed except to tell a link to a folder.
TEST(ScanFolderEntryKind, WithoutATypeInTheRecord) {
  TempDir tmp;
  MakeFolders(tmp / "folder");
  WriteFile(tmp / "file.sol");
  ASSERT_EQ(symlink("folder", (tmp / "toFolder").c_str()), 0);
  ASSERT_EQ(symlink("file.sol", (tmp / "toFile").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (tmp / "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((tmp / "fifo").c_str(), 0644), 0);
  const int fd = open(tmp.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  struct Case {
    const char* name;
    unsigned char type;
    bool isDirectory, isLink;
  };
  const std::vector<Case> cases = {
      {"folder", DT_UNKNOWN, true, false},  {"file.sol", DT_UNKNOWN, false, false},
      {"toFolder", DT_UNKNOWN, true, true}, {"toFile", DT_UNKNOWN, false, false},
      {"dangling", DT_UNKNOWN, false, false}, {"fifo", DT_UNKNOWN, false, false},
      {"missing", DT_UNKNOWN, false, false},  // gone since it was listed
      {"toFolder", DT_LNK, true, true},     {"toFile", DT_LNK, false, false},
      {"folder", DT_DIR, true, false},      {"file.sol", DT_REG, false, false},
  };
  for (const auto& c : cases) {
    platform::FolderEntry entry{c.name, !c.isDirectory, !c.isLink};  // the opposite, to be overwritten
    platform::posix::SetKind(fd, c.type, entry);
    EXPECT_EQ(entry.isDirectory, c.isDirectory) << c.name << " type " << int(c.type);
    EXPECT_EQ(entry.isLink, c.isLink) << c.name << " type " << int(c.type);
  }
  close(fd);
}

// Real mounts below the root, in a mount namespace of this test's own (needs the right to make
// one, as root has; skipped otherwise): another file system, whose folders' identities come from
// the system rather than from the records, and the root mounted again below itself, which is
// recorded but not entered. A mount point's name with a blank is written escaped in the mount
// table.
TEST(ScanFolderMounts, AnotherFileSystemIsWalkedAndTheRootMetAgainIsNot) {
  if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    GTEST_SKIP() << "no mount namespace of our own: " << std::strerror(errno);
  }
  TempDir tmp;
  const std::string root = tmp / "root";
  WriteFile(root + "/a.sol");
  MakeFolders(root + "/other fs");
  MakeFolders(root + "/x/again");
  ASSERT_EQ(mount("tmpfs", (root + "/other fs").c_str(), "tmpfs", 0, nullptr), 0) << std::strerror(errno);
  ASSERT_EQ(mount(root.c_str(), (root + "/x/again").c_str(), nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
  WriteFile(root + "/other fs/b.sol");
  MakeFolders(root + "/other fs/deeper/x");
  WriteFile(root + "/other fs/deeper/x/c.sol");

  const std::multiset<std::string> expected = {
      "    " + root + "/a.sol",       ">>" + root + "/other fs",          "    " + root + "/other fs/b.sol",
      ">>" + root + "/other fs/deeper", ">>" + root + "/other fs/deeper/x", "    " + root + "/other fs/deeper/x/c.sol",
      ">>" + root + "/x",            ">>" + root + "/x/again",           ""};
  EntryList reference(1);
  discovery::ScanFolderSequential(root, discovery::kScanPattern, reference, platform::Native());
  EXPECT_EQ(std::multiset<std::string>(reference.begin(), reference.end()), expected);
  for (const auto& options : kOptions) {
    EntryList list(1);
    discovery::ScanFolder(root, discovery::kScanPattern, list, platform::Native(), options);
    EXPECT_EQ(list, reference) << options.workers << " workers";
  }
  umount((root + "/x/again").c_str());
  umount((root + "/other fs").c_str());
}

}  // namespace
}  // namespace vesk::test
