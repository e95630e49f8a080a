#pragma once

// vesk-cli's streams and question as the tests play them.

#include <deque>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace vesk::test {

// What a command wrote, kept apart by stream; whether a stream counts as a terminal is set here.
class RecordingOutput : public cli::Output {
 public:
  std::string out;
  std::vector<std::string> err;
  bool outIsTerminal = false;
  bool errIsTerminal = false;

  void Out(std::string_view lines) override { out.append(lines); }
  void Err(std::string_view line) override { err.emplace_back(line); }
  std::string ErrorText(int error) override { return "error " + std::to_string(error); }
  bool IsTerminal(cli::Stream stream) override { return stream == cli::Stream::kErr ? errIsTerminal : outIsTerminal; }
  // Standard error as it would read: each line ended by a line feed.
  std::string ErrLines() const {
    std::string lines;
    for (const std::string& line : err) lines.append(line).append("\n");
    return lines;
  }
};

// The person at the terminal: answers in turn, "" once they run out.
class FakeQuestion : public cli::Question {
 public:
  bool interactive = true;
  std::deque<std::string> answers;
  std::vector<std::string> prompts;
  bool Interactive() override { return interactive; }
  std::string Ask(const std::string& prompt) override {
    prompts.push_back(prompt);
    std::string answer = answers.empty() ? "" : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
};

}  // namespace vesk::test
