#pragma once

// The pure pieces of vesk-cli's output: what a path says about its cookie, and the quoting of
// the JSON Lines, CSV and body file outputs.

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vesk::cli {

// The name of the folder that holds the file (the window's "From"); nullopt for a bare name.
std::optional<std::string> HoldingFolder(std::string_view path);

// `"key":"text"` for JSON (null for no text); when the text is not UTF-8, so that JSON can carry
// it only with U+FFFD, also `"key_bytes":{"$bytes":"base64"}` with its exact bytes.
void AppendJsonText(std::string& out, std::string_view key, std::optional<std::string_view> text);
// `,"error":` and the reason, or null when there is none: the last member of a result line.
void AppendJsonError(std::string& out, std::string_view error);

// `name` as one folder name on any file system: "%", "/", "\\", ":", "*", "?", '"', "<", ">", "|",
// control bytes and a trailing dot or blank written as "%XX", so that no two names meet.
std::string SafeFolderName(std::string_view name);

// One line of The Sleuth Kit's body format for the entry at `path`:
// MD5|name|inode|mode_as_string|UID|GID|size|atime|mtime|ctime|crtime, MD5 "0", times in whole
// seconds since 1970, "0" where the system keeps none. In the name "%" and "|" are written "%25"
// and "%7C", which mactime decodes back; a control byte is written "%5Cx0A" (mactime shows "\x0A"),
// so that each line keeps its eleven fields and the timeline holds no control byte.
std::string BodyLine(std::string_view path, const platform::FileDetails& details);

// `path` as it is, unless it holds something a terminal would act on (base::NeedsEscape); then
// in the shell's $'...' form with escapes (\x1B, \u202E, \xFE, \n, \\, \'), as GNU ls shows such
// names: readable, unambiguous, and the same path again when pasted into a POSIX shell.
std::string EscapedPath(std::string_view path);

// One CSV field (RFC 4180): quoted, with inner quotes doubled, when it holds a comma, a quote,
// CR or LF; otherwise as it is.
std::string CsvField(std::string_view text);

}  // namespace vesk::cli
