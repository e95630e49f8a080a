#pragma once

// The pure pieces of vesk-cli's output: what a path says about its cookie, and the quoting of
// the JSON Lines and CSV outputs.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::cli {

// The name of the folder that holds the file (the window's "From"); nullopt for a bare name.
std::optional<std::string> HoldingFolder(std::string_view path);

// The folder right below "#SharedObjects/<random>/" (the name matched in any case) when the
// file lies inside it; nullopt for a file outside such a store.
std::optional<std::string> SiteOf(std::string_view path);

// `"key":"text"` for JSON (null for no text); when the text is not UTF-8, so that JSON can carry
// it only with U+FFFD, also `"key_bytes":{"$bytes":"base64"}` with its exact bytes.
void AppendJsonText(std::string& out, std::string_view key, std::optional<std::string_view> text);

// `path` as it is, unless it holds something a terminal would act on (base::NeedsEscape); then
// in the shell's $'...' form with escapes (\x1B, \u202E, \xFE, \n, \\, \'), as GNU ls shows such
// names: readable, unambiguous, and the same path again when pasted into a POSIX shell.
std::string EscapedPath(std::string_view path);

// One CSV field (RFC 4180): quoted, with inner quotes doubled, when it holds a comma, a quote,
// CR or LF; otherwise as it is.
std::string CsvField(std::string_view text);

}  // namespace vesk::cli
