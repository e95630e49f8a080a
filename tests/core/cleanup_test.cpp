// vesk-cli delete over a scratch store: the question, the refusal, and the result lines of
// removals that fail or find the path changed, injected through the platform layer.

#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "tests/core/cli_support.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

class CliDeleteTest : public ::testing::Test {
 protected:
  TempDir tmp;
  const std::string root = tmp / "store/#SharedObjects/";
  const std::string a = root + "R4/a.example/a.sol";
  const std::string b = root + "R4/b.example/mov.swf/b.sol";
  PlatformWrapper system;
  RecordingOutput output;
  FakeQuestion question;
  cli::DeleteOptions options;

  void SetUp() override {
    WriteFile(a, "a");
    WriteFile(b, "b");
    options.list.roots = {root};
    options.rules.all = true;
  }
  int Run() { return cli::RunDelete(options, system, output, question); }
};

TEST_F(CliDeleteTest, AnswersAtTheTerminal) {
  const struct {
    bool interactive;
    bool yes;
    const char* answer;
    int status;
    bool deleted;
  } cases[] = {
      {true, false, "y", 0, true},   {true, false, " Yes\r", 0, true}, {true, false, "n", 1, false},
      {true, false, "", 1, false},   {true, false, "yes please", 1, false},
      {false, false, "y", 2, false},  // never asked: nobody is there to answer
      {false, true, "", 0, true},     {true, true, "n", 0, true},  // --yes does not ask
  };
  for (const auto& c : cases) {
    WriteFile(a, "a");
    WriteFile(b, "b");
    question = FakeQuestion();
    question.interactive = c.interactive;
    question.answers = {c.answer};
    options.yes = c.yes;
    output = RecordingOutput();
    system.removeCalls.clear();
    EXPECT_EQ(Run(), c.status) << c.answer;
    EXPECT_EQ(Exists(a) || Exists(b), !c.deleted) << c.answer;
    const bool asked = c.interactive && !c.yes;
    EXPECT_EQ(question.prompts, asked ? std::vector<std::string>{"Delete 2 cookie files? [y/N] "}
                                      : std::vector<std::string>{})
        << c.answer;
    if (!c.deleted) {
      EXPECT_TRUE(system.removeCalls.empty()) << c.answer;
    }
    if (asked) {  // the selection is shown before the question
      const std::string err = output.ErrLines();
      EXPECT_TRUE(err.rfind(a + "\n" + b + "\n", 0) == 0 || err.rfind(b + "\n" + a + "\n", 0) == 0) << err;
    }
  }
}

TEST_F(CliDeleteTest, EachFailureHasItsResultLine) {
  options.yes = true;
  system.refusedRemovals = {a};
  WriteFile(tmp / "outside/mov.swf/b.sol", "keep");
  system.onRemoveBelow = [&](const std::string&, const std::string& path) {
    if (path != b || !Exists(root + "R4/b.example/mov.swf")) return;
    RemoveTree(root + "R4/b.example");
    symlink((tmp / "outside").c_str(), (root + "R4/b.example").c_str());
  };
  EXPECT_EQ(Run(), 1);
  const std::string lineA = "error: error " + std::to_string(EACCES) + "\t" + a + "\n";
  const std::string lineB = "refused: path changed\t" + b + "\n";
  EXPECT_TRUE(output.out == lineA + lineB || output.out == lineB + lineA) << output.out;
  EXPECT_TRUE(Exists(a));
  EXPECT_TRUE(Exists(tmp / "outside/mov.swf/b.sol"));
  EXPECT_EQ(system.removeRoots, std::vector<std::string>(2, root));
}

TEST_F(CliDeleteTest, JsonResultsAndKeepFile) {
  options.yes = true;
  options.list.format = cli::Format::Json;
  WriteFile(tmp / "keep", "# mine\nA.EXAMPLE\n");
  options.keepFiles = {tmp / "keep"};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(output.out, "{\"path\":\"" + b + "\",\"site\":\"b.example\",\"kind\":\"cookie\",\"store\":null," +
                            "\"result\":\"deleted\",\"error\":null}\n");
  EXPECT_TRUE(Exists(a));

  system.refusedReads = {tmp / "keep"};  // a keep-list that cannot be read stops the run
  EXPECT_EQ(Run(), 2);
  EXPECT_TRUE(Exists(a));
  EXPECT_NE(output.ErrLines().find("cannot read the keep-file"), std::string::npos);
}

TEST_F(CliDeleteTest, DryRunAndEmptySelection) {
  options.dryRun = true;
  question.interactive = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Exists(a) && Exists(b));
  EXPECT_TRUE(system.removeCalls.empty());
  EXPECT_NE(output.out.find("would delete\t" + a + "\n"), std::string::npos);

  options.rules = {{"nowhere.*"}, false, {}, false};
  options.dryRun = false;
  output = RecordingOutput();
  EXPECT_EQ(Run(), 0);  // nothing chosen: nothing survived
  EXPECT_EQ(output.out, "");
  EXPECT_TRUE(system.removeCalls.empty());
}

}  // namespace
}  // namespace vesk::test
