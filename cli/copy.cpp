// vesk-cli copy: the chosen cookies into a backup folder or into Ruffle's layout.

#include "cli/commands.h"
#include "cli/fields.h"
#include "cookies/copying.h"
#include "cookies/selection.h"
#include "discovery/site.h"
#include "discovery/store.h"
#include "discovery/stores.h"
#include "lso/lso.h"

namespace vesk::cli {
namespace {

// Ruffle keeps the saves of every local movie below "localhost", where the player kept those that
// could reach the network below "#localWithNet".
std::string RuffleSite(const std::string& site) {
  // Patterns without wildcards: the names in any case.
  if (cookies::GlobMatch("localhost", site) || cookies::GlobMatch("#localWithNet", site)) return "localhost";
  return site;
}

// Where a chosen file goes, or nullopt when it has no place there.
std::optional<cookies::CopyTarget> TargetOf(const CopyOptions& options, const std::string& ruffleDir,
                                            const Walk& walk, const std::string& path) {
  if (options.toRuffle) {
    const discovery::FileClass kind = discovery::ClassifyPath(path);
    if (kind.layout != discovery::Layout::kFlashPlayer || !kind.site) return std::nullopt;
    std::optional<platform::PathBelow> below = platform::SplitBelow(path.substr(0, kind.siteAt), path);
    if (!below || below->folders.empty()) return std::nullopt;
    below->folders.front() = RuffleSite(below->folders.front());
    below->folders.insert(below->folders.begin(), "SharedObjects");
    return cookies::CopyTarget{ruffleDir, std::move(below->folders), std::move(below->file)};
  }
  std::optional<platform::PathBelow> below = platform::SplitBelow(walk.backupBase, path);
  if (!below) return std::nullopt;
  below->folders.insert(below->folders.begin(), SafeFolderName(walk.backupName));
  return cookies::CopyTarget{options.to, std::move(below->folders), std::move(below->file)};
}

std::string TargetPath(const cookies::CopyTarget& target) {
  std::string path = platform::ProperPath(target.base);
  for (const std::string& folder : target.folders) path.append(folder).append(1, platform::kSeparator);
  return path + target.name;
}

std::string FailureText(const cookies::CopyResult& result, Output& output) {
  std::string text = result.what;
  if (result.error != 0) {
    const char* own = cookies::PlatformErrorText(result.error);
    text.append(": ").append(own != nullptr ? std::string(own) : output.ErrorText(result.error));
  }
  return text;
}

void AppendCopyLine(std::string& out, Output& output, Format format, const std::string& result, const std::string& error,
                    const std::string& source, const std::string& target, const std::optional<std::string>& site) {
  if (format == Format::Json) {
    out += '{';
    AppendJsonText(out, "source", source);
    out += ',';
    AppendJsonText(out, "target", target);
    out += ',';
    AppendJsonText(out, "site", site);
    out.append(",\"result\":\"").append(result).append("\"");
    AppendJsonError(out, error);
    out.append("}\n");
    return;
  }
  // The reason may name a folder of the target: shown as the paths are.
  out.append(result);
  if (!error.empty()) out.append(": ").append(ShownPath(output, Stream::kOut, error));
  out.append("\t").append(ShownPath(output, Stream::kOut, source));
  out.append("\t").append(ShownPath(output, Stream::kOut, target)).append("\n");
}

const char* OutcomeText(cookies::CopyOutcome outcome, bool dryRun) {
  switch (outcome) {
    case cookies::CopyOutcome::kCopied:
      return dryRun ? "would copy" : "copied";
    case cookies::CopyOutcome::kReplaced:
      return "replaced";
    case cookies::CopyOutcome::kExists:
      return "exists";
    case cookies::CopyOutcome::kFailed:
      return "failed";
  }
  return "";
}

}  // namespace

int RunCopy(const CopyOptions& options, platform::System& system, Output& output) {
  std::string ruffleDir = options.ruffleDir;
  if (options.toRuffle && ruffleDir.empty()) {
    ruffleDir = discovery::RuffleFolder(system);
    if (ruffleDir.empty()) {
      output.Err("vesk-cli: no Ruffle folder on this system; name one with --ruffle-dir DIR");
      return kExitUsage;
    }
  }
  SelectOptions select = options;
  // Ruffle reads only the movies' own saves: the player's settings never go there.
  if (options.toRuffle) select.rules.includeSettings = false;
  int status = kExitClean;
  const std::optional<Choice> choice = ChooseFiles(select, system, output, status);
  if (!choice) return status;

  const Format format = options.list.format;
  std::string out;
  std::size_t placed = 0;
  for (const std::size_t i : choice->chosen) {
    const Listed& listed = choice->listing[i];
    const std::optional<cookies::CopyTarget> target =
        TargetOf(options, ruffleDir, choice->walks[listed.walk], listed.file.path);
    if (!target) continue;  // not a Flash Player cookie: Ruffle has no place for it
    ++placed;
    const std::string targetPath = TargetPath(*target);
    out.clear();
    if (options.dryRun) {
      AppendCopyLine(out, output, format, OutcomeText(cookies::CopyOutcome::kCopied, true), "", listed.file.path, targetPath,
                     listed.file.site);
      output.Out(out);
      continue;
    }
    const cookies::CopyResult result = cookies::CopyCookieFile(listed.file.path, *target, options.replace, system);
    if (result.outcome != cookies::CopyOutcome::kCopied && result.outcome != cookies::CopyOutcome::kReplaced) {
      status = kExitProblem;
    }
    const std::string error = result.outcome == cookies::CopyOutcome::kFailed ? FailureText(result, output) : "";
    AppendCopyLine(out, output, format, OutcomeText(result.outcome, false), error, listed.file.path, targetPath,
                   listed.file.site);
    output.Out(out);
  }
  if (placed == 0) output.Err("vesk-cli: no cookie files selected");
  return status;
}

}  // namespace vesk::cli
