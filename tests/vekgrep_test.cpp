// vekgrep as a script sees it: stdout, stderr and the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

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

// How the child's standard output is set up.
enum class Stdout { File, Full, Closed, BrokenPipe, BrokenPipeIgnored };

// Runs vekgrep in `cwd` with standard output as `how`; the folder is made there first by
// `prepare`, in the child (for a current folder that is gone or too long to name).
struct Spawned {
  int status;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};
Spawned Spawn(const std::filesystem::path& cwd, std::vector<std::string> args, Stdout how,
              const std::function<void()>& prepare = {}) {
  TempTree io;
  const std::string errPath = (io / "err").string();
  const std::string outPath = (io / "out").string();
  int pipeEnds[2] = {-1, -1};
  if (how == Stdout::BrokenPipe || how == Stdout::BrokenPipeIgnored) {
    EXPECT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);  // nobody will ever read
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, 2);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    if (prepare) prepare();
    ::signal(SIGPIPE, how == Stdout::BrokenPipeIgnored ? SIG_IGN : SIG_DFL);
    if (how == Stdout::File) ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    if (how == Stdout::Full) ::dup2(::open("/dev/full", O_WRONLY), 1);
    if (how == Stdout::Closed) ::close(1);
    if (pipeEnds[1] >= 0) ::dup2(pipeEnds[1], 1);
    std::vector<char*> argv{const_cast<char*>(VEKGREP_PATH)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(VEKGREP_PATH, argv.data());
    ::_exit(127);
  }
  if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Slurp(io / "out"),
          Slurp(io / "err")};
}

class VekgrepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.Write("a.vek", u"猫と犬\r\n犬だけ\r犬と猫\n");
    tree_.Write("sub/b.VEK", u"猫犬");
  }
  TempTree tree_;
};

TEST_F(VekgrepTest, AnyThreadCountGivesTheSameOutput) {
  for (int i = 0; i < 40; ++i) tree_.Write("t/" + std::to_string(i) + ".vek", u"猫犬\r\n犬");
  const std::string one = Vekgrep(tree_.root(), {"-j1", "-r", "猫 犬"}).out;
  EXPECT_EQ(Vekgrep(tree_.root(), {"-r", "--threads=3", "--io-threads=0", "猫 犬"}).out, one);
  EXPECT_EQ(Vekgrep(tree_.root(), {"-j", "256", "--io-threads=256", "-r", "猫 犬"}).out, one);
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
        std::initializer_list<std::string>{"--io-threads=257", "猫"},
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
  EXPECT_EQ(run.err, "vekgrep: ./broken.vek: No such file or directory\n");
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

TEST_F(VekgrepTest, WriteErrorsAreReportedAndAPipeSignalEndsItQuietly) {
  const struct {
    Stdout how;
    int status;
    std::string err;
  } cases[] = {
      {Stdout::Full, 2, "vekgrep: write error: No space left on device\n"},
      {Stdout::Closed, 2, "vekgrep: write error: Bad file descriptor\n"},
      {Stdout::BrokenPipeIgnored, 2, "vekgrep: write error: Broken pipe\n"},
      {Stdout::BrokenPipe, 128 + SIGPIPE, ""},
  };
  for (const auto& c : cases) {
    const Spawned run = Spawn(tree_.root(), {"-r", "猫"}, c.how);
    EXPECT_EQ(run.status, c.status) << int(c.how);
    EXPECT_EQ(run.err, c.err);
  }
}

// The current folder is searched as ".", whatever its absolute path.
TEST_F(VekgrepTest, CurrentFolderThatIsGoneOrTooLongToName) {
  const Spawned gone = Spawn(tree_.root(), {"猫"}, Stdout::Full, [] {
    ::mkdir("gone", 0700);
    if (::chdir("gone") != 0 || ::rmdir("../gone") != 0) ::_exit(125);
  });
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "");

  const Spawned deep = Spawn(tree_.root(), {"猫"}, Stdout::Full, [] {
    const std::string name(200, 'd');
    for (int level = 0; level < 25; ++level) {  // 5,000 bytes of path
      ::mkdir(name.c_str(), 0700);
      if (::chdir(name.c_str()) != 0) ::_exit(125);
    }
    std::ofstream("x.vek") << "\x94\x4c";  // 猫
  });
  std::system(("rm -rf '" + (tree_ / std::string(200, 'd')).string() + "'").c_str());
  EXPECT_EQ(deep.err, "vekgrep: write error: No space left on device\n");  // a hit to write
}

