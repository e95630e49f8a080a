#include "cli/commands.h"

#include "base/escape.h"

#include <optional>

#include "base/civil_time.h"
#include "cli/fields.h"
#include "discovery/cookie_list.h"
#include "discovery/scan.h"
#include "discovery/site.h"
#include "discovery/store.h"
#include "discovery/stores.h"
#include "lso/lso.h"

namespace vesk::cli {

const char* const kUsage =
    "usage: vesk-cli list [--deeper | --root DIR... | --all-stores] [--format text|json|csv|bodyfile | -0]\n"
    "       vesk-cli show [--format text|json] FILE...\n"
    "       vesk-cli stores [--format text|json|csv]\n"
    "       vesk-cli delete [--deeper | --root DIR... | --all-stores] (--site PATTERN... | --all)\n"
    "                       [--keep PATTERN]... [--keep-file FILE]... [--include-settings]\n"
    "                       [--dry-run] [--yes] [--format text|json]\n"
    "       vesk-cli copy [--deeper | --root DIR... | --all-stores] (--site PATTERN... | --all)\n"
    "                     (--to DIR | --to-ruffle [--ruffle-dir DIR]) [--keep PATTERN]... [--keep-file FILE]...\n"
    "                     [--include-settings] [--replace] [--dry-run] [--format text|json]\n"
    "       vesk-cli --help | --version\n";

namespace {

// What list and show both say about a file.
struct FileRecord {
  std::string path;
  std::optional<std::string> folder;
  std::optional<std::string> site;
  std::optional<std::int64_t> size;
  std::optional<std::int64_t> modified;  // seconds since 1970 UTC
};

FileRecord Describe(const std::string& path, platform::System& system) {
  FileRecord record{path, HoldingFolder(path), discovery::ClassifyPath(path).site, std::nullopt, std::nullopt};
  if (const auto status = system.GetFileStatus(path)) {
    record.size = status->length;
    record.modified = status->modified;
  }
  return record;
}

void AppendFileMembers(std::string& out, const FileRecord& record) {
  AppendJsonText(out, "path", record.path);
  out += ',';
  AppendJsonText(out, "folder", record.folder);
  out += ',';
  AppendJsonText(out, "site", record.site);
  out.append(",\"size\":").append(record.size ? std::to_string(*record.size) : "null");
  if (record.modified) {
    out.append(",\"modified\":\"").append(base::UtcIso(*record.modified)).append("\"");
  } else {
    out.append(",\"modified\":null");
  }
}

void AppendCsvRecord(std::string& out, const FileRecord& record) {
  out.append(CsvField(record.path)).append(",");
  out.append(CsvField(record.folder.value_or(""))).append(",");
  out.append(CsvField(record.site.value_or(""))).append(",");
  out.append(record.size ? std::to_string(*record.size) : "").append(",");
  out.append(record.modified ? base::UtcIso(*record.modified) : "").append("\r\n");
}

}  // namespace

std::vector<Walk> Walks(const ListOptions& options, platform::System& system) {
  std::vector<Walk> walks;
  if (options.allStores) {
    for (const auto& store : discovery::FindStores(system)) {
      walks.push_back({store.folder, store.name, store.folder, store.name});
    }
  } else if (!options.roots.empty()) {
    for (const auto& root : options.roots) {
      const std::string base = platform::ProperPath(root);
      std::string name = base.substr(0, base.size() - 1);
#ifdef _WIN32
      name.erase(0, name.find_last_of("\\/") + 1);
#else
      name.erase(0, name.find_last_of(platform::kSeparator) + 1);
#endif
      // A root such as "/" or "C:\" has no name of its own.
      if (name.empty() || name.back() == ':') name = "root";
      walks.push_back({root, "", base, name});
    }
  } else if (options.deeper) {
    const std::string root = discovery::DeeperRoot(system);
    walks.push_back({root, "", root, "appdata"});
  } else {
    walks.push_back({discovery::StandardRoot(system), "", discovery::PlugInFolder(system), "plug-in"});
  }
  return walks;
}

std::string ShownPath(Output& output, Stream stream, std::string_view path) {
  return output.IsTerminal(stream) ? EscapedPath(path) : std::string(path);
}

WalkCheck CheckWalk(const Walk& walk, const ListOptions& options, platform::System& system, Output& output) {
  const platform::Result check = system.CheckFolder(walk.root);
  if (check.ok()) return WalkCheck::kWalk;
  // A folder asked for by name that cannot be opened is more likely a typing error, so it is
  // said; a store that is not there just holds no cookies.
  const bool named = walk.store.empty() && !options.roots.empty();
  if (!named && platform::IsNotFound(check.error)) return WalkCheck::kNothing;
  output.Err("vesk-cli: " + ShownPath(output, Stream::kErr, walk.root) + ": cannot open the folder: " +
             output.ErrorText(check.error));
  return WalkCheck::kFailed;
}

int RunList(const ListOptions& options, platform::System& system, Output& output) {
  int status = kExitClean;
  if (options.format == Format::Csv) {
    output.Out(options.allStores ? "path,folder,site,size,modified,store,kind\r\n" : "path,folder,site,size,modified\r\n");
  }
  const bool terminal = output.IsTerminal(Stream::kOut);
  for (const Walk& walk : Walks(options, system)) {
    const WalkCheck check = CheckWalk(walk, options, system, output);
    if (check == WalkCheck::kFailed) status = kExitProblem;
    if (check != WalkCheck::kWalk) continue;
    const std::string& store = walk.store;
    std::string line;
    for (const std::string& path : discovery::ScanCookiePaths(walk.root, system)) {
      line.clear();
      if (options.format == Format::Text) {
        if (options.print0) {
          line.append(path).push_back('\0');
        } else {
          line.append(ShownPath(output, Stream::kOut, path)).append("\n");
        }
        output.Out(line);
        continue;
      }
      if (options.format == Format::Bodyfile) {
        const std::optional<platform::FileDetails> details = system.GetFileDetails(path);
        if (!details) {
          output.Err("vesk-cli: " + ShownPath(output, Stream::kErr, path) + ": cannot read its details");
          status = kExitProblem;
          continue;
        }
        // The body line escapes only what breaks its fields; on a terminal the name is shown as
        // list shows it, so that nothing in it drives the terminal.
        output.Out(BodyLine(ShownPath(output, Stream::kOut, path), *details));
        continue;
      }
      FileRecord record = Describe(path, system);
      const discovery::FileClass kind = discovery::ClassifyPath(path);
      if (!record.size) {
        // Gone since the scan, or no regular file: still listed, as the window would.
        output.Err("vesk-cli: " + ShownPath(output, Stream::kErr, path) + ": cannot read its size and time");
        status = kExitProblem;
      }
      if (options.format == Format::Json) {
        line += '{';
        AppendFileMembers(line, record);
        if (options.allStores) {
          line.append(",");
          AppendJsonText(line, "store", store);
          line.append(",\"kind\":\"").append(discovery::FileKindName(kind.kind)).append("\"");
        }
        line.append("}\n");
      } else {
        if (terminal) {  // CSV has no escapes of its own
          record.path = EscapedPath(record.path);
          if (record.folder) record.folder = EscapedPath(*record.folder);
          if (record.site) record.site = EscapedPath(*record.site);
        }
        AppendCsvRecord(line, record);
        if (options.allStores) {
          line.resize(line.size() - 2);  // before the record's CRLF
          line.append(",").append(CsvField(store)).append(",").append(discovery::FileKindName(kind.kind)).append("\r\n");
        }
      }
      output.Out(line);
    }
  }
  return status;
}

namespace {

// The writers' output, straight to standard output.
class OutputSink final : public lso::Sink {
 public:
  explicit OutputSink(Output& output) : output_(output) {}
  void Write(std::string_view piece) override { output_.Out(piece); }

