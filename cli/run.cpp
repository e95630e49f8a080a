// vesk-cli's arguments: the commands and their options, the usage errors, and the guard that keeps
// every escaped exception from aborting the program.

#include "cli/run.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <utility>

#include "base/build_config.h"
#include "base/failure.h"

namespace vesk::cli {
namespace {

std::string VersionText() {
  return "vesk-cli " + std::to_string(build::kVersionMajor) + "." + std::to_string(build::kVersionMinor) + "." +
         std::to_string(build::kVersionRevision);
}

// Where list, delete and copy look: the store, --deeper, --root DIR..., or --all-stores; one of them.
void AddWhere(CLI::App& command, ListOptions& options) {
  CLI::Option* deeper =
      command.add_flag("--deeper", options.deeper, "Scan the whole application-data folder, not only the store.");
  CLI::Option* root = command.add_option("--root", options.roots, "Scan DIR instead (repeatable; in the given order).")
                          ->option_text("DIR")
                          // An empty name would scan from the top of the file system.
                          ->check([](const std::string& dir) { return dir.empty() ? "DIR is empty" : ""; })
                          ->expected(1)
                          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option* allStores =
      command.add_flag("--all-stores", options.allStores, "Walk every store that stores lists, in its order.");
  deeper->excludes(root);
  allStores->excludes(deeper);
  allStores->excludes(root);
}

std::string NotEmpty(const std::string& value) { return value.empty() ? std::string("the value is empty") : std::string(); }

// What delete and copy choose by, the same options for both.
void AddSelection(CLI::App& command, SelectOptions& options, std::string& format, const std::string& verb) {
  AddWhere(command, options.list);
  CLI::Option* site =
      command.add_option("--site", options.rules.sites, verb + " the cookies of sites matching PATTERN (repeatable; * and ?, any case).")
          ->option_text("PATTERN")
          ->expected(1)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option* all = command.add_flag("--all", options.rules.all, verb + " every cookie listed.");
  site->excludes(all);
  command.add_option("--keep", options.rules.keep, "Never touch the sites matching PATTERN (repeatable).")
      ->option_text("PATTERN")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command.add_option("--keep-file", options.keepFiles, "Keep the sites whose patterns FILE holds, one a line.")
      ->option_text("FILE")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command.add_flag("--include-settings", options.rules.includeSettings,
                   verb + " the player's own settings files too (for delete: this resets its privacy choices).");
  command.add_option("--format", format, "Output format: text (a result and the paths a line) or json (JSON Lines).")
      ->check(CLI::IsMember({"text", "json"}));
}

int UsageError(Output& output, const std::string& message) {
  output.Err("vesk-cli: " + message);
  std::string usage = kUsage;
  usage.pop_back();
  output.Err(usage);
  return kExitUsage;
}

int Parse(const std::vector<std::string>& arguments, platform::System& system, Output& output, Question& question) {
  CLI::App app("Lists, shows, copies and deletes Flash cookies (Local Shared Objects, .sol files).", "vesk-cli");
  app.set_version_flag("--version", VersionText());
  app.require_subcommand(1);
  app.footer("Exit status: 0 all files read cleanly, 1 a file could not be read or had a problem, 2 usage error.\n"
             "delete: 0 every selected file is gone, 1 one survived, 2 usage error or no terminal to ask at.\n"
             "copy: 0 every selected file was copied, 1 one was not, 2 usage error.\n"
             "See vesk-cli(1).");

  ListOptions list;
  std::string listFormat = "text";
  CLI::App* listCommand = app.add_subcommand("list", "List the cookie files, as the window finds them.");
  AddWhere(*listCommand, list);
  listCommand->add_option("--format", listFormat,
                          "Output format: text (one path a line), json (JSON Lines), csv, or bodyfile (for mactime).")
      ->check(CLI::IsMember({"text", "json", "csv", "bodyfile"}));
  listCommand->add_flag("-0,--print0", list.print0, "Text: end each exact path with a NUL byte, for xargs -0.");

  StoresOptions stores;
  std::string storesFormat = "text";
  CLI::App* storesCommand =
      app.add_subcommand("stores", "List every store found: the plug-in's, the browsers', Ruffle's and AIR applications'.");
  storesCommand->add_option("--format", storesFormat, "Output format: text, json (JSON Lines) or csv.")
      ->check(CLI::IsMember({"text", "json", "csv"}));

  DeleteOptions remove;
  std::string deleteFormat = "text";
  CLI::App* deleteCommand = app.add_subcommand("delete", "Delete the chosen cookie files of the listing.");
  AddSelection(*deleteCommand, remove, deleteFormat, "Delete");
  deleteCommand->add_flag("--dry-run", remove.dryRun, "Print what would be deleted; delete nothing.");
  deleteCommand->add_flag("--yes", remove.yes, "Delete without asking.");

  CopyOptions copy;
  std::string copyFormat = "text";
  CLI::App* copyCommand =
      app.add_subcommand("copy", "Copy the chosen cookie files into a backup folder or into Ruffle's folders.");
  AddSelection(*copyCommand, copy, copyFormat, "Copy");
  CLI::Option* to = copyCommand->add_option("--to", copy.to, "Back up into DIR/<store>/<path in the store>.")
                        ->option_text("DIR")
                        ->check(NotEmpty);
  CLI::Option* toRuffle = copyCommand->add_flag("--to-ruffle", copy.toRuffle,
                                                "Copy the Flash Player's cookies into Ruffle's SharedObjects folder.");
  to->excludes(toRuffle);
  copyCommand->add_option("--ruffle-dir", copy.ruffleDir, "Ruffle's data folder, the one that holds SharedObjects.")
      ->option_text("DIR")
      ->check(NotEmpty)
      ->needs(toRuffle);
  copyCommand->add_flag("--replace", copy.replace, "Replace an existing file, keeping it as <name>.bak.");
  copyCommand->add_flag("--dry-run", copy.dryRun, "Print what would be copied; write nothing.");

  ShowOptions show;
  std::string showFormat = "text";
  CLI::App* showCommand = app.add_subcommand("show", "Decode and show cookie files.");
  showCommand->add_option("--format", showFormat, "Output format: text (an indented tree) or json (JSON Lines).")
      ->check(CLI::IsMember({"text", "json"}));
  showCommand->add_option("FILE", show.files, "A .sol file.")->required();

  // CLI11 wants the arguments without the program's name, in reverse order. It takes the word
  // after "--root=" for the value; that is an empty root, as `--root="$DIR"` with DIR unset means.
  // The same for the folders copy writes to.
  std::vector<std::string> reversed;
  for (auto it = arguments.rbegin(); it + 1 < arguments.rend(); ++it) {
    const bool folder = *it == "--root=" || *it == "--to=" || *it == "--ruffle-dir=";
    if (folder && std::find(arguments.begin(), it.base(), "--") == it.base()) {
      reversed.insert(reversed.end(), {"", it->substr(0, it->size() - 1)});
    } else {
      reversed.push_back(*it);
    }
  }
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {  // --help or --version
      std::ostringstream out, err;
      app.exit(error, out, err);
      output.Out(out.str());
      return kExitClean;
    }
    // CLI11 takes an unknown command for a missing one; name it instead.
    const bool unknownCommand = arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-' &&
                                std::as_const(app).get_subcommands(std::function<bool(const CLI::App*)>(
                                    [&](const CLI::App* command) { return command->get_name() == arguments[1]; }))
                                    .empty();
    return UsageError(output, unknownCommand ? "unknown command: " + arguments[1] : std::string(error.what()));
  }

