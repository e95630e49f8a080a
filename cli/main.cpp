// vesk-cli: the real arguments, streams and system around cli::Run (run.cpp).

#include <string>
#include <vector>

#include "base/failure.h"
#include "cli/question.h"
#include "cli/run.h"
#include "cli/terminal.h"
#include "platform/platform.h"

#ifdef _WIN32
#include "platform/utf16.h"
#endif

namespace {

int RunGuarded(const std::vector<std::string>& arguments) {
  vesk::cli::Terminal terminal;
  vesk::cli::TerminalQuestion question(terminal);
  return vesk::cli::Run(arguments, vesk::platform::Native(), terminal, question);
}

// Run catches what a command lets escape; this catches the rest (the arguments' own copies).
int Failed() {
  const std::string line = "vesk-cli: " + vesk::base::CurrentExceptionText() + "\n";
  vesk::cli::WriteStandard(true, line);
  return 1;
}

}  // namespace

#ifdef _WIN32
// The wide arguments: the narrow ones would hold only what the ANSI code page can spell.
int wmain(int argc, wchar_t** argv) {
  try {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(vesk::platform::Utf8(argv[i]));
    return RunGuarded(arguments);
  } catch (...) {
    return Failed();
  }
}
#else
int main(int argc, char** argv) {
  try {
    vesk::platform::SetStartName(argv[0]);
    return RunGuarded(std::vector<std::string>(argv, argv + argc));
  } catch (...) {
    return Failed();
  }
}
#endif
