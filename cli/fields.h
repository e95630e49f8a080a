#pragma once

// The pure pieces of vesk-cli's output: what a path says about its cookie, and the quoting and
// time forms of the text, JSON Lines and CSV outputs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vesk::cli {

// The name of the folder that holds the file (the window's "From"); nullopt for a bare name.
std::optional<std::string> HoldingFolder(std::string_view path);

// True when `text` is well-formed UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool IsUtf8(std::string_view text);

// Standard base64 (RFC 4648) with padding.
std::string Base64(std::string_view bytes);

// `"key":"text"` for JSON, and when the text is not UTF-8 (so that JSON can carry it only with
// U+FFFD) also `"key_bytes":{"$bytes":"base64"}` with its exact bytes; `"key":null` for nullopt.
void AppendTextMember(std::string& out, std::string_view key, const std::optional<std::string>& text);

// `name` as one folder name on any file system: "%", "/", "\", ":", "*", "?", '"', "<", ">", "|",
// control bytes and a trailing dot or blank written as "%XX", so that no two names meet.
std::string SafeFolderName(std::string_view name);

// One line of The Sleuth Kit's body format for the entry at `path`:
// MD5|name|inode|mode_as_string|UID|GID|size|atime|mtime|ctime|crtime, MD5 "0", times in whole
// seconds since 1970, "0" where the system keeps none. In the name "%" and "|" are written "%25"
// and "%7C", which mactime decodes back; a control byte is written "%5Cx0A" (mactime shows "\x0A"),
// so that each line keeps its eleven fields and the timeline holds no control byte.
std::string BodyLine(std::string_view path, const platform::FileDetails& details);

// One CSV field (RFC 4180): quoted, with inner quotes doubled, when it holds a comma, a quote,
// CR or LF; otherwise as it is.
std::string CsvField(std::string_view text);

// Seconds since 1970-01-01 UTC as "2010-05-14T18:22:05Z" and as "2010-05-14 18:22:05 UTC"
// (proleptic Gregorian calendar, any year).
std::string UtcIso(std::int64_t seconds);
std::string UtcText(std::int64_t seconds);

}  // namespace vesk::cli
