#pragma once

// The pure pieces of vesk-cli's output: what a path says about its cookie, and the quoting and
// time forms of the text, JSON Lines and CSV outputs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::cli {

// The name of the folder that holds the file (the window's "From"); nullopt for a bare name.
std::optional<std::string> HoldingFolder(std::string_view path);

// The folder right below "#SharedObjects/<random>/" (the name matched in any case) when the
// file lies inside it; nullopt for a file outside such a store.
std::optional<std::string> SiteOf(std::string_view path);

// True when `text` is well-formed UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool IsUtf8(std::string_view text);

// Standard base64 (RFC 4648) with padding.
std::string Base64(std::string_view bytes);

// One CSV field (RFC 4180): quoted, with inner quotes doubled, when it holds a comma, a quote,
// CR or LF; otherwise as it is.
std::string CsvField(std::string_view text);

// Seconds since 1970-01-01 UTC as "2010-05-14T18:22:05Z" and as "2010-05-14 18:22:05 UTC"
// (proleptic Gregorian calendar, any year).
std::string UtcIso(std::int64_t seconds);
std::string UtcText(std::int64_t seconds);

}  // namespace vesk::cli
