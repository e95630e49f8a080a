// vesk-cli's pure helpers, its commands over a scratch store, and the file status they use.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/fields.h"
#include "cli/run.h"
#include "tests/core/cli_support.h"
#include "tests/core/test_support.h"
#include "tests/sol_builder.h"

namespace vesk::test {
namespace {

using namespace std::string_literals;
using std::nullopt;

TEST(CliFields, HoldingFolderIsThePartBeforeTheFileName) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"/h/store/K3/site/game.swf/a.sol", "game.swf"},
      {"/h/ x /a.sol", " x "},
      {"/a.sol", ""},     // the window shows an empty "From" there too
      {"a//b.sol", ""},
      {"a.sol", nullopt},
      {"", nullopt},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(cli::HoldingFolder(path), folder) << path;
}

TEST(CliFields, CsvQuotesOnlyWhatNeedsIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"plain path.sol", "plain path.sol"},
      {" blanks ", " blanks "},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"bytes\xff;", "bytes\xff;"},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(cli::CsvField(text), field) << text;
}

class CliCommands : public ::testing::Test {
 protected:
  TempDir dir;
  PlatformWrapper system;
  RecordingOutput output;
};

TEST_F(CliCommands, RootsAreScannedInTheGivenOrderAndReplaceTheStore) {
  WriteFile(dir / "a/one.sol");
  WriteFile(dir / "b/two.SOL");
  WriteFile(dir / "b/not-a-cookie.txt");
  WriteFile(dir / "home/.macromedia/Flash_Player/#SharedObjects/R/s/store.sol");
  system.env["HOME"] = dir / "home";
  cli::ListOptions options;
  options.roots = {dir / "b", dir / "a/"};
  EXPECT_EQ(cli::RunList(options, system, output), cli::kExitClean);
  EXPECT_EQ(output.out, dir / "b/two.SOL\n" + dir / "a/one.sol\n");
  EXPECT_TRUE(output.err.empty());

  output = RecordingOutput();
  options.roots = {dir / "missing", dir / "a/one.sol", dir / "a"};
  EXPECT_EQ(cli::RunList(options, system, output), cli::kExitProblem);
  EXPECT_EQ(output.out, dir / "a/one.sol\n");
  EXPECT_EQ(output.err, (std::vector<std::string>{
                            "vesk-cli: " + dir / "missing" + ": cannot open the folder: error " + std::to_string(ENOENT),
                            "vesk-cli: " + dir / "a/one.sol" + ": cannot open the folder: error " +
                                std::to_string(ENOTDIR)}));
}

TEST_F(CliCommands, MissingStoreIsAnEmptyListNotAnError) {
  system.env["HOME"] = dir / "home";
  for (const auto format : {cli::Format::Text, cli::Format::Json, cli::Format::Csv}) {
    output = RecordingOutput();
    EXPECT_EQ(cli::RunList({false, {}, format}, system, output), cli::kExitClean);
    EXPECT_EQ(output.out, format == cli::Format::Csv ? "path,folder,site,size,modified\r\n" : "");
    EXPECT_TRUE(output.err.empty());
  }
}

TEST_F(CliCommands, UnreadableFileIsReportedAndTheOthersStillShown) {
  WriteFile(dir / "locked.sol", "abc");
  WriteFile(dir / "plain.sol", "abc");
  system.refusedReads.insert(dir / "locked.sol");
  for (const auto format : {cli::Format::Text, cli::Format::Json}) {
    output = RecordingOutput();
    cli::ShowOptions options{format, {dir / "locked.sol", dir / "plain.sol", dir / "missing.sol"}};
    EXPECT_EQ(cli::RunShow(options, system, output), cli::kExitProblem);
    ASSERT_EQ(output.err.size(), 2u);
    EXPECT_EQ(output.err[0], "vesk-cli: " + dir / "locked.sol" + ": cannot read: error " + std::to_string(EACCES));
    EXPECT_NE(output.out.find(dir / "plain.sol"), std::string::npos);
    const bool listed = output.out.find(dir / "locked.sol") != std::string::npos;
    EXPECT_EQ(listed, format == cli::Format::Json) << "JSON reports it as a problem, text only on stderr";
  }
  EXPECT_NE(output.out.find("\"size\":3,\"modified\":\""), std::string::npos) << output.out;
  EXPECT_NE(output.out.find("\"name\":null,\"amf\":null,\"values\":{},\"problems\":[{\"offset\":0,"), std::string::npos)
      << output.out;
}

