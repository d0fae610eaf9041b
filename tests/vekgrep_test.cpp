// vekgrep as a script sees it: stdout, stderr and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace vek {
namespace {

using test::TempTree;

struct Run {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs vekgrep in `cwd` with the given arguments (UTF-8).
Run Vekgrep(const std::filesystem::path& cwd, std::initializer_list<std::string> args) {
  TempTree io;
  std::string command = "cd " + Quote(cwd.string()) + " && " + Quote(VEKGREP_PATH);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote((io / "out").string()) + " 2>" + Quote((io / "err").string());
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(io / "out"), Slurp(io / "err")};
}

class VekgrepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.Write("a.vek", u"猫と犬\r\n犬だけ\r犬と猫\n");
    tree_.Write("sub/b.VEK", u"猫犬");
  }
  TempTree tree_;
};

TEST_F(VekgrepTest, PrintsResultLinesInUtf8AndExitsZero) {
  const Run run = Vekgrep(tree_.root(), {"-r", "猫 犬"});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\nb.VEK(1)：猫犬\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST_F(VekgrepTest, FolderArgumentAndNoRecursion) {
  const Run run = Vekgrep("/", {"猫", tree_.root().string()});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n");
  EXPECT_EQ(run.status, 0);
}

TEST_F(VekgrepTest, NoHitsPrintNothingAndExitOne) {
  const Run run = Vekgrep(tree_.root(), {"--recursive", "--", "鳥"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 1);
}

TEST_F(VekgrepTest, CountAsTheWindowShowsIt) {
  EXPECT_EQ(Vekgrep(tree_.root(), {"-rc", "猫"}).out, "3問\n");
  const Run none = Vekgrep(tree_.root(), {"--count", "鳥"});
  EXPECT_EQ(none.out, "0問\n");
  EXPECT_EQ(none.status, 1);
  for (int i = 0; i < 1234; ++i) tree_.Write("many/" + std::to_string(i) + ".vek", u"猫");
  EXPECT_EQ(Vekgrep(tree_.root(), {"-r", "-c", "猫"}).out, "1,237問\n");
}

TEST_F(VekgrepTest, BadUsageExitsTwo) {
  for (const auto& args : {std::initializer_list<std::string>{},
                           std::initializer_list<std::string>{"--bogus", "猫"},
                           std::initializer_list<std::string>{"猫", ".", "extra"},
                           std::initializer_list<std::string>{"--color=sometimes", "猫"}}) {
    const Run run = Vekgrep(tree_.root(), args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("vekgrep: ", 0), 0u) << run.err;
  }
}

TEST_F(VekgrepTest, KeywordsStartingWithADashNeedTheSeparator) {
  tree_.Write("dash.vek", u"-rf here");
  EXPECT_EQ(Vekgrep(tree_.root(), {"--", "-rf"}).out, "dash.vek(1)：-rf here\n");
}

TEST_F(VekgrepTest, UnreadableFilesAreReportedAfterTheResults) {
  std::filesystem::create_symlink(tree_ / "missing", tree_ / "broken.vek");
  const Run run = Vekgrep(tree_.root(), {"猫"});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n");
  EXPECT_EQ(run.err, "vekgrep: " + (tree_ / "broken.vek").string() + ": No such file or directory\n");
  EXPECT_EQ(run.status, 2);
}

TEST_F(VekgrepTest, HelpAndVersion) {
  EXPECT_EQ(Vekgrep(tree_.root(), {"--help"}).out.rfind("Usage: vekgrep", 0), 0u);
  EXPECT_EQ(Vekgrep(tree_.root(), {"--version"}).out.rfind("vekgrep ", 0), 0u);
}

}  // namespace
}  // namespace vek
