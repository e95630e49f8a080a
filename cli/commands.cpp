#include "cli/commands.h"

#include <optional>

#include "cli/fields.h"
#include "discovery/cookie_list.h"
#include "discovery/scan.h"
#include "discovery/store.h"
#include "lso/lso.h"

namespace vesk::cli {

const char* const kUsage =
    "usage: vesk-cli list [--deeper] [--root DIR]... [--format text|json|csv]\n"
    "       vesk-cli show [--format text|json] FILE...\n"
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
  FileRecord record{path, HoldingFolder(path), SiteOf(path), std::nullopt, std::nullopt};
  if (const auto status = system.GetFileStatus(path)) {
    record.size = status->length;
    record.modified = status->modified;
  }
  return record;
}

// `"key":"text"`, and when the text is not UTF-8 (so that JSON can carry it only with U+FFFD)
// also `"key_bytes":{"$bytes":"base64"}` with its exact bytes.
void AppendTextMember(std::string& out, std::string_view key, const std::optional<std::string>& text) {
  out.append("\"").append(key).append("\":");
  if (!text) {
    out.append("null");
    return;
  }
  lso::AppendJsonString(out, *text);
  if (!IsUtf8(*text)) out.append(",\"").append(key).append("_bytes\":{\"$bytes\":\"").append(Base64(*text)).append("\"}");
}

void AppendFileMembers(std::string& out, const FileRecord& record) {
  AppendTextMember(out, "path", record.path);
  out += ',';
  AppendTextMember(out, "folder", record.folder);
  out += ',';
  AppendTextMember(out, "site", record.site);
  out.append(",\"size\":").append(record.size ? std::to_string(*record.size) : "null");
  if (record.modified) {
    out.append(",\"modified\":\"").append(UtcIso(*record.modified)).append("\"");
  } else {
    out.append(",\"modified\":null");
  }
}

void AppendCsvRecord(std::string& out, const FileRecord& record) {
  out.append(CsvField(record.path)).append(",");
  out.append(CsvField(record.folder.value_or(""))).append(",");
  out.append(CsvField(record.site.value_or(""))).append(",");
  out.append(record.size ? std::to_string(*record.size) : "").append(",");
  out.append(record.modified ? UtcIso(*record.modified) : "").append("\r\n");
}

std::vector<std::string> Roots(const ListOptions& options, platform::System& system) {
  if (!options.roots.empty()) return options.roots;
  return {options.deeper ? discovery::DeeperRoot(system) : discovery::StandardRoot(system)};
}

}  // namespace

int RunList(const ListOptions& options, platform::System& system, Output& output) {
  int status = kExitClean;
  if (options.format == Format::Csv) output.Out("path,folder,site,size,modified\r\n");
  for (const std::string& root : Roots(options, system)) {
    // A missing store just means no cookies, as in the window; a folder asked for by name that
    // cannot be opened is more likely a typing error, so it is said.
    if (!options.roots.empty() && !system.OpenFolder(discovery::ProperPath(root), discovery::kScanPattern)) {
      output.Err("vesk-cli: " + root + ": cannot open the folder");
      status = kExitProblem;
      continue;
    }
    discovery::EntryList entries(1);
    discovery::ScanFolder(root, discovery::kScanPattern, entries, system);
    std::string line;
    for (const std::string& path : discovery::CookiePaths(entries)) {
      line.clear();
      if (options.format == Format::Text) {
        line.append(path).append("\n");
        output.Out(line);
        continue;
      }
      const FileRecord record = Describe(path, system);
      if (!record.size) {
        // Gone since the scan, or no regular file: still listed, as the window would.
        output.Err("vesk-cli: " + path + ": cannot read its size and time");
        status = kExitProblem;
      }
      if (options.format == Format::Json) {
        line += '{';
        AppendFileMembers(line, record);
        line.append("}\n");
      } else {
        AppendCsvRecord(line, record);
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
  std::optional<lso::Document> doc;    // nullopt when not decoded
  std::vector<lso::Problem> problems;  // why it was not decoded
};

Decoded ReadAndDecode(const std::string& path, platform::System& system, Output& output) {
  Decoded result{Describe(path, system), false, std::nullopt, {}};
  std::string bytes;
  // One byte past the limit tells a file of exactly the limit from a larger one.
  const platform::Result read = system.ReadFileHead(path, kMaxDecodedBytes + 1, bytes);
  if (!read.ok()) {
    const std::string why = output.ErrorText(read.error);
    output.Err("vesk-cli: " + path + ": cannot read: " + why);
    result.problems.push_back({0, "cannot read the file: " + why});
    return result;
  }
  result.readable = true;
  if (bytes.size() > kMaxDecodedBytes) {
    // Decoding only the start would report the rest as cut off, which is not what is wrong.
    result.problems.push_back({0, "the file is larger than 16 MiB and was not decoded"});
    return result;
  }
  if (!result.record.size) result.record.size = static_cast<std::int64_t>(bytes.size());
  result.doc = lso::Decode(bytes);
  return result;
}

void AppendShowJson(std::string& out, const Decoded& file) {
  out += '{';
  AppendFileMembers(out, file.record);
  out += ',';
  if (file.doc) {
    AppendTextMember(out, "name", file.doc->name);
    out.append(",\"amf\":").append(std::to_string(file.doc->amf)).append(",\"values\":");
    lso::AppendJsonValues(out, *file.doc);
    out.append(",\"problems\":");
    lso::AppendJsonProblems(out, *file.doc);
  } else {
    lso::Document empty;
    empty.problems = file.problems;
    out.append("\"name\":null,\"amf\":null,\"values\":{},\"problems\":");
    lso::AppendJsonProblems(out, empty);
  }
  out.append("}\n");
}

void AppendShowText(std::string& out, const Decoded& file) {
  std::vector<std::string> facts;
  if (file.record.site) facts.push_back("site " + *file.record.site);
  if (file.doc) {
    facts.push_back("name " + file.doc->name);
    facts.push_back("AMF" + std::to_string(file.doc->amf));
  }
  if (file.record.size) facts.push_back(std::to_string(*file.record.size) + " bytes");
  if (file.record.modified) facts.push_back("modified " + UtcText(*file.record.modified));
  out.append(file.record.path).append("\n");
  for (std::size_t i = 0; i < facts.size(); ++i) out.append(i == 0 ? "  " : ", ").append(facts[i]);
  if (!facts.empty()) out.append("\n");
  const auto& problems = file.doc ? file.doc->problems : file.problems;
  if (file.doc) lso::AppendText(out, *file.doc, 2);
  for (const lso::Problem& problem : problems) {
    out.append("  problem at byte ").append(std::to_string(problem.offset)).append(": ").append(problem.message).append("\n");
  }
}

}  // namespace

int RunShow(const ShowOptions& options, platform::System& system, Output& output) {
  int status = kExitClean;
  std::string out;
  for (const std::string& path : options.files) {
    const Decoded file = ReadAndDecode(path, system, output);
    const bool clean = file.doc && file.doc->problems.empty();
    if (!clean) status = kExitProblem;
    out.clear();
    if (options.format == Format::Json) {
      AppendShowJson(out, file);
    } else if (file.readable) {  // the reason is already on standard error
      AppendShowText(out, file);
    }
    output.Out(out);
  }
  return status;
}

}  // namespace vesk::cli