TEST_F(CliCommands, FileLargerThanTheLimitIsAProblemNotATruncation) {
  WriteFile(dir / "limit.sol", std::string(cli::kMaxDecodedBytes, 'x'));
  WriteFile(dir / "over.sol", std::string(cli::kMaxDecodedBytes + 1, 'x'));
  const std::string tooLarge = "the file is larger than 32 MiB and was not decoded";
  cli::ShowOptions options{cli::Format::Text, {dir / "over.sol"}};
  EXPECT_EQ(cli::RunShow(options, system, output), cli::kExitProblem);
  const std::string head = dir / "over.sol\n  33554433 bytes, modified ";
  const std::string tail = " UTC\n  problem at byte 0: " + tooLarge + "\n";
  EXPECT_EQ(output.out.substr(0, head.size()), head);
  ASSERT_GE(output.out.size(), head.size() + tail.size());
  EXPECT_EQ(output.out.substr(output.out.size() - tail.size()), tail);
  output.out.clear();
  options.files = {dir / "limit.sol"};
  cli::RunShow(options, system, output);
  EXPECT_EQ(output.out.find(tooLarge), std::string::npos);
  EXPECT_NE(output.out.find("33554432 bytes"), std::string::npos);
}

// The one site rule: every command gives the same site for the same path, null where there is none.
TEST_F(CliCommands, OneSiteForOnePathInEveryCommand) {
  const std::vector<std::pair<std::string, nlohmann::json>> cases = {
      {"fp/#SharedObjects/K3XQ/games.example/tetris.swf/hi.sol", "games.example"},
      {"fp/#SharedObjects/K3XQ/nosite.sol", nullptr},
      {"fp/macromedia.com/support/flashplayer/sys/#games.example/settings.sol", "games.example"},
      {"fp/macromedia.com/support/flashplayer/sys/settings.sol", nullptr},
      {"ruffle/SharedObjects/play.example/a.swf/r.sol", "play.example"},
      {"com.example.Game/Local Store/#SharedObjects/Game.swf/s.sol", "com.example.Game"},
      {"elsewhere/game.swf/x.sol", nullptr},
  };
  for (const auto& [relative, site] : cases) WriteFile(dir / relative, "x");
  std::map<std::string, std::map<std::string, nlohmann::json>> sites;  // command -> path -> site
  const auto collect = [&](const std::string& command, const char* member) {
    std::istringstream lines(output.out);
    for (std::string line; std::getline(lines, line);) {
      const auto record = nlohmann::json::parse(line);
      sites[command][record[member].get<std::string>()] = record["site"];
    }
    output = RecordingOutput();
  };
  cli::ListOptions list{false, {dir.Path()}, cli::Format::Json};
  cli::RunList(list, system, output);
  collect("list", "path");
  cli::ShowOptions show{cli::Format::Json, {}};
  for (const auto& [relative, site] : cases) show.files.push_back(dir / relative);
  cli::RunShow(show, system, output);
  collect("show", "path");
  cli::DeleteOptions remove;
  remove.list = list;
  remove.rules.all = remove.rules.includeSettings = remove.dryRun = true;
  struct NoOne : cli::Question {
    bool Interactive() override { return false; }
    std::string Ask(const std::string&) override { return ""; }
  } question;
  cli::RunDelete(remove, system, output, question);
  collect("delete", "path");
  cli::CopyOptions copy;
  static_cast<cli::SelectOptions&>(copy) = remove;
  copy.to = dir / "backup";
  cli::RunCopy(copy, system, output);
  collect("copy", "source");
  for (const auto& [command, found] : sites) {
    EXPECT_EQ(found.size(), cases.size()) << command;
    for (const auto& [relative, site] : cases) EXPECT_EQ(found.at(dir / relative), site) << command << " " << relative;
  }
  EXPECT_EQ(sites.size(), 4u);
}

