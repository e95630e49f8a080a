#pragma once

// Pieces the decoder and the two writers share, so that a JSON Pointer made while decoding points
// at the place the JSON writer really puts the value.

#include <string>
#include <string_view>

#include "lso/lso.h"

namespace vesk::lso::detail {

// Deepest nesting of containers the decoder builds and the writers follow.
inline constexpr int kMaxDepth = 1000;

// Vectors of a plain element type that may grow are written as a bare JSON array; the others need
// a wrapper to keep their type name and fixed flag.
inline bool VectorHasWrapper(std::string_view typeName, bool fixed) {
  return fixed || !(typeName == "int" || typeName == "uint" || typeName == "double" || typeName == "*" ||
                    typeName.empty());
}

// Appends `bytes` as UTF-8, each byte that does not belong to a valid sequence as U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes);

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s);

// The shortest decimal that reads back as `x` (finite numbers only).
void AppendShortest(std::string& out, double x);

// Appends a date as "2010-05-14T18:22:05.123Z" (iso) or "2010-05-14 18:22:05.123 UTC"; false,
// and nothing appended, when the milliseconds are not a whole number within the years 0 to 9999.
bool AppendDate(std::string& out, double ms, bool iso);

}  // namespace vesk::lso::detail