 private:
  Output& output_;
};

// Text from a file (a cookie's name, a problem that quotes it) in the text form: controls and
// the characters that reorder a line become escapes; everything else stays as it is.
std::string Shown(std::string_view text) {
  std::string out;
  base::AppendEscaped(out, text);
  return out;
}

struct Decoded {
  FileRecord record;
  bool readable = false;
  std::optional<lso::Tape> tape;       // nullopt when the file was not decoded
  std::vector<lso::Problem> problems;  // the tape's, then the writers', or why it was not decoded
};

// The file read whole (it is at most kMaxDecodedBytes) and indexed; the values are written from
// the index as they are needed, never held in their output form.
static_assert(lso::kFillReach <= platform::PageWarmer::kReach, "the warmer could touch what the reader writes");
Decoded ReadAndDecode(const std::string& path, platform::System& system, Output& output) {
  Decoded result{Describe(path, system), false, std::nullopt, {}};
  std::string bytes;
  // One byte past the limit tells a file of exactly the limit from a larger one.
  const platform::Result read = system.ReadFileHead(path, kMaxDecodedBytes + 1, bytes);
  if (!read.ok()) {
    const std::string why = output.ErrorText(read.error);
    output.Err("vesk-cli: " + ShownPath(output, Stream::kErr, path) + ": cannot read: " + why);
    result.problems.push_back({0, "cannot read the file: " + why});
    return result;
  }
  result.readable = true;
  if (bytes.size() > kMaxDecodedBytes) {
    // Decoding only the start would report the rest as cut off, which is not what is wrong.
    result.problems.push_back(
        {0, "the file is larger than " + std::to_string(kMaxDecodedBytes >> 20) + " MiB and was not decoded"});
    return result;
  }
  if (!result.record.size) result.record.size = static_cast<std::int64_t>(bytes.size());
  platform::PageWarmer warmer;
  result.tape = lso::Read(std::move(bytes), platform::LargeBlocks(), {&platform::PageWarmer::Notice, &warmer});
  result.problems = result.tape->Problems();
  return result;
}

void WriteShowJson(Output& output, Decoded& file) {
  std::string head = "{";
  AppendFileMembers(head, file.record);
  head += ',';
  OutputSink sink(output);
  if (!file.tape) {
    head.append("\"name\":null,\"amf\":null,\"values\":{},\"problems\":");
    output.Out(head);
    lso::WriteJsonProblems(file.problems, sink);
    output.Out("}\n");
    return;
  }
  AppendJsonText(head, "name", std::string(file.tape->Name()));
  head.append(",\"amf\":").append(std::to_string(file.tape->Amf())).append(",\"values\":");
  output.Out(head);
  lso::WriteJsonValues(*file.tape, sink, file.problems);
  output.Out(",\"problems\":");
  lso::WriteJsonProblems(file.problems, sink);
  output.Out("}\n");
}

void WriteShowText(Output& output, Decoded& file) {
  std::vector<std::string> facts;
  if (file.record.site) facts.push_back("site " + Shown(*file.record.site));
  if (file.tape) {
    facts.push_back("name " + Shown(file.tape->Name()));
    facts.push_back("AMF" + std::to_string(file.tape->Amf()));
  }
  if (file.record.size) facts.push_back(std::to_string(*file.record.size) + " bytes");
  if (file.record.modified) facts.push_back("modified " + base::UtcText(*file.record.modified));
  std::string head = ShownPath(output, Stream::kOut, file.record.path) + "\n";
  for (std::size_t i = 0; i < facts.size(); ++i) head.append(i == 0 ? "  " : ", ").append(facts[i]);
  if (!facts.empty()) head.append("\n");
  output.Out(head);
  if (file.tape) {
    OutputSink sink(output);
    lso::WriteText(*file.tape, sink, 2, file.problems);
  }
  std::string tail;
  for (const lso::Problem& problem : file.problems) {
    tail.append("  problem at byte ").append(std::to_string(problem.offset)).append(": ").append(Shown(problem.message)).append("\n");
  }
  output.Out(tail);
}

}  // namespace

int RunShow(const ShowOptions& options, platform::System& system, Output& output) {
  int status = kExitClean;
  for (const std::string& path : options.files) {
    Decoded file = ReadAndDecode(path, system, output);
    if (options.format == Format::Json) {
      WriteShowJson(output, file);
    } else if (file.readable) {  // the reason is already on standard error
      WriteShowText(output, file);
    }
    if (!file.tape || !file.problems.empty()) status = kExitProblem;
  }
  return status;
}

}  // namespace vesk::cli
