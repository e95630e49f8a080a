#include "base/civil_time.h"

#include <cmath>
#include <cstdio>

namespace vesk::base {
namespace {

// Splits `count` units into whole days (rounded down) and the units left in the last day.
std::int64_t FloorDays(std::int64_t count, std::int64_t perDay, std::int64_t& rest) {
  std::int64_t days = count / perDay;
  rest = count % perDay;
  if (rest < 0) {
    rest += perDay;
    --days;
  }
  return days;
}

void AppendTime(std::string& out, std::int64_t days, std::int64_t secondOfDay, int milliseconds, TimeForm form) {
  const CivilDate date = CivilFromDays(days);
  char text[80];
  int length = std::snprintf(text, sizeof text, "%04lld-%02u-%02u%c%02u:%02u:%02u", static_cast<long long>(date.year),
                             date.month, date.day, form == TimeForm::kIso ? 'T' : ' ',
                             static_cast<unsigned>(secondOfDay / 3600), static_cast<unsigned>(secondOfDay / 60 % 60),
                             static_cast<unsigned>(secondOfDay % 60));
  if (milliseconds >= 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%03d", milliseconds);
  }
  out.append(text, static_cast<std::size_t>(length));
  out += form == TimeForm::kIso ? "Z" : " UTC";
}

}  // namespace

// Howard Hinnant's civil_from_days, on 64-bit days.
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  CivilDate date;
  date.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  date.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  date.year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

void AppendUtcSeconds(std::string& out, std::int64_t seconds, TimeForm form) {
  std::int64_t rest = 0;
  const std::int64_t days = FloorDays(seconds, 86400, rest);
  AppendTime(out, days, rest, -1, form);
}

std::string UtcIso(std::int64_t seconds) {
  std::string out;
  AppendUtcSeconds(out, seconds, TimeForm::kIso);
  return out;
}

std::string UtcText(std::int64_t seconds) {
  std::string out;
  AppendUtcSeconds(out, seconds, TimeForm::kText);
  return out;
}

bool AppendUtcMilliseconds(std::string& out, double ms, TimeForm form) {
  // 0000-01-01T00:00:00.000Z to 9999-12-31T23:59:59.999Z
  if (!(ms >= -62167219200000.0 && ms <= 253402300799999.0) || ms != std::floor(ms)) return false;
  std::int64_t rest = 0;
  const std::int64_t days = FloorDays(static_cast<std::int64_t>(ms), 86400000, rest);
  AppendTime(out, days, rest / 1000, static_cast<int>(rest % 1000), form);
  return true;
}

}  // namespace vesk::base
