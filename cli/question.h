#pragma once

// delete's question at the real terminal: asked on standard error, so that the selection on
// standard output can be redirected, and answered on standard input.

#include <string>

#include "cli/commands.h"
#include "cli/terminal.h"

namespace vesk::cli {

class TerminalQuestion final : public Question {
 public:
  explicit TerminalQuestion(Terminal& terminal) : terminal_(terminal) {}
  bool Interactive() override;
  std::string Ask(const std::string& prompt) override;

 private:
  Terminal& terminal_;
};

}  // namespace vesk::cli
