#pragma once

// An event log for the benchmark that drives the real program under Wine (bench/). Off unless
// the environment variable VESK_TIMING_LOG names a file; then each event appends one line
// "<seconds since 1970, to the microsecond> <event>", so that a harness outside the program can
// tell when a change it caused was painted.

namespace vesk::win32 {

bool TimingLogOn();
// `event` is a short word, optionally followed by numbers.
void LogTiming(const char* format, ...);
// "<event> <private bytes> <working set bytes>" of this process.
void LogMemory(const char* event);

}  // namespace vesk::win32