// mactime's body format: eleven fields, the name escaped where it would break a line or a field.
TEST(CliFields, BodyLineForMactime) {
  using Type = platform::FileDetails::Type;
  platform::FileDetails file{Type::kFile, 1234, 0644, 1000, 100, 77, 1700000001, 1700000002, 1700000003, 1600000000};
  platform::FileDetails odd{Type::kLink, 9, 07755, 0, 0, 5, std::nullopt, -5, 0, std::nullopt};
  const std::vector<std::tuple<std::string, platform::FileDetails, std::string>> cases = {
      {"/h/a.sol", file, "0|/h/a.sol|1234|r/rrw-r--r--|1000|100|77|1700000001|1700000002|1700000003|1600000000\n"},
      {"/h/p|i%pe\nx\x7f.sol", file, "0|/h/p%7Ci%25pe%5Cx0Ax%5Cx7F.sol|1234|r/rrw-r--r--|1000|100|77|1700000001|1700000002|1700000003|1600000000\n"},
      {"/h/\xff.sol", odd, "0|/h/\xff.sol|9|l/lrwsr-sr-t|0|0|5|0|0|0|0\n"},
  };
  for (const auto& [path, details, line] : cases) EXPECT_EQ(cli::BodyLine(path, details), line) << path;
}

// Whole command lines, as typed: the status, the first line on standard error (then the usage
// for a usage error), standard output, and what stays on disk.
TEST_F(CliCommands, CommandLinesAndWhatTheyLeave) {
  const std::string r = dir / "r";
  const std::string cookie = r + "/K3/site.example/a.sol";
  const std::string usage = "usage: vesk-cli list";
  struct Line {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string err;  // the first line on standard error; "" for none
    bool usage;       // the usage follows it
    std::string out;
    bool cookieStays;
  };
  const std::string enoent = std::to_string(ENOENT);
  const std::vector<Line> lines = {
      {"empty root", {"list", "--root", ""}, 2, "vesk-cli: --root: DIR is empty", true, "", true},
      {"empty root, delete", {"delete", "--root", "", "--all", "--yes"}, 2, "vesk-cli: --root: DIR is empty", true, "",
       true},
      {"empty root among others", {"delete", "--root", r, "--root=", "--all", "--yes"}, 2,
       "vesk-cli: --root: DIR is empty", true, "", true},
      {"deeper and root", {"list", "--deeper", "--root", r}, 2, "vesk-cli: --deeper excludes --root", true, "", true},
      {"deeper and root, delete", {"delete", "--root", r, "--deeper", "--all", "--yes"}, 2,
       "vesk-cli: --deeper excludes --root", true, "", true},
      {"print0 with JSON", {"list", "-0", "--format", "json", "--root", r}, 2,
       "vesk-cli: --print0 writes paths only: it takes no --format json", true, "", true},
      {"print0", {"list", "--print0", "--root", r}, 0, "", false, cookie + '\0', true},
      {"print0, text named", {"list", "--format", "text", "-0", "--root", r}, 0, "", false, cookie + '\0', true},
      {"missing root", {"list", "--root", r + "/missing"}, 1,
       "vesk-cli: " + r + "/missing: cannot open the folder: error " + enoent, false, "", true},
      {"missing root, delete", {"delete", "--root", r + "/missing", "--root", r, "--all", "--yes"}, 1,
       "vesk-cli: " + r + "/missing: cannot open the folder: error " + enoent, false, "", true},
      {"delete", {"delete", "--root", r, "--all", "--yes"}, 0, "", false, "deleted\t" + cookie + "\n", false},
  };
  for (const Line& line : lines) {
    WriteFile(cookie, "x");
    output = RecordingOutput();
    FakeQuestion question;
    std::vector<std::string> arguments = {"vesk-cli"};
    arguments.insert(arguments.end(), line.arguments.begin(), line.arguments.end());
    EXPECT_EQ(cli::Run(arguments, system, output, question), line.status) << line.name;
    ASSERT_EQ(output.err.size(), (line.err.empty() ? 0u : 1u) + (line.usage ? 1u : 0u)) << line.name << "\n"
                                                                                         << output.ErrLines();
    if (!line.err.empty()) {
      EXPECT_EQ(output.err[0], line.err) << line.name;
    }
    if (line.usage) {
      EXPECT_EQ(output.err[1].substr(0, usage.size()), usage) << line.name;
    }
    EXPECT_EQ(output.out, line.out) << line.name;
    EXPECT_EQ(Exists(cookie), line.cookieStays) << line.name;
  }
}

