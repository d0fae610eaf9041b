// vekgrep as a script sees it: stdout, stderr and the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "test_support.h"
#include "vekgrep_cases.h"

namespace vek {
namespace {

using test::TempTree;

using Finished = test::VekgrepRun;  // status: the exit status, or 128 + the signal that ended it

// Starts vekgrep in `cwd`; `prepare` runs first in the child (its standard output, an odd
// current folder, a memory limit).
pid_t Start(const fs::path& cwd, std::vector<std::string> args,
            const std::function<void()>& prepare) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    prepare();
    std::vector<char*> argv{const_cast<char*>(VEKGREP_PATH)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(VEKGREP_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

Finished Vekgrep(
    const fs::path& cwd, std::vector<std::string> args,
    const std::function<void()>& prepare = [] {}) {
  TempTree io;
  int status = 0;
  ::waitpid(Start(cwd, std::move(args),
                  [&] {
                    ::dup2(::open((io / "out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
                    ::dup2(::open((io / "err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
                    prepare();
                  }),
            &status, 0);
  return {test::Slurp(io / "out"), test::Slurp(io / "err"),
          WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

// Within `mib` MiB of address space, with one heap for all threads: each thread's own would
// reserve 64 MiB of it.
std::function<void()> Within(rlim_t mib) {
  return [limit = rlimit{mib << 20, mib << 20}] {
    ::setenv("MALLOC_ARENA_MAX", "1", 1);
    ::setrlimit(RLIMIT_AS, &limit);
  };
}

// Standard output into a pipe that nobody will ever read.
void BrokenPipe() {
  int ends[2];
  if (::pipe(ends) == 0) ::close(ends[0]), ::dup2(ends[1], 1);
}

class VekgrepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [path, text] : test::VekgrepTree()) tree_.Write(path, text);
  }
  TempTree tree_;
};

TEST_F(VekgrepTest, PrintsResultsCountsAndMessagesWithTheirExitStatus) {
  for (const test::VekgrepCase& c : test::VekgrepCases())
    EXPECT_EQ(Vekgrep(tree_.root(), c.args), c.run) << c.args.back();
  for (const std::vector<std::string>& args : test::VekgrepMisuses()) {
    const Finished run = Vekgrep(tree_.root(), args);
    EXPECT_TRUE(test::IsMisuse(run)) << run;
  }
  EXPECT_TRUE(Vekgrep(tree_.root(), {"--help"}).out.starts_with("Usage: vekgrep"));

  // On Linux a name is bytes: names that are not UTF-8 are searched and printed as they are.
  TempTree other;
  const std::string odd = other.Write("\xFF\x82\xA0/\x96\x7B.vek", u"猫").parent_path();  // 本.vek
  fs::create_symlink("missing", odd + "/\xFE.vek");
  const struct {
    std::vector<std::string> args;
    Finished run;
    void (*prepare)() = [] {};
  } cases[] = {
      // What cannot be read is reported after the results.
      {{"猫", odd},
       {"\x96\x7B.vek(1)：猫\n", "vekgrep: " + odd + "/\xFE.vek: No such file or directory\n", 2}},
      // Write errors are reported; a pipe's signal ends it quietly.
      {{"猫"},
       {"", "vekgrep: write error: No space left on device\n", 2},
       [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }},
      {{"猫"}, {"", "vekgrep: write error: Bad file descriptor\n", 2}, [] { ::close(1); }},
      {{"猫"},
       {"", "vekgrep: write error: Broken pipe\n", 2},
       [] { BrokenPipe(), ::signal(SIGPIPE, SIG_IGN); }},
      {{"猫"}, {"", "", 128 + SIGPIPE}, BrokenPipe},
      {{"--help"},
       {"", "vekgrep: write error: No space left on device\n", 2},
       [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }},
      {{"--version"}, {"", "vekgrep: write error: Bad file descriptor\n", 2}, [] { ::close(1); }},
      // The current folder is searched as ".", whatever its absolute path: gone, or too long
      // to name (5,000 bytes; last, as its folders stay).
      {{"猫"},
       {"", "", 1},
       [] {
         ::mkdir("gone", 0700);
         if (::chdir("gone") != 0 || ::rmdir("../gone") != 0) ::_exit(125);
       }},
      {{"猫"},
       {"x.vek(1)：猫\n", "", 0},
       [] {
         for (int level = 0; level < 25; ++level) {
           ::mkdir(std::string(200, 'd').c_str(), 0700);
           if (::chdir(std::string(200, 'd').c_str()) != 0) ::_exit(125);
         }
         std::ofstream("x.vek") << EncodeCp932(u"猫");
       }},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Vekgrep(tree_.root(), c.args, c.prepare), c.run) << c.args.back();
}

// Standard output into a pipe, or a terminal: what vekgrep has written by the time its first
// two lines come, and whether it was still running then. It is killed after that.
std::pair<std::string, bool> TwoLinesWhileRunning(const fs::path& cwd,
                                                  std::vector<std::string> args, bool terminal) {
  int reader = -1, writer = -1;
  int ends[2];
  if (terminal ? ::openpty(&reader, &writer, nullptr, nullptr, nullptr) != 0 : ::pipe(ends) != 0)
    return {"no pipe", false};
  if (!terminal) reader = ends[0], writer = ends[1];
  const pid_t pid = Start(cwd, std::move(args), [=] { ::dup2(writer, 1), ::close(reader); });
  ::close(writer);
  std::string out;
  char buffer[4096];
  pollfd ready{reader, POLLIN, 0};
  // The minute only guards against a hang; the file takes far longer than that to read.
  while (std::ranges::count(out, '\n') < 2 && ::poll(&ready, 1, 60000) == 1) {
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  int status = 0;
  const bool running = ::waitpid(pid, &status, WNOHANG) == 0;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  ::close(reader);
  return {out, running};
}

// The promises that the number of hits, the length of a line or of a file, the number of threads
// and the memory left cannot break: the same output as one thread making one request at a
// time, without a limit, and each file's lines out while later files are read.
TEST_F(VekgrepTest, KeepsItsWordWhateverTheHitsLinesFileSizesAndThreads) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "an address-space limit and the sanitizer's shadow memory exclude each other";
#endif
  const auto plain = [](const fs::path& folder, std::vector<std::string> args) {
    args.insert(args.begin(), {"-j1", "--io-threads=0"});
    return Vekgrep(folder, args);
  };
  // Half a million hits in one file, as many empty lines: a few MiB of pieces in flight.
  std::string many;
  for (int i = 0; i < 500000; ++i) many += "abc\n";
  tree_.WriteBytes("hits/a.vek", many);
  tree_.WriteBytes("hits/e.vek", std::string(500000, '\n'));
  // A line of a TiB (a hole) after two hits, then a file after it.
  tree_.WriteBytes("long/c.vek", "abc after\n");
  fs::resize_file(tree_.WriteBytes("long/b.vek", "abc first\nabc second\n"),
                  std::uintmax_t{1} << 40);
  // Small files in a few folders, for more threads than there is room for; 600 in one folder
  // within 10 MiB, where no thread's stack fits: the main thread matches more than it lets wait.
  for (int i = 0; i < 40; ++i)
    tree_.Write("small/" + std::to_string(i % 4) + "/" + std::to_string(i) + ".vek",
                u"猫\r\n犬\r\n猫犬");
  fs::create_directory(tree_ / "many");
  for (int i = 0; i < 600; ++i)
    fs::create_symlink("../a.vek", tree_ / "many" / (std::to_string(i) + ".vek"));
  // A file larger than the address space, read in slices: holes with a line end every 16 MiB,
  // and 猫 at both ends.
  fs::create_directory(tree_ / "big");
  std::ofstream big(tree_ / "big" / "big.vek", std::ios::binary);
  big << EncodeCp932(u"猫1\r\n");
  for (std::streamoff at = 16 << 20; at < (std::streamoff{5} << 28); at += 16 << 20)
    big.seekp(at) << '\n';
  big.seekp(std::streamoff{5} << 28) << EncodeCp932(u"\r\n猫2");
  big.close();
  const struct {
    fs::path folder;
    std::vector<std::string> args;
    rlim_t mib;
  } cases[] = {
      {"hits", {"-j2", "abc"}, 40},
      {"hits", {"-j2", "--rtf", "abc"}, 40},
      {"hits", {"-j2", " "}, 40},
      {"long", {"-j2", "abc"}, 400},
      {"small", {"-j256", "-r", "猫"}, 600},
      {"many", {"-j2", "-c", "猫"}, 10},
      {"big", {"-j2", "--io-threads=0", "猫"}, 400},
  };
  for (const auto& c : cases) {
    const Finished run = Vekgrep(tree_ / c.folder, c.args, Within(c.mib));
    const Finished expected = plain(tree_ / c.folder, c.args);
    // Megabytes of output: told by their size when they differ.
    EXPECT_TRUE(run == expected) << c.folder << " " << c.args.back() << ": " << run.out.size()
                                 << " bytes, " << run.err << run.status << " instead of "
                                 << expected.out.size() << " bytes, " << expected.err
                                 << expected.status;
  }
  EXPECT_EQ(Vekgrep(tree_ / "many", {"-c", "猫"}).out, "1,200問\n");
  EXPECT_EQ(Vekgrep(tree_ / "big", {"猫"}).out, "big.vek(1)：猫1\nbig.vek(2)：猫2\n");
  // Not even the RTF of one line of 16 MiB fits in 100 MiB: said, never an abort.
  tree_.Write("huge/h.vek", std::u16string((std::size_t{8} << 20) - 16, u'検') + u"\n");
  const Finished huge = Vekgrep(tree_ / "huge", {"--rtf", "検"}, Within(100));
  EXPECT_EQ(huge.err + std::to_string(huge.status), "vekgrep: out of memory\n2");
  EXPECT_EQ(Vekgrep(tree_ / "long", {"abc"}),
            (Finished{"b.vek(1)：abc first\nb.vek(2)：abc second\nc.vek(1)：abc after\n",
                      "vekgrep: ./b.vek: a line longer than 16 MiB\n", 2}));

  // More than 2^31 hits: 32 times 2^26 line ends and a last line.
  tree_.WriteBytes("count/0.vek", std::string(std::size_t{1} << 26, '\n'));
  for (int i = 1; i < 32; ++i)
    fs::create_symlink("0.vek", tree_ / "count" / (std::to_string(i) + ".vek"));
  EXPECT_EQ(Vekgrep(tree_ / "count", {"-c", " "}).out, "2,147,483,680問\n");

  // Hits numbered on from piece to piece of a file.
  EXPECT_TRUE(
      Vekgrep(tree_ / "hits", {"abc"}).out.ends_with("(499999)：abc\na.vek(500000)：abc\n"));

  // A small file with a hit, then one with a hit and 64 GiB of holes with a line end every
  // 16 MiB: each file's lines are out once it is read, and a file's hits while it is read.
  tree_.WriteBytes("slow/a.vek", "abc hit\n");
  {
    std::ofstream huge(tree_ / "slow" / "b.vek", std::ios::binary);
    huge << "abc b\n";
    for (std::streamoff at = 16 << 20; at <= std::streamoff{64} << 30; at += 16 << 20)
      huge.seekp(at) << '\n';
  }
  for (const bool terminal : {false, true}) {
    const auto [out, running] =
        TwoLinesWhileRunning(tree_ / "slow", {"--color=never", "abc"}, terminal);
    EXPECT_TRUE(out.starts_with("a.vek(1)：abc hit") && out.find("b.vek(1)：abc b") != out.npos &&
                running)
        << out << " on a terminal: " << terminal;
  }
}

}  // namespace
}  // namespace vek
