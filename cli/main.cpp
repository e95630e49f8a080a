// vesk-cli: reads the arguments, runs one command, writes its output. Everything else lives in
// commands.cpp.

#include <CLI/CLI.hpp>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "build_config.h"
#include "cli/commands.h"
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

int Run(std::vector<std::string> arguments) {
  vesk::cli::Terminal terminal;
  vesk::platform::System& system = vesk::platform::Native();

  CLI::App app("Lists and shows Flash cookies (Local Shared Objects, .sol files).", "vesk-cli");
  app.set_version_flag("--version", VersionText());
  app.require_subcommand(1);
  app.footer("Exit status: 0 all files read cleanly, 1 a file could not be read or had a problem, 2 usage error.\n"
             "See vesk-cli(1).");

  vesk::cli::ListOptions list;
  std::string listFormat = "text";
  CLI::App* listCommand = app.add_subcommand("list", "List the cookie files, as the window finds them.");
  listCommand->add_flag("--deeper", list.deeper, "Scan the whole application-data folder, not only the store.");
  listCommand->add_option("--root", list.roots, "Scan DIR instead (repeatable; in the given order).")
      ->option_text("DIR")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  listCommand->add_option("--format", listFormat, "Output format: text (one path a line), json (JSON Lines) or csv.")
      ->check(CLI::IsMember({"text", "json", "csv"}));

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
    terminal.Err(std::string("vesk-cli: ") + error.what());
    std::string usage = vesk::cli::kUsage;
    usage.pop_back();
    terminal.Err(usage);
    return vesk::cli::kExitUsage;
  }

  static const std::map<std::string, Format> kFormats = {
      {"text", Format::Text}, {"json", Format::Json}, {"csv", Format::Csv}};
  if (*listCommand) {
    list.format = kFormats.at(listFormat);
    return vesk::cli::RunList(list, system, terminal);
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