// A name or folder that would drive a terminal: escaped there, exact bytes into a pipe or file.
TEST_F(CliCommands, PathsAreEscapedOnATerminalOnly) {
  const std::string r = dir / "r";
  const std::string cookie = r + "/s\xe2\x80\xae/a\x1b[31mRED\n.sol";
  const std::string escaped = "$'" + r + "/s\\u202E/a\\x1B[31mRED\\n.sol'";
  WriteFile(cookie, "x");
  for (const bool terminal : {false, true}) {
    output = RecordingOutput();
    output.outIsTerminal = output.errIsTerminal = terminal;
    FakeQuestion question;
    EXPECT_EQ(cli::Run({"vesk-cli", "list", "--root", r}, system, output, question), 0);
    EXPECT_EQ(output.out, (terminal ? escaped : cookie) + "\n") << terminal;
    output.out.clear();
    EXPECT_EQ(cli::Run({"vesk-cli", "list", "--root", r, "-0"}, system, output, question), 0);
    EXPECT_EQ(output.out, cookie + '\0') << "-0 writes the exact bytes on a terminal too";
    output.out.clear();
    EXPECT_EQ(cli::Run({"vesk-cli", "list", "--root", r, "--format", "csv"}, system, output, question), 0);
    EXPECT_EQ(output.out.find('\x1b') == std::string::npos, terminal) << output.out;
    output.out.clear();
    EXPECT_EQ(cli::Run({"vesk-cli", "list", "--root", r, "--format", "bodyfile"}, system, output, question), 0);
    const std::string bodyName = terminal ? "$'" + r + "/s\\u202E/a\\x1B[31mRED\\n.sol'"
                                          : r + "/s\xe2\x80\xae/a%5Cx1B[31mRED%5Cx0A.sol";
    EXPECT_EQ(output.out.substr(0, bodyName.size() + 3), "0|" + bodyName + "|") << output.out;

    // show: what the file holds is escaped in the text form wherever it goes; the path as list
    // shows it.
    WriteFile(cookie, sol::File(sol::amf3::Pair("k\x1b", sol::amf3::String("\x1b[31m")), 3, "a\x1b[31m"));
    output = RecordingOutput();
    output.outIsTerminal = terminal;
    EXPECT_EQ(cli::Run({"vesk-cli", "show", cookie}, system, output, question), 0);
    const std::string pathLine = (terminal ? escaped : cookie) + "\n";
    EXPECT_EQ(output.out.substr(0, pathLine.size()), pathLine);
    const std::string values = output.out.substr(pathLine.size());
    EXPECT_NE(values.find("name a\\x1B[31m, AMF3"), std::string::npos) << values;
    EXPECT_NE(values.find("\"k\\x1B\" = \"\\x1B[31m\""), std::string::npos) << values;
    EXPECT_EQ(values.find('\x1b'), std::string::npos) << values;
    WriteFile(cookie, "x");

    // A root that cannot be opened: standard error shows it as standard output would.
    output = RecordingOutput();
    output.errIsTerminal = terminal;
    EXPECT_EQ(cli::Run({"vesk-cli", "list", "--root", cookie}, system, output, question), 1);
    ASSERT_EQ(output.err.size(), 1u);
    EXPECT_EQ(output.err[0], "vesk-cli: " + (terminal ? escaped : cookie) + ": cannot open the folder: error " +
                                 std::to_string(ENOTDIR));

    // The question shows the selection escaped wherever standard error goes; the results follow
    // standard output.
    output = RecordingOutput();
    output.outIsTerminal = terminal;
    question.answers = {"y"};
    EXPECT_EQ(cli::Run({"vesk-cli", "delete", "--root", r, "--all"}, system, output, question), 0);
    EXPECT_EQ(output.err, std::vector<std::string>{escaped});
    EXPECT_EQ(output.out, "deleted\t" + (terminal ? escaped : cookie) + "\n");
    EXPECT_FALSE(Exists(cookie));
    WriteFile(cookie, "x");

    // copy shows both paths as list does.
    output = RecordingOutput();
    output.outIsTerminal = terminal;
    const std::string target = dir / "b/r/s\xe2\x80\xae/a\x1b[31mRED\n.sol";
    EXPECT_EQ(cli::Run({"vesk-cli", "copy", "--root", r, "--all", "--to", dir / "b"}, system, output, question), 0);
    const std::string shownTarget = "$'" + dir / "b/r/s\\u202E/a\\x1B[31mRED\\n.sol'";
    EXPECT_EQ(output.out, "copied\t" + (terminal ? escaped + "\t" + shownTarget : cookie + "\t" + target) + "\n");
    RemoveTree(dir / "b");
  }
}

