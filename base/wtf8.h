#pragma once

// WTF-8: UTF-8 extended to the unpaired surrogates that a UTF-16 string may hold, as Rust's
// OsString keeps Windows names. NTFS allows any sequence of 16-bit units in a name; converted
// this way, every one of them survives from the scan to the delete call. Only what is shown
// replaces an unpaired surrogate, with U+FFFD.

#include <string>
#include <string_view>

namespace vesk::base {

// A surrogate pair becomes one four-byte sequence; an unpaired surrogate the three-byte
// sequence of its own value (ED A0..BF 80..BF), which UTF-8 does not allow.
std::string Wtf8FromUtf16(std::u16string_view text);

enum class Surrogates {
  kKeep,     // exactly back: every sequence of a surrogate gives that unit
  kReplace,  // for display: each unpaired surrogate becomes U+FFFD
};

// WTF-8 back to UTF-16. A byte that belongs to no sequence (which only text from outside the
// program can hold) becomes U+FFFD.
std::u16string Utf16FromWtf8(std::string_view text, Surrogates surrogates = Surrogates::kKeep);

}  // namespace vesk::base
