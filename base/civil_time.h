#pragma once

// Times in UTC on the proleptic Gregorian calendar: the file times the command line prints and the
// dates a cookie holds.

#include <cstdint>
#include <string>

namespace vesk::base {

struct CivilDate {
  std::int64_t year = 1970;
  unsigned month = 1;  // 1 to 12
  unsigned day = 1;    // 1 to 31
};

// The date `days` days after 1970-01-01 (before it when negative); any 64-bit count.
CivilDate CivilFromDays(std::int64_t days);

enum class TimeForm {
  kIso,   // "2010-05-14T18:22:05Z"
  kText,  // "2010-05-14 18:22:05 UTC"
};

// Whole seconds since 1970-01-01 00:00:00 UTC, any year (at least four digits).
void AppendUtcSeconds(std::string& out, std::int64_t seconds, TimeForm form);
std::string UtcIso(std::int64_t seconds);
std::string UtcText(std::int64_t seconds);

// Milliseconds since 1970 with three decimals: "2010-05-14T18:22:05.123Z" or
// "2010-05-14 18:22:05.123 UTC". False, and nothing appended, unless `ms` is a whole number within
// the years 0 to 9999 (a date's own form cannot say more).
bool AppendUtcMilliseconds(std::string& out, double ms, TimeForm form);

}  // namespace vesk::base