// "Gone" only where the file's own folder was read and the name is not in it.
TEST_F(CliCommands, DeleteSaysGoneOnlyWhenItLookedIntoTheFolder) {
  const std::string r = dir / "r";
  const std::string a = r + "/K3/a.example/a.sol", b = r + "/K3/b.example/b.sol";
  const struct {
    const char* name;
    std::string removed;  // taken away after the listing, before the deletion
    int status;
    std::string lineA, lineB;
  } cases[] = {
      {"file gone", a, 0, "gone\t" + a, "deleted\t" + b},
      {"its folder gone", r + "/K3/a.example", 1, "error: error " + std::to_string(ENOENT) + "\t" + a, "deleted\t" + b},
      {"root gone", r, 1, "error: error " + std::to_string(ENOENT) + "\t" + a,
       "error: error " + std::to_string(ENOENT) + "\t" + b},
  };
  for (const auto& c : cases) {
    WriteFile(a, "a");
    WriteFile(b, "b");
    bool removed = false;
    system.onRemoveBelow = [&](const std::string&, const std::string&) {
      if (!removed) RemoveTree(c.removed);
      removed = true;
    };
    output = RecordingOutput();
    FakeQuestion question;
    EXPECT_EQ(cli::Run({"vesk-cli", "delete", "--root", r, "--all", "--yes"}, system, output, question), c.status)
        << c.name;
    EXPECT_TRUE(output.out == c.lineA + "\n" + c.lineB + "\n" || output.out == c.lineB + "\n" + c.lineA + "\n")
        << c.name << ": " << output.out;
    EXPECT_TRUE(output.err.empty()) << c.name;
  }
}

TEST_F(CliCommands, AStoreThatCannotBeReadIsSaidWithItsReason) {
  const std::string store = dir / "home/.macromedia/Flash_Player/";
  WriteFile(store + "#SharedObjects/K3/s/a.sol");
  system.env["HOME"] = dir / "home";
  system.refusedFolders = {store};
  const struct {
    cli::Format format;
    const char* row;
  } cases[] = {
      {cli::Format::Text, "plug-in\tplug-in\t?\t{}\n"},
      {cli::Format::Json, R"({"store":"plug-in","kind":"plug-in","browser":"","profile":"","folder":"{}","cookies":null,"settings":null})" "\n"},
      {cli::Format::Csv, "store,kind,browser,profile,folder,cookies,settings\r\nplug-in,plug-in,,,{},,\r\n"},
  };
  for (const auto& c : cases) {
    output = RecordingOutput();
    EXPECT_EQ(cli::RunStores({c.format}, system, output), cli::kExitProblem);
    std::string row = c.row;
    row.replace(row.find("{}"), 2, store);
    EXPECT_EQ(output.out, row);
    EXPECT_EQ(output.err, std::vector<std::string>{"vesk-cli: " + store + ": cannot open the folder: error " +
                                                   std::to_string(EACCES)});
  }
  // list and delete over every store say it too, and go on.
  output = RecordingOutput();
  FakeQuestion question;
  EXPECT_EQ(cli::Run({"vesk-cli", "list", "--all-stores"}, system, output, question), 1);
  EXPECT_EQ(output.err.size(), 1u);
  output = RecordingOutput();
  EXPECT_EQ(cli::Run({"vesk-cli", "delete", "--all-stores", "--all", "--yes"}, system, output, question), 1);
  EXPECT_EQ(output.ErrLines(), "vesk-cli: " + store + ": cannot open the folder: error " + std::to_string(EACCES) +
                                   "\nvesk-cli: no cookie files selected\n");
  EXPECT_TRUE(Exists(store + "#SharedObjects/K3/s/a.sol"));
  system.refusedFolders.clear();  // a store that is not there holds nothing and is no error
  RemoveTree(dir / "home");
  output = RecordingOutput();
  EXPECT_EQ(cli::Run({"vesk-cli", "stores"}, system, output, question), 0);
  EXPECT_EQ(output.out, "");
  EXPECT_TRUE(output.err.empty());
}