  static const std::map<std::string, Format> kFormats = {
      {"text", Format::Text}, {"json", Format::Json}, {"csv", Format::Csv}, {"bodyfile", Format::Bodyfile}};
  if (*listCommand) {
    list.format = kFormats.at(listFormat);
    if (list.print0 && list.format != Format::Text) return UsageError(output, "--print0 writes paths only: it takes no --format " + listFormat);
    return RunList(list, system, output);
  }
  if (*storesCommand) {
    stores.format = kFormats.at(storesFormat);
    return RunStores(stores, system, output);
  }
  if (*copyCommand) {
    if (copy.rules.sites.empty() && !copy.rules.all) return UsageError(output, "copy needs --site PATTERN or --all");
    if (copy.to.empty() && !copy.toRuffle) return UsageError(output, "copy needs --to DIR or --to-ruffle");
    copy.list.format = kFormats.at(copyFormat);
    return RunCopy(copy, system, output);
  }
  if (*deleteCommand) {
    if (remove.rules.sites.empty() && !remove.rules.all) return UsageError(output, "delete needs --site PATTERN or --all");
    remove.list.format = kFormats.at(deleteFormat);
    return RunDelete(remove, system, output, question);
  }
  show.format = kFormats.at(showFormat);
  return RunShow(show, system, output);
}

}  // namespace

int Run(const std::vector<std::string>& arguments, platform::System& system, Output& output, Question& question) {
  try {
    return Parse(arguments, system, output, question);
  } catch (...) {
    // Out of memory (a hostile file can ask for more than there is) or a fault of ours: said in
    // one line, never an abort.
    output.Err("vesk-cli: " + base::CurrentExceptionText());
    return kExitProblem;
  }
}

}  // namespace vesk::cli
