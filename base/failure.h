#pragma once

// The last words of a program that an exception escaped: what it was, in one short line.

#include <string>

namespace vesk::base {

// The exception being handled: "out of memory" for std::bad_alloc, "internal error: <what>" for
// another std::exception, "internal error" for anything else. Call it only inside a catch block.
// Never throws: out of memory, it still answers.
std::string CurrentExceptionText() noexcept;

}  // namespace vesk::base
