// vesk-cli's pure helpers, its commands over a scratch store, and the file status they use.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/fields.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

using namespace std::string_literals;
using std::nullopt;

TEST(CliFields, SiteIsTheFolderBelowTheStoresRandomFolder) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"/h/.macromedia/Flash_Player/#SharedObjects/K3XQ2Z7M/games.example/tetris.swf/hi.sol", "games.example"},
      {"/d/macromedia/flash player/#sharedobjects/K3/site/a.sol", "site"},  // any case
      {"/d/#SHAREDOBJECTS/K3/site/deep/er/a.sol", "site"},
      {"rel/#SharedObjects/K3/site/a.sol", "site"},
      {"/d/#SharedObjects/K3/s\xff\x01/a.sol"s, "s\xff\x01"s},  // exact bytes
      {"/d/#SharedObjects/K3/a.sol", nullopt},     // no site folder: the file lies in the random one
      {"/d/#SharedObjects/a.sol", nullopt},
      {"/d/#SharedObjects/K3//a.sol", nullopt},    // an empty name is no site
      {"/d/SharedObjects/K3/site/a.sol", nullopt},
      {"/d/x#SharedObjects/K3/site/a.sol", nullopt},
      {"/d/#SharedObjectsX/K3/site/a.sol", nullopt},
      {"/d/other/a.sol", nullopt},
      {"", nullopt},
  };
  for (const auto& [path, site] : cases) EXPECT_EQ(cli::SiteOf(path), site) << path;
}

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
}

}  // namespace
}  // namespace vesk::test
