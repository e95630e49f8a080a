#pragma once

// vesk-cli as a whole but for the real streams and system: reads the arguments and runs one
// command, so that tests drive the program as a user does.

#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/platform.h"

namespace vesk::cli {

// `arguments` with the program's name first; returns the exit status. Never throws: memory
// exhaustion or any other exception that escapes a command is one line on standard error and
// status 1.
int Run(const std::vector<std::string>& arguments, platform::System& system, Output& output, Question& question);

}  // namespace vesk::cli