// Memory exhaustion or a fault of ours, anywhere in a command: one line, status 1, no abort.
TEST_F(CliCommands, AnEscapedExceptionIsOneLineAndStatusOne) {
  const struct {
    const char* name;
    std::function<void()> fail;
    const char* line;
  } cases[] = {
      {"memory", [] { throw std::bad_alloc(); }, "vesk-cli: out of memory"},
      {"fault", [] { throw std::logic_error("no such state"); }, "vesk-cli: internal error: no such state"},
      {"anything", [] { throw 42; }, "vesk-cli: internal error"},
  };
  for (const auto& c : cases) {
    system.onGetEnv = [&](const std::string&) { c.fail(); };
    for (const char* command : {"list", "stores"}) {
      output = RecordingOutput();
      FakeQuestion question;
      EXPECT_EQ(cli::Run({"vesk-cli", command}, system, output, question), 1) << c.name << " " << command;
      EXPECT_EQ(output.err, std::vector<std::string>{c.line}) << c.name << " " << command;
    }
  }
}

TEST(FileStatus, LengthAndModificationTimeOfRegularFilesOnly) {
  TempDir dir;
  WriteFile(dir / "five.sol", "12345");
  const timespec times[2] = {{0, UTIME_OMIT}, {1273861325, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "five.sol").c_str(), times, 0), 0);
  ASSERT_EQ(symlink((dir / "five.sol").c_str(), (dir / "link.sol").c_str()), 0);
  MakeFolders(dir / "folder.sol");
  ASSERT_EQ(mkfifo((dir / "fifo.sol").c_str(), 0600), 0);

  platform::System& system = platform::Native();
  for (const char* name : {"five.sol", "link.sol"}) {
    const auto status = system.GetFileStatus(dir / name);
    ASSERT_TRUE(status.has_value()) << name;
    EXPECT_EQ(status->length, 5) << name;
    EXPECT_EQ(status->modified, 1273861325) << name;
  }
  for (const char* name : {"folder.sol", "fifo.sol", "missing.sol"}) {
    EXPECT_FALSE(system.GetFileStatus(dir / name).has_value()) << name;
  }
  // The details for a timeline: of the entry itself, links and folders included.
  struct stat st {};
  ASSERT_EQ(stat((dir / "five.sol").c_str(), &st), 0);
  const auto details = system.GetFileDetails(dir / "five.sol");
  ASSERT_TRUE(details.has_value());
  EXPECT_EQ(details->type, platform::FileDetails::Type::kFile);
  EXPECT_EQ(details->node, st.st_ino);
  EXPECT_EQ(details->mode, st.st_mode & 07777);
  EXPECT_EQ(details->size, 5);
  EXPECT_EQ(details->modified, 1273861325);
  EXPECT_EQ(details->changed, st.st_ctime);
  EXPECT_EQ(system.GetFileDetails(dir / "link.sol")->type, platform::FileDetails::Type::kLink);
  EXPECT_EQ(system.GetFileDetails(dir / "folder.sol")->type, platform::FileDetails::Type::kFolder);
  EXPECT_FALSE(system.GetFileDetails(dir / "missing.sol").has_value());
}

}  // namespace
}  // namespace vesk::test
