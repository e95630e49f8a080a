// The .sol reader's speed and bounds. For each file: Read, then the JSON and text forms into a
// sink that only counts, with the time, the index's size and the peak memory of this process;
// with the path of vesk-cli, also `vesk-cli show --format json|text FILE` as child processes, with
// their time, peak memory and output size against the goals: peak <= 64 MiB + 8 x the file,
// output <= 64 MiB + 16 x the file.
//   vesk_lso_bench FILE... [--cli VESK_CLI]

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lso/lso.h"

extern char** environ;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double MiB(double bytes) { return bytes / (1 << 20); }

struct Counter : vesk::lso::Sink {
  void Write(std::string_view piece) override { bytes += piece.size(); }
  std::size_t bytes = 0;
};

// Runs `cli show --format FORMAT file`, counting what it writes; false when a goal is missed.
bool RunCli(const char* cli, const char* file, double size, const char* format) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const char* args[] = {cli, "show", "--format", format, file, nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, cli, &actions, nullptr, const_cast<char**>(args), environ) != 0) {
    std::printf("  cannot start %s\n", cli);
    return false;
  }
  close(out[1]);
  std::vector<char> buffer(1 << 16);
  double written = 0;
  for (ssize_t n; (n = read(out[0], buffer.data(), buffer.size())) > 0;) written += static_cast<double>(n);
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = Seconds(start);
  posix_spawn_file_actions_destroy(&actions);
  const double peak = static_cast<double>(usage.ru_maxrss) * 1024;
  const double peakGoal = (64 << 20) + 8 * size, outGoal = (64 << 20) + 16 * size;
  const bool ok = peak <= peakGoal && written <= outGoal && WIFEXITED(status) && WEXITSTATUS(status) <= 1;
  std::printf("  vesk-cli show --format %-4s %6.3f s, peak %7.1f MiB (goal %6.1f), output %8.1f MiB (goal %6.1f), status %d%s\n",
              format, seconds, MiB(peak), MiB(peakGoal), MiB(written), MiB(outGoal),
              WIFEXITED(status) ? WEXITSTATUS(status) : -1, ok ? "" : "  MISSED");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> files;
  const char* cli = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--cli" && i + 1 < argc) cli = argv[++i];
    else files.push_back(argv[i]);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: vesk_lso_bench FILE... [--cli VESK_CLI]\n");
    return 2;
  }
  bool ok = true;
  // The children first: a child starts as a copy of this process, and its peak memory would
  // include what this one has taken by then.
  if (cli) {
    for (const char* path : files) {
      std::ifstream in(path, std::ios::binary | std::ios::ate);
      const double size = static_cast<double>(in.tellg());
      std::printf("%s: %.1f MiB\n", path, MiB(size));
      ok = RunCli(cli, path, size, "json") && ok;
      ok = RunCli(cli, path, size, "text") && ok;
    }
  }
  for (const char* path : files) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string bytes = buffer.str();
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", path);
      return 1;
    }
    const double size = static_cast<double>(bytes.size());
    auto start = std::chrono::steady_clock::now();
    const vesk::lso::Tape tape = vesk::lso::Read(std::move(bytes));
    const double read = Seconds(start);
    std::vector<vesk::lso::Problem> problems = tape.Problems();
    Counter json, text;
    start = std::chrono::steady_clock::now();
    vesk::lso::WriteJsonValues(tape, json, problems);
    const double jsonTime = Seconds(start);
    start = std::chrono::steady_clock::now();
    vesk::lso::WriteText(tape, text, 2, problems);
    const double textTime = Seconds(start);
    std::printf("%s: %.1f MiB, %zu problems%s\n", path, MiB(size), problems.size(),
                problems.empty() ? "" : (" (first: " + problems.front().message + ")").c_str());
    std::printf("  Read %.3f s, index %.1f MiB (%.2f x the file); JSON %.3f s, %.1f MiB; text %.3f s, %.1f MiB\n", read,
                MiB(static_cast<double>(tape.IndexBytes())), static_cast<double>(tape.IndexBytes()) / size, jsonTime,
                MiB(static_cast<double>(json.bytes)), textTime, MiB(static_cast<double>(text.bytes)));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory of this process: %.1f MiB\n", MiB(static_cast<double>(usage.ru_maxrss) * 1024));
  return ok ? 0 : 1;
}
