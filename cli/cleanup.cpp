// vesk-cli stores and delete: every store on the machine, and the scripted clean-up.

#include <algorithm>

#include "cli/commands.h"
#include "cli/fields.h"
#include "cookies/deletion.h"
#include "discovery/cookie_list.h"
#include "discovery/scan.h"
#include "discovery/site.h"
#include "discovery/store.h"
#include "discovery/stores.h"
#include "lso/lso.h"

namespace vesk::cli {
namespace {

std::string KindText(const discovery::Store& store) {
  switch (store.kind) {
    case discovery::StoreKind::kPlugIn:
      return "plug-in";
    case discovery::StoreKind::kBrowser:
      return store.profile.empty() ? store.browser : store.browser + " (" + store.profile + ")";
    case discovery::StoreKind::kRuffle:
      return store.name == "ruffle/flatpak" ? "Ruffle (Flatpak)" : "Ruffle (native)";
    case discovery::StoreKind::kAir:
      return "AIR (" + store.name.substr(4) + ")";
  }
  return {};
}

bool IsYes(std::string answer) {
  while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\t' || answer.back() == '\r')) answer.pop_back();
  answer.erase(0, std::min(answer.size(), answer.find_first_not_of(" \t")));
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return answer == "y" || answer == "yes";
}

void AppendDeleteLine(std::string& out, Output& output, Format format, const Listed& listed, const std::string& store,
                      const std::string& result, const std::string& error) {
  if (format == Format::Json) {
    out += '{';
    AppendJsonText(out, "path", listed.file.path);
    out += ',';
    AppendJsonText(out, "site", listed.file.site);
    out.append(",\"kind\":\"").append(discovery::FileKindName(listed.file.kind)).append("\",");
    AppendJsonText(out, "store", store.empty() ? std::nullopt : std::optional<std::string_view>(store));
    out += ',';
    AppendJsonText(out, "result", result);
    AppendJsonError(out, error);
    out.append("}\n");
    return;
  }
  out.append(result);
  if (!error.empty()) out.append(": ").append(error);
  out.append("\t").append(ShownPath(output, Stream::kOut, listed.file.path)).append("\n");
}

}  // namespace

int RunStores(const StoresOptions& options, platform::System& system, Output& output) {
  if (options.format == Format::Csv) output.Out("store,kind,browser,profile,folder,cookies,settings\r\n");
  const bool terminal = output.IsTerminal(Stream::kOut);
  int status = kExitClean;
  std::string line;
  for (const discovery::Store& store : discovery::FindStores(system)) {
    // A store that cannot be read keeps its row, with its counts unknown.
    const WalkCheck check = CheckWalk({store.folder, store.name, store.folder, store.name}, {}, system, output);
    if (check == WalkCheck::kNothing) continue;  // gone since it was found
    if (check == WalkCheck::kFailed) status = kExitProblem;
    std::optional<std::size_t> cookies, settings;
    if (check == WalkCheck::kWalk) {
      cookies = settings = 0;
      for (const std::string& path : discovery::ScanCookiePaths(store.folder, system)) {
        ++*(discovery::ClassifyPath(path).kind == discovery::FileKind::kSettings ? settings : cookies);
      }
    }
    auto count = [](const std::optional<std::size_t>& n, const char* unknown) {
      return n ? std::to_string(*n) : std::string(unknown);
    };
    line.clear();
    const char* kind = discovery::StoreKindName(store.kind);
    if (options.format == Format::Json) {
      line += '{';
      AppendJsonText(line, "store", store.name);
      line.append(",\"kind\":\"").append(kind).append("\",");
      AppendJsonText(line, "browser", store.browser);
      line += ',';
      AppendJsonText(line, "profile", store.profile);
      line += ',';
      AppendJsonText(line, "folder", store.folder);
      line.append(",\"cookies\":").append(count(cookies, "null"));
      line.append(",\"settings\":").append(count(settings, "null")).append("}\n");
    } else if (options.format == Format::Csv) {
      const std::string folder = terminal ? EscapedPath(store.folder) : store.folder;
      line.append(CsvField(store.name)).append(",").append(kind).append(",").append(CsvField(store.browser));
      line.append(",").append(CsvField(store.profile)).append(",").append(CsvField(folder));
      line.append(",").append(count(cookies, "")).append(",").append(count(settings, "")).append("\r\n");
    } else {
      line.append(store.name).append("\t").append(KindText(store)).append("\t").append(count(cookies, "?"));
      line.append("\t").append(ShownPath(output, Stream::kOut, store.folder)).append("\n");
    }
    output.Out(line);
  }
  return status;
}

std::optional<Choice> ChooseFiles(const SelectOptions& options, platform::System& system, Output& output,
                                  int& status) {
  status = kExitClean;
  cookies::SelectionRules rules = options.rules;
  for (const std::string& file : options.keepFiles) {
    std::string bytes;
    const platform::Result read = system.ReadFileHead(file, std::size_t{1} << 20, bytes);
    if (!read.ok()) {
      // Going on without the keep-list would touch what the user meant to keep.
      output.Err("vesk-cli: " + ShownPath(output, Stream::kErr, file) + ": cannot read the keep-file: " +
                 output.ErrorText(read.error));
      status = kExitUsage;
      return std::nullopt;
    }
    for (auto& pattern : cookies::ParseKeepList(bytes)) rules.keep.push_back(std::move(pattern));
  }

  // The run's own listing: nothing else can be chosen.
  Choice choice{Walks(options.list, system), {}, {}};
  for (std::size_t w = 0; w < choice.walks.size(); ++w) {
    const Walk& walk = choice.walks[w];
    const WalkCheck check = CheckWalk(walk, options.list, system, output);
    if (check == WalkCheck::kFailed) {
      status = kExitProblem;
      // A root named by the user is likely mistyped: nothing is chosen. A store that cannot be
      // read leaves the others.
      if (!options.list.roots.empty()) return std::nullopt;
    }
    if (check != WalkCheck::kWalk) continue;
    for (std::string& path : discovery::ScanCookiePaths(walk.root, system)) {
      discovery::FileClass kind = discovery::ClassifyPath(path);
      choice.listing.push_back({{walk.root, std::move(path), kind.kind, std::move(kind.site)}, w});
    }
  }
  std::vector<cookies::ListedFile> files;
  for (const Listed& listed : choice.listing) files.push_back(listed.file);
  choice.chosen = cookies::SelectFiles(files, rules);
  return choice;
}

int RunDelete(const DeleteOptions& options, platform::System& system, Output& output, Question& question) {
  int status = kExitClean;
  const std::optional<Choice> choice = ChooseFiles(options, system, output, status);
  if (!choice) return status;
  const std::vector<Listed>& listing = choice->listing;
  const std::vector<std::size_t>& chosen = choice->chosen;
  auto store = [&](const Listed& listed) -> const std::string& { return choice->walks[listed.walk].store; };

  const Format format = options.list.format;
  std::string out;
  if (chosen.empty()) {
    output.Err("vesk-cli: no cookie files selected");
    return status;
  }
  if (options.dryRun) {
    for (const std::size_t i : chosen) {
      AppendDeleteLine(out, output, format, listing[i], store(listing[i]), "would delete", "");
    }
    output.Out(out);
    return status;
  }
  if (!options.yes) {
    if (!question.Interactive()) {
      output.Err("vesk-cli: not deleting without a terminal to ask at; give --yes, or --dry-run to see the selection");
      return kExitUsage;
    }
    // Beside the question on standard error, so that standard output carries only the results;
    // escaped, since someone reads them there.
    for (const std::size_t i : chosen) output.Err(EscapedPath(listing[i].file.path));
    const std::string prompt = "Delete " + std::to_string(chosen.size()) + " cookie files? [y/N] ";
    if (!IsYes(question.Ask(prompt))) {
      output.Err("vesk-cli: nothing deleted");
      return kExitProblem;
    }
  }

  for (const std::size_t i : chosen) {
    const Listed& listed = listing[i];
    const platform::RemoveResult result = cookies::DeleteCookieFile(listed.file.root, listed.file.path, system);
    if (!result.FileIsGone()) status = kExitProblem;
    out.clear();
    if (result.outcome == platform::Removal::kSystemError) {
      AppendDeleteLine(out, output, format, listed, store(listed), "error", output.ErrorText(result.error));
    } else {
      AppendDeleteLine(out, output, format, listed, store(listed), cookies::RemovalText(result.outcome), "");
    }
    output.Out(out);
  }
  return status;
}

}  // namespace vesk::cli
