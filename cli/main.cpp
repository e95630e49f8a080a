// vesk-cli: reads the arguments, runs one command, writes its output. Everything else lives in
// commands.cpp.

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/build_config.h"
#include "cli/commands.h"
#include "cli/question.h"
#include "cli/terminal.h"
#include "platform/platform.h"

#ifdef _WIN32
#include "platform/utf16.h"
#endif

namespace {

using vesk::cli::Format;

std::string VersionText() {
  return "vesk-cli " + std::to_string(vesk::build::kVersionMajor) + "." + std::to_string(vesk::build::kVersionMinor) +
         "." + std::to_string(vesk::build::kVersionRevision);
}

std::string NotEmpty(const std::string& value) { return value.empty() ? std::string("the value is empty") : std::string(); }

// --all-stores instead of the one root; it cannot be combined with a root of its own.
void AddAllStores(CLI::App& command, vesk::cli::ListOptions& options) {
  CLI::Option* allStores =
      command.add_flag("--all-stores", options.allStores, "Walk every store that stores lists, in its order.");
  for (const char* other : {"--deeper", "--root"}) {
    if (CLI::Option* option = command.get_option_no_throw(other)) allStores->excludes(option);
  }
}

// What delete and copy choose by, the same options for both.
void AddSelection(CLI::App& command, vesk::cli::SelectOptions& options, std::string& format, const std::string& verb) {
  command.add_flag("--deeper", options.list.deeper, "Scan the whole application-data folder, not only the store.");
  command.add_option("--root", options.list.roots, "Scan DIR instead (repeatable; in the given order).")
      ->option_text("DIR")
      ->check(NotEmpty)
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  AddAllStores(command, options.list);
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

int UsageError(vesk::cli::Terminal& terminal, const std::string& message) {
  terminal.Err("vesk-cli: " + message);
  std::string usage = vesk::cli::kUsage;
  usage.pop_back();
  terminal.Err(usage);
  return vesk::cli::kExitUsage;
}

int Run(std::vector<std::string> arguments) {
  vesk::cli::Terminal terminal;
  vesk::platform::System& system = vesk::platform::Native();

  CLI::App app("Lists, shows, copies and deletes Flash cookies (Local Shared Objects, .sol files).", "vesk-cli");
  app.set_version_flag("--version", VersionText());
  app.require_subcommand(1);
  app.footer("Exit status: 0 all files read cleanly, 1 a file could not be read or had a problem, 2 usage error.\n"
             "delete: 0 every selected file is gone, 1 one survived, 2 usage error or no terminal to ask at.\n"
             "copy: 0 every selected file was copied, 1 one was not, 2 usage error.\n"
             "See vesk-cli(1).");

  vesk::cli::ListOptions list;
  std::string listFormat = "text";
  CLI::App* listCommand = app.add_subcommand("list", "List the cookie files, as the window finds them.");
  listCommand->add_flag("--deeper", list.deeper, "Scan the whole application-data folder, not only the store.");
  listCommand->add_option("--root", list.roots, "Scan DIR instead (repeatable; in the given order).")
      ->option_text("DIR")
      // An empty name would scan from the top of the file system.
      ->check([](const std::string& dir) { return dir.empty() ? std::string("DIR is empty") : std::string(); })
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  listCommand->add_option("--format", listFormat,
                          "Output format: text (one path a line), json (JSON Lines), csv, or bodyfile (for mactime).")
      ->check(CLI::IsMember({"text", "json", "csv", "bodyfile"}));
  AddAllStores(*listCommand, list);

  vesk::cli::StoresOptions stores;
  std::string storesFormat = "text";
  CLI::App* storesCommand =
      app.add_subcommand("stores", "List every store found: the plug-in's, the browsers', Ruffle's and AIR applications'.");
  storesCommand->add_option("--format", storesFormat, "Output format: text, json (JSON Lines) or csv.")
      ->check(CLI::IsMember({"text", "json", "csv"}));

  vesk::cli::DeleteOptions remove;
  std::string deleteFormat = "text";
  CLI::App* deleteCommand = app.add_subcommand("delete", "Delete the chosen cookie files of the listing.");
  AddSelection(*deleteCommand, remove, deleteFormat, "Delete");
  deleteCommand->add_flag("--dry-run", remove.dryRun, "Print what would be deleted; delete nothing.");
  deleteCommand->add_flag("--yes", remove.yes, "Delete without asking.");

  vesk::cli::CopyOptions copy;
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

  vesk::cli::ShowOptions show;
  std::string showFormat = "text";
  CLI::App* showCommand = app.add_subcommand("show", "Decode and show cookie files.");
  showCommand->add_option("--format", showFormat, "Output format: text (an indented tree) or json (JSON Lines).")
      ->check(CLI::IsMember({"text", "json"}));
  showCommand->add_option("FILE", show.files, "A .sol file.")->required();

  // CLI11 wants the arguments without the program's name, in reverse order.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  if (!reversed.empty()) reversed.pop_back();
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {  // --help or --version
      std::ostringstream out, err;
      app.exit(error, out, err);
      terminal.Out(out.str());
      return vesk::cli::kExitClean;
    }
    // CLI11 takes an unknown command for a missing one; name it instead.
    const bool unknownCommand = arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-' &&
                                std::as_const(app).get_subcommands(std::function<bool(const CLI::App*)>(
                                    [&](const CLI::App* command) { return command->get_name() == arguments[1]; }))
                                    .empty();
    return UsageError(terminal, unknownCommand ? "unknown command: " + arguments[1] : std::string(error.what()));
  }

  static const std::map<std::string, Format> kFormats = {
      {"text", Format::Text}, {"json", Format::Json}, {"csv", Format::Csv}, {"bodyfile", Format::Bodyfile}};
  if (*listCommand) {
    list.format = kFormats.at(listFormat);
    return vesk::cli::RunList(list, system, terminal);
  }
  if (*storesCommand) {
    stores.format = kFormats.at(storesFormat);
    return vesk::cli::RunStores(stores, system, terminal);
  }
  if (*copyCommand) {
    if (copy.rules.sites.empty() && !copy.rules.all) return UsageError(terminal, "copy needs --site PATTERN or --all");
    if (copy.to.empty() && !copy.toRuffle) return UsageError(terminal, "copy needs --to DIR or --to-ruffle");
    copy.list.format = kFormats.at(copyFormat);
    return vesk::cli::RunCopy(copy, system, terminal);
  }
  if (*deleteCommand) {
    if (remove.rules.sites.empty() && !remove.rules.all) return UsageError(terminal, "delete needs --site PATTERN or --all");
    remove.list.format = kFormats.at(deleteFormat);
    vesk::cli::TerminalQuestion question(terminal);
    return vesk::cli::RunDelete(remove, system, terminal, question);
  }
  show.format = kFormats.at(showFormat);
  return vesk::cli::RunShow(show, system, terminal);
}

}  // namespace

#ifdef _WIN32
// The wide arguments: the narrow ones would hold only what the ANSI code page can spell.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(vesk::platform::Utf8(argv[i]));
  return Run(std::move(arguments));
}
#else
int main(int argc, char** argv) {
  vesk::platform::SetStartName(argv[0]);
  return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
