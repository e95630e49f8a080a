#pragma once

// What vesk-cli does, apart from reading its arguments and writing to the real streams: the
// commands list and show over the core, producing their output lines and exit status.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/selection.h"
#include "lso/lso.h"
#include "platform/platform.h"

namespace vesk::cli {

// Exit statuses.
inline constexpr int kExitClean = 0;    // every file read (and decoded) without a problem
inline constexpr int kExitProblem = 1;  // a file could not be read, or had a problem
inline constexpr int kExitUsage = 2;    // the arguments were wrong

// show decodes at most this much of a file; a larger one is reported, not decoded. The room
// above the window's 16 MiB lets a file of 16 MiB and a little more still be decoded in full.
inline constexpr std::size_t kMaxDecodedBytes = lso::kMaxFileBytes;

enum class Format { Text, Json, Csv, Bodyfile };

enum class Stream { kOut, kErr };

// Where the commands write. Out gets the output in pieces that never split a character (UTF-8,
// or the exact bytes of a path); each Err call is one whole message line.
class Output {
 public:
  virtual ~Output() = default;
  virtual void Out(std::string_view lines) = 0;
  virtual void Err(std::string_view line) = 0;
  // A readable text for an error code of the platform layer.
  virtual std::string ErrorText(int error) = 0;
  // Whether the stream is a terminal, where a path is shown escaped (ShownPath) rather than as its
  // exact bytes.
  virtual bool IsTerminal(Stream stream) = 0;
};

// `path` as it goes to `stream`: on a terminal EscapedPath, elsewhere its exact bytes.
std::string ShownPath(Output& output, Stream stream, std::string_view path);

struct ListOptions {
  bool deeper = false;
  std::vector<std::string> roots;  // when not empty, scanned instead of the store, in this order
  Format format = Format::Text;
  bool allStores = false;  // every store FindStores finds, in its order; rows gain store and kind
  bool print0 = false;     // text: each exact path ended by a NUL byte instead of a line end
};

struct ShowOptions {
  Format format = Format::Text;  // Text or Json
  std::vector<std::string> files;
};

// One folder a command scans: a store's folder with its row name, or a root ("" for store).
struct Walk {
  std::string root;
  std::string store;
  // What a backup keeps each file's place below, and the backup's folder for it: the store's
  // folder and name; for the standard root the plug-in's store; for the deeper root the
  // application-data folder as "appdata"; for a root of its own the root as its own last name.
  std::string backupBase;
  std::string backupName;
};
std::vector<Walk> Walks(const ListOptions& options, platform::System& system);

// Whether the walk's folder can be listed. A root named by --root that cannot, and a store that is
// there but cannot be read, are said on standard error with the reason (kFailed); a store that is
// not there holds no cookies, as in the window (kNothing).
enum class WalkCheck { kWalk, kNothing, kFailed };
WalkCheck CheckWalk(const Walk& walk, const ListOptions& options, platform::System& system, Output& output);

// The cookie files the window would list (or those below `roots`), one record each.
int RunList(const ListOptions& options, platform::System& system, Output& output);

// Each file decoded, one record each; a file that cannot be read is reported and skipped.
int RunShow(const ShowOptions& options, platform::System& system, Output& output);

struct StoresOptions {
  Format format = Format::Text;
};

// Which files delete and copy choose, the same way for both.
struct SelectOptions {
  ListOptions list;  // which roots; its format is Text or Json
  cookies::SelectionRules rules;
  std::vector<std::string> keepFiles;  // more keep patterns, one a line
  bool dryRun = false;
};

struct DeleteOptions : SelectOptions {
  bool yes = false;  // delete without asking
};

struct CopyOptions : SelectOptions {
  std::string to;         // a backup folder: each file below DIR/<store>/ at its place in the store
  bool toRuffle = false;  // into Ruffle's layout below `ruffleDir`
  std::string ruffleDir;  // the folder that holds Ruffle's "SharedObjects"; empty: this system's
  bool replace = false;   // an existing target is kept as <name>.bak and replaced
};

// One file of a command's listing, with the walk it was found in.
struct Listed {
  cookies::ListedFile file;
  std::size_t walk = 0;  // index into the walks
};

// The listing of the walks and the files chosen from it by the rules and keep-files, in listing
// order. nullopt when the run must stop: the message is written and `status` says how.
struct Choice {
  std::vector<Walk> walks;
  std::vector<Listed> listing;
  std::vector<std::size_t> chosen;
};
std::optional<Choice> ChooseFiles(const SelectOptions& options, platform::System& system, Output& output,
                                  int& status);

// The person at the terminal, for delete's question.
class Question {
 public:
  virtual ~Question() = default;
  // True when standard input is a terminal someone can answer at.
  virtual bool Interactive() = 0;
  // Shows `prompt` (after everything written so far) and returns the line typed, without its end.
  virtual std::string Ask(const std::string& prompt) = 0;
};

// Every store found, with its number of cookie and settings files.
int RunStores(const StoresOptions& options, platform::System& system, Output& output);

// The chosen files of the listing deleted with the guarded rule, one result line each; 0 when all
// of them are gone afterwards, 1 when any survived, 2 when the selection was refused.
int RunDelete(const DeleteOptions& options, platform::System& system, Output& output, Question& question);

// The chosen files copied into a backup folder or Ruffle's layout, one result line each; 0 when
// every one was copied, 1 when any was not.
int RunCopy(const CopyOptions& options, platform::System& system, Output& output);

// The synopsis printed with a usage error.
extern const char* const kUsage;

}  // namespace vesk::cli