// On Linux a name is bytes: folders and files whose names are not UTF-8 are searched, and
// printed as their bytes.
TEST_F(VekgrepTest, NamesThatAreNotUtf8AreKeptAsBytes) {
  const std::string folder = "\xFF\x82\xA0";
  tree_.Write(folder + "/\x96\x7B.vek", u"猫");  // 本.vek in CP932
  std::filesystem::create_symlink("missing", tree_ / folder / "\xFE.vek");
  const Finished run = Vekgrep(tree_ / folder, {"猫"});
  EXPECT_EQ(run.out, "\x96\x7B.vek(1)：猫\n");
  EXPECT_EQ(run.err, "vekgrep: ./\xFE.vek: No such file or directory\n");
  EXPECT_EQ(run.status, 2);
  std::filesystem::remove(tree_ / folder / "\xFE.vek");
  // A folder argument, not recursive; from elsewhere.
  EXPECT_EQ(Vekgrep("/", {"猫", (tree_ / folder).string()}).out, "\x96\x7B.vek(1)：猫\n");
  const Finished all = Vekgrep(tree_.root(), {"-r", "猫 犬"});
  EXPECT_EQ(all.out, "a.vek(1)：猫と犬\na.vek(2)：犬と猫\nb.VEK(1)：猫犬\n");
  EXPECT_EQ(all.err, "");
  EXPECT_EQ(all.status, 0);
}

// Writes `bytes` at `offset`, leaving a hole before them where the file system can.
void WriteAt(const std::filesystem::path& path, std::uint64_t offset, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
            static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

// Runs vekgrep in the tree with at most `kib` KiB of address space (ulimit -v).
Spawned WithinAddressSpace(const TempTree& tree, rlim_t kib) {
  return Spawn(tree.root(), {"猫"}, Stdout::File, [kib] {
    const rlimit limit{kib << 10, kib << 10};
    ::setrlimit(RLIMIT_AS, &limit);
  });
}

// A file past every 31-bit and 32-bit read limit is read to its end within 1.5 GB of address
// space; a line too long for the space left is that file's problem only.
TEST_F(VekgrepTest, HugeFilesAreReadWholeInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "an address-space limit and the sanitizer's shadow memory exclude each other";
#endif
  constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
  const std::filesystem::path big = tree_ / "big.vek";
  // Holes with a line end every 16 MiB, so that no line is longer than that.
  for (std::uint64_t at = 16 << 20; at < 3 * kGiB; at += 16 << 20) WriteAt(big, at, "\n");
  WriteAt(big, 0,
          "\x94\x4c"
          "1\r\n");  // 猫1
  WriteAt(big, 2 * kGiB + 10,
          "\r\n\x94\x4c"
          "2\r\n");  // 猫2
  WriteAt(big, 3 * kGiB,
          "\r\n\x94\x4c"
          "3");  // 猫3, the last line
  tree_.Write("z.vek", u"猫");
  const Spawned run = WithinAddressSpace(tree_, 1500000);
  std::filesystem::remove(big);
  const std::string hits = "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n";
  EXPECT_EQ(run.out, hits + "big.vek(1)：猫1\nbig.vek(2)：猫2\nbig.vek(3)：猫3\nz.vek(1)：猫\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);

  WriteAt(tree_ / "long.vek", kGiB, "\n\x94\x4c");  // after a line of 1 GiB
  const Spawned tight = WithinAddressSpace(tree_, 500000);
  EXPECT_EQ(tight.out, hits + "z.vek(1)：猫\n");
  EXPECT_EQ(tight.err, "vekgrep: ./long.vek: Cannot allocate memory\n");
  EXPECT_EQ(tight.status, 2);
}

TEST_F(VekgrepTest, HelpAndVersion) {
  EXPECT_EQ(Vekgrep(tree_.root(), {"--help"}).out.rfind("Usage: vekgrep", 0), 0u);
  EXPECT_EQ(Vekgrep(tree_.root(), {"--version"}).out.rfind("vekgrep ", 0), 0u);
}

}  // namespace
}  // namespace vek
