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
#include "tests/core/test_support.h"

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

// What a command wrote, kept apart by stream.
class RecordingOutput : public cli::Output {
 public:
  std::string out;
  std::vector<std::string> err;
  void Out(std::string_view lines) override { out.append(lines); }
  void Err(std::string_view line) override { err.emplace_back(line); }
  std::string ErrorText(int error) override { return "error " + std::to_string(error); }
};

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
  EXPECT_EQ(output.err, (std::vector<std::string>{"vesk-cli: " + dir / "missing" + ": cannot open the folder",
                                                  "vesk-cli: " + dir / "a/one.sol" + ": cannot open the folder"}));
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
