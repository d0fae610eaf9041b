// vekgrep as a script sees it: stdout, stderr and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace vek {
namespace {

using test::TempTree;

struct Finished {
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

// Appends `arg` as one single-quoted shell word.
void AppendQuoted(std::string& command, const std::string& arg) {
  command.append(" '");
  for (char c : arg) c == '\'' ? command.append("'\\''") : command.append(1, c);
  command.append("'");
}

// Runs vekgrep in `cwd` with the given arguments (UTF-8).
Finished Vekgrep(const std::filesystem::path& cwd, std::initializer_list<std::string> args) {
  TempTree io;
  std::string command = "cd";
  AppendQuoted(command, cwd.string());
  command.append(" &&");
  AppendQuoted(command, VEKGREP_PATH);
  for (const std::string& arg : args) AppendQuoted(command, arg);
  command.append(" >");
  AppendQuoted(command, (io / "out").string());
  command.append(" 2>");
  AppendQuoted(command, (io / "err").string());
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
  const Finished run = Vekgrep(tree_.root(), {"-r", "猫 犬"});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\nb.VEK(1)：猫犬\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST_F(VekgrepTest, AnyThreadCountGivesTheSameOutput) {
  for (int i = 0; i < 40; ++i) tree_.Write("t/" + std::to_string(i) + ".vek", u"猫犬\r\n犬");
  const std::string one = Vekgrep(tree_.root(), {"-j1", "-r", "猫 犬"}).out;
  EXPECT_EQ(Vekgrep(tree_.root(), {"-r", "--threads=3", "猫 犬"}).out, one);
  EXPECT_EQ(Vekgrep(tree_.root(), {"-j", "256", "-r", "猫 犬"}).out, one);
}

TEST_F(VekgrepTest, FolderArgumentAndNoRecursion) {
  const Finished run = Vekgrep("/", {"猫", tree_.root().string()});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n");
  EXPECT_EQ(run.status, 0);
}

TEST_F(VekgrepTest, NoHitsPrintNothingAndExitOne) {
  const Finished run = Vekgrep(tree_.root(), {"--recursive", "--", "鳥"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 1);
}

TEST_F(VekgrepTest, CountAsTheWindowShowsIt) {
  EXPECT_EQ(Vekgrep(tree_.root(), {"-rc", "猫"}).out, "3問\n");
  const Finished none = Vekgrep(tree_.root(), {"--count", "鳥"});
  EXPECT_EQ(none.out, "0問\n");
  EXPECT_EQ(none.status, 1);
  for (int i = 0; i < 1234; ++i) tree_.Write("many/" + std::to_string(i) + ".vek", u"猫");
  EXPECT_EQ(Vekgrep(tree_.root(), {"-r", "-c", "猫"}).out, "1,237問\n");
}

TEST_F(VekgrepTest, BadUsageExitsTwo) {
  for (const auto& args :
       {std::initializer_list<std::string>{}, std::initializer_list<std::string>{"--bogus", "猫"},
        std::initializer_list<std::string>{"猫", ".", "extra"},
        std::initializer_list<std::string>{"--color=sometimes", "猫"},
        std::initializer_list<std::string>{"-j0", "猫"},
        std::initializer_list<std::string>{"--threads=x", "猫"},
        std::initializer_list<std::string>{"猫", "-j"}}) {
    const Finished run = Vekgrep(tree_.root(), args);
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
  const Finished run = Vekgrep(tree_.root(), {"猫"});
  EXPECT_EQ(run.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n");
  EXPECT_EQ(run.err,
            "vekgrep: ./broken.vek: No such file or directory\n");
  EXPECT_EQ(run.status, 2);
}

TEST_F(VekgrepTest, RefusedInputPrintsTheWindowsMessageAndNothingElse) {
  const struct {
    std::initializer_list<std::string> args;
    std::string message;
  } cases[] = {
      {{"", "."}, "検索文字列が未入力です。"},
      {{"ab"}, "検索文字列は半角のみの場合、３文字以上で入力して下さい。"},
      {{"abc ab"}, "検索文字列の各要素は半角のみの場合、３文字以上で入力して下さい。"},
      {{"猫", ""}, "Pathが未入力です。"},
      {{"猫", "no-such-folder"}, "Pathが誤っています。"},
      {{"猫", "a.vek"}, "Pathが誤っています。"},
  };
  for (const auto& c : cases) {
    const Finished run = Vekgrep(tree_.root(), c.args);
    EXPECT_EQ(run.err, "vekgrep: " + c.message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.status, 2);
  }
}

TEST_F(VekgrepTest, ColorsTheSameRangesAsTheWindow) {
  tree_.Write("c.vek", u"abcabcd xabcdx");
  EXPECT_EQ(Vekgrep(tree_.root(), {"--color=always", "abc abcd"}).out,
            "c.vek(1)：\x1b[31mabcabcd\x1b[0m x\x1b[31mabcd\x1b[0mx\n");
  EXPECT_EQ(Vekgrep(tree_.root(), {"--color=auto", "abc"}).out, "c.vek(1)：abcabcd xabcdx\n");
  EXPECT_EQ(Vekgrep(tree_.root(), {"--color", "abc"}).out, "c.vek(1)：abcabcd xabcdx\n");
}

TEST_F(VekgrepTest, RtfIsTheHighlightedDocumentInAscii) {
  const Finished run = Vekgrep(tree_.root(), {"--rtf", "-r", "猫"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("{\\rtf1\\ansi\\ansicpg932", 0), 0u);
  EXPECT_NE(run.out.find("{\\colortbl ;\\red255\\green0\\blue0;}"), std::string::npos);
  // 猫 is 94 4C in CP932.
  EXPECT_NE(run.out.find("\\cf1 \\'94\\'4c\\cf0 "), std::string::npos);
  for (char c : run.out) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80);
  EXPECT_EQ(Vekgrep(tree_.root(), {"--rtf", "鳥"}).out, "");
}

TEST_F(VekgrepTest, HelpAndVersion) {
  EXPECT_EQ(Vekgrep(tree_.root(), {"--help"}).out.rfind("Usage: vekgrep", 0), 0u);
  EXPECT_EQ(Vekgrep(tree_.root(), {"--version"}).out.rfind("vekgrep ", 0), 0u);
}

}  // namespace
}  // namespace vek
