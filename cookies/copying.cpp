#include "cookies/copying.h"

#include <random>

namespace vesk::cookies {
namespace {

using platform::Result;

CopyResult Failed(std::string what, int error = 0) { return {CopyOutcome::kFailed, std::move(what), error}; }

// A name no copy run gives twice, short enough for any file system whatever the target's name.
std::string TemporaryName() {
  static std::mt19937_64 random{std::random_device{}()};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = ".vesk-";
  std::uint64_t bits = random();
  for (int i = 0; i < 12; ++i, bits >>= 4) name += kHex[bits & 15];
  return name + ".tmp";
}

// Everything from the written file to the rename, in the folder that will hold the copy. The
// temporary file is removed whenever the copy is not renamed into place.
class Placement {
 public:
  explicit Placement(platform::TargetFolder& folder) : folder_(folder) {}
  ~Placement() {
    if (!temporary_.empty()) folder_.Remove(temporary_);
  }
  Placement(const Placement&) = delete;
  Placement& operator=(const Placement&) = delete;

  Result Write(const std::string& bytes) {
    std::unique_ptr<platform::NewFile> file;
    Result created;
    for (int attempt = 0; attempt < 8; ++attempt) {
      const std::string name = TemporaryName();
      created = folder_.CreateFile(name, file);
      if (created.ok()) {
        temporary_ = name;
        break;
      }
      if (created.error != platform::kErrorExists) return created;
    }
    if (!created.ok()) return created;
    const Result wrote = file->Write(bytes);
    const Result finished = file->Finish();
    return wrote.ok() ? finished : wrote;
  }

  const std::string& Temporary() const { return temporary_; }
  void Placed() { temporary_.clear(); }

 private:
  platform::TargetFolder& folder_;
  std::string temporary_;
};

}  // namespace

CopyResult CopyCookieFile(const std::string& source, const CopyTarget& target, bool replace, platform::System& system) {
  std::string bytes;
  // One byte past the limit tells a file of exactly the limit from a larger one.
  Result read = system.ReadFileHead(source, kMaxCopiedBytes + 1, bytes);
  if (!read.ok()) return Failed("cannot read the source", read.error);
  if (bytes.size() > kMaxCopiedBytes) return Failed("the source is larger than 64 MiB");

  std::unique_ptr<platform::TargetFolder> folder;
  Result opened = system.OpenTargetBase(target.base, folder);
  if (!opened.ok()) return Failed("cannot open the target folder", opened.error);
  for (const std::string& name : target.folders) {
    std::unique_ptr<platform::TargetFolder> child;
    opened = folder->OpenOrCreateChild(name, child);
    if (!opened.ok()) return Failed("cannot create the folder " + name, opened.error);
    folder = std::move(child);
  }

  Result looked;
  const auto existing = folder->Look(target.name, looked);
  if (!looked.ok()) return Failed("cannot look at the target", looked.error);
  if (existing && !replace) return {CopyOutcome::kExists, {}, 0};
  const std::string backup = target.name + ".bak";
  if (existing) {
    if (*existing == platform::FileDetails::Type::kLink) return Failed("the target is a link");
    if (*existing != platform::FileDetails::Type::kFile) return Failed("the target is not a regular file");
    const auto oldBackup = folder->Look(backup, looked);
    if (!looked.ok()) return Failed("cannot look at " + backup, looked.error);
    if (oldBackup) return Failed(backup + " exists");
  }

  Placement placement(*folder);
  const Result wrote = placement.Write(bytes);
  if (!wrote.ok()) return Failed("cannot write the copy", wrote.error);
  // What reached the disk, and what the source holds now: both must be what was read.
  std::string check;
  read = folder->ReadFile(placement.Temporary(), kMaxCopiedBytes + 1, check);
  if (!read.ok()) return Failed("cannot read the copy back", read.error);
  if (check != bytes) return Failed("the copy differs from the source");
  read = system.ReadFileHead(source, kMaxCopiedBytes + 1, check);
  if (!read.ok()) return Failed("the source went away while it was copied", read.error);
  if (check != bytes) return Failed("the source changed while it was copied");

  if (existing) {
    const Result kept = folder->MoveNoReplace(target.name, backup);
    if (!kept.ok()) return Failed("cannot keep the old file as " + backup, kept.error);
    const Result placed = folder->MoveNoReplace(placement.Temporary(), target.name);
    if (!placed.ok()) {
      // Put the old file back where it was; whatever happens it stays as the .bak.
      folder->MoveNoReplace(backup, target.name);
      return Failed("cannot put the copy in place", placed.error);
    }
    placement.Placed();
    return {CopyOutcome::kReplaced, {}, 0};
  }
  const Result placed = folder->MoveNoReplace(placement.Temporary(), target.name);
  // Created by someone else meanwhile: theirs stays.
  if (placed.error == platform::kErrorExists) return {CopyOutcome::kExists, {}, 0};
  if (!placed.ok()) return Failed("cannot put the copy in place", placed.error);
  placement.Placed();
  return {CopyOutcome::kCopied, {}, 0};
}

const char* PlatformErrorText(int error) {
  switch (error) {
    case platform::kErrorExists:
      return "the name is taken";
    case platform::kErrorLinkInTheWay:
      return "a link is in the way";
    case platform::kErrorNotAFolder:
      return "something other than a folder is in the way";
    case platform::kErrorNotAFile:
      return "not a regular file";
    default:
      return nullptr;
  }
}

}  // namespace vesk::cookies
