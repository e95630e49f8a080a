// Times Decode + AppendJsonValues (with --stream: DecodeJson) on one .sol file and prints the
// peak memory of the process; with the path of vesk-cli, also times
// `vesk-cli show --format json FILE` as a child process.
// Goal for a 16 MiB file of nested values: under 1 s and under 10 x the file's size.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>

#include "lso/lso.h"

extern char** environ;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int RunCli(const char* cli, const char* file, double size) {
  if (access(cli, X_OK) != 0) {
    std::printf("vesk-cli: %s is not there yet; skipped\n", cli);
    return 0;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const char* args[] = {cli, "show", "--format", "json", file, nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, cli, &actions, nullptr, const_cast<char**>(args), environ) != 0) {
    std::printf("vesk-cli: cannot start %s\n", cli);
    return 1;
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = Seconds(start);
  posix_spawn_file_actions_destroy(&actions);
  double peak = static_cast<double>(usage.ru_maxrss) * 1024;
  std::printf("vesk-cli show --format json: %.3f s, peak memory %.1f MiB (%.1f x the file), exit status %d\n",
              seconds, peak / (1 << 20), peak / size, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool stream = argc > 1 && std::string(argv[1]) == "--stream";
  if (stream) {
    --argc;
    ++argv;
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vesk_lso_bench [--stream] FILE [VESK_CLI]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string bytes = buffer.str();
  if (!in || bytes.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  double size = static_cast<double>(bytes.size());

  auto start = std::chrono::steady_clock::now();
  std::string json;
  vesk::lso::Document doc;
  double decode = 0;
  if (stream) {
    doc = vesk::lso::DecodeJson(bytes, json);
  } else {
    doc = vesk::lso::Decode(bytes);
    decode = Seconds(start);
    vesk::lso::AppendJsonValues(json, doc);
  }
  double total = Seconds(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double peak = static_cast<double>(usage.ru_maxrss) * 1024;
  std::printf("%s: %.1f MiB, %zu problems\n", argv[1], size / (1 << 20), doc.problems.size());
  if (stream)
    std::printf("DecodeJson %.3f s", total);
  else
    std::printf("Decode %.3f s, + AppendJsonValues %.3f s", decode, total);
  // CPU time too: on a busy machine the wall time says little.
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf(" (JSON %.1f MiB); CPU of the whole run %.3f s; peak memory %.1f MiB (%.1f x the file)\n",
              static_cast<double>(json.size()) / (1 << 20), cpu, peak / (1 << 20), peak / size);
  return argc == 3 ? RunCli(argv[2], argv[1], size) : 0;
}
