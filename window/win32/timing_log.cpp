#include "window/win32/timing_log.h"

#include <windows.h>

#include <psapi.h>

#include <cstdarg>
#include <cstdio>

namespace vesk::win32 {
namespace {

FILE* OpenLog() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"VESK_TIMING_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return _wfopen(path, L"a");
}

FILE* Log() {
  static FILE* const log = OpenLog();
  return log;
}

}  // namespace

bool TimingLogOn() { return Log() != nullptr; }

void LogTiming(const char* format, ...) {
  FILE* const log = Log();
  if (log == nullptr) return;
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  // 100 ns units since 1601; the harness reads Unix time.
  const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const unsigned long long micros = ticks / 10 - 11644473600ULL * 1000000ULL;
  std::fprintf(log, "%llu.%06llu ", micros / 1000000ULL, micros % 1000000ULL);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(log, format, arguments);
  va_end(arguments);
  std::fputc('\n', log);
  std::fflush(log);
}

void LogMemory(const char* event) {
  if (!TimingLogOn()) return;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  LogTiming("%s %zu %zu", event, static_cast<std::size_t>(memory.PrivateUsage),
            static_cast<std::size_t>(memory.WorkingSetSize));
}

}  // namespace vesk::win32
