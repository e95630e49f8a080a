#include "cli/commands.h"

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
        output.Out(BodyLine(path, *details));
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

struct Decoded {
  FileRecord record;
  bool readable = false;
  // The header and problems, without values: those are already in `valuesOut`. nullopt when the
  // file was not decoded.
  std::optional<lso::Document> doc;
  std::string valuesOut;               // the pairs as JSON or as text
  std::vector<lso::Problem> problems;  // why it was not decoded
};

// The pairs go straight into their output form as they are decoded, so that the whole value
// tree of a big file is never held at once.
Decoded ReadAndDecode(const std::string& path, Format format, platform::System& system, Output& output) {
  Decoded result{Describe(path, system), false, std::nullopt, {}, {}};
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
  if (format == Format::Json) {
    result.doc = lso::DecodeJson(bytes, result.valuesOut);
  } else {
    result.doc = lso::DecodeEach(bytes, [&](const lso::Member& pair) { lso::AppendTextPair(result.valuesOut, pair, 2); });
  }
  return result;
}

// The record is written in three pieces so that a big file's values are never copied.
void WriteShowJson(Output& output, const Decoded& file) {
  std::string head = "{";
  AppendFileMembers(head, file.record);
  head += ',';
  if (!file.doc) {
    lso::Document empty;
    empty.problems = file.problems;
    head.append("\"name\":null,\"amf\":null,\"values\":{},\"problems\":");
    lso::AppendJsonProblems(head, empty);
    output.Out(head.append("}\n"));
    return;
  }
  AppendJsonText(head, "name", file.doc->name);
  head.append(",\"amf\":").append(std::to_string(file.doc->amf)).append(",\"values\":");
  output.Out(head);
  output.Out(file.valuesOut);
  std::string tail = ",\"problems\":";
  lso::AppendJsonProblems(tail, *file.doc);
  output.Out(tail.append("}\n"));
}

void WriteShowText(Output& output, const Decoded& file) {
  std::vector<std::string> facts;
  if (file.record.site) facts.push_back("site " + *file.record.site);
  if (file.doc) {
    facts.push_back("name " + file.doc->name);
    facts.push_back("AMF" + std::to_string(file.doc->amf));
  }
  if (file.record.size) facts.push_back(std::to_string(*file.record.size) + " bytes");
  if (file.record.modified) facts.push_back("modified " + base::UtcText(*file.record.modified));
  std::string head = file.record.path + "\n";
  for (std::size_t i = 0; i < facts.size(); ++i) head.append(i == 0 ? "  " : ", ").append(facts[i]);
  if (!facts.empty()) head.append("\n");
  output.Out(head);
  output.Out(file.valuesOut);
  std::string tail;
  for (const lso::Problem& problem : file.doc ? file.doc->problems : file.problems) {
    tail.append("  problem at byte ").append(std::to_string(problem.offset)).append(": ").append(problem.message).append("\n");
  }
  output.Out(tail);
}

}  // namespace

int RunShow(const ShowOptions& options, platform::System& system, Output& output) {
  int status = kExitClean;
  for (const std::string& path : options.files) {
    const Decoded file = ReadAndDecode(path, options.format, system, output);
    const bool clean = file.doc && file.doc->problems.empty();
    if (!clean) status = kExitProblem;
    if (options.format == Format::Json) {
      WriteShowJson(output, file);
    } else if (file.readable) {  // the reason is already on standard error
      WriteShowText(output, file);
    }
  }
  return status;
}

}  // namespace vesk::cli
