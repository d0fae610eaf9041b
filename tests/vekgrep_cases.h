// What vekgrep gives for a command line, the same on Linux and on Windows: the tree it runs
// in, and per case the arguments, standard output, standard error and exit status. The Linux
// tests (vekgrep_test.cpp) and the Windows tests (ui/programs_test.cpp) both run them.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "rtf.h"

namespace vek::test {

struct VekgrepRun {
  std::string out, err;
  int status;
  bool operator==(const VekgrepRun&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const VekgrepRun& run) {
  return os << "out: " << run.out << "\nerr: " << run.err << "\nstatus " << run.status;
}

struct VekgrepCase {
  std::vector<std::string> args;
  VekgrepRun run;
};

// Files relative to the folder vekgrep runs in, written in CP932.
inline std::vector<std::pair<std::string, std::u16string>> VekgrepTree() {
  std::u16string many;
  for (int i = 0; i < 1234; ++i) many += u"鳥\r\n";
  return {{"a.vek", u"猫と犬\r\n犬だけ\r犬と猫\n"},
          {"sub/b.VEK", u"猫犬"},
          {"sub/many.vek", many},
          {"dash.vek", u"-rf here\r\nabcabcd xabcdx"}};
}

inline std::vector<VekgrepCase> VekgrepCases() {
  const std::string hits = "a.vek(1)：猫と犬\na.vek(2)：犬と猫\n";
  // Spaces alone: every line of every file, in every form of output.
  const std::string every =
      "a.vek(1)：猫と犬\na.vek(2)：犬だけ\na.vek(3)：犬と猫\na.vek(4)：\ndash.vek(1)：-rf here\n"
      "dash.vek(2)：abcabcd xabcdx\n";
  const std::string everyRtf = HighlightKeywords(
      WriteRtf(u"a.vek(1)：猫と犬\r\na.vek(2)：犬だけ\r\na.vek(3)：犬と猫\r\na.vek(4)：\r\n"
               u"dash.vek(1)：-rf here\r\ndash.vek(2)：abcabcd xabcdx\r\n"),
      {});
  return {
      {{"猫 犬"}, {hits, "", 0}},
      {{"-r", "猫 犬"}, {hits + "b.VEK(1)：猫犬\n", "", 0}},
      {{"-j", "3", "--threads", "2", "--io-threads=0", "猫 犬"}, {hits, "", 0}},
      {{"--recursive", "--", "象"}, {"", "", 1}},
      {{"-rc", "鳥"}, {"1,234問\n", "", 0}},
      {{"--count", "鳥"}, {"0問\n", "", 1}},
      {{"--", "-rf"}, {"dash.vek(1)：-rf here\n", "", 0}},
      {{"--color=always", "abc abcd"},
       {"dash.vek(1)：\x1b[31mabcabcd\x1b[0m x\x1b[31mabcd\x1b[0mx\n", "", 0}},
      {{"--color=auto", "abcd"}, {"dash.vek(1)：abcabcd xabcdx\n", "", 0}},
      {{"--color", "abcd"}, {"dash.vek(1)：abcabcd xabcdx\n", "", 0}},
      {{"--color=always", "--color=never", "abcd"}, {"dash.vek(1)：abcabcd xabcdx\n", "", 0}},
      {{"--rtf", "象"}, {"", "", 1}},
      {{" "}, {every, "", 0}},
      {{"--color=always", "  "}, {every, "", 0}},
      {{"--rtf", " "}, {everyRtf, "", 0}},
      {{"-c", "   "}, {"6問\n", "", 0}},
      {{"--rtf", "-r", "猫"},
       {HighlightKeywords(WriteRtf(u"a.vek(1)：猫と犬\r\na.vek(2)：犬と猫\r\nb.VEK(1)：猫犬\r\n"),
                          {u"猫"}),
        "", 0}},
      // Refused input: the window's message, nothing else.
      {{"ab"}, {"", "vekgrep: 検索文字列は半角のみの場合、３文字以上で入力して下さい。\n", 2}},
      {{"ab cde"},
       {"", "vekgrep: 検索文字列の各要素は半角のみの場合、３文字以上で入力して下さい。\n", 2}},
      {{"", "."}, {"", "vekgrep: 検索文字列が未入力です。\n", 2}},
      {{"猫", ""}, {"", "vekgrep: Pathが未入力です。\n", 2}},
      {{"猫", "a.vek"}, {"", "vekgrep: Pathが誤っています。\n", 2}},
      {{"--version"}, {"vekgrep " VEK_VERSION "\n", "", 0}},
  };
}

// Wrong use: what is wrong and the hint to --help on standard error, status 2, nothing else.
inline bool IsMisuse(const VekgrepRun& run) {
  return run.status == 2 && run.out.empty() && run.err.starts_with("vekgrep: ") &&
         run.err.ends_with("\nTry 'vekgrep --help'.\n");
}
inline std::vector<std::vector<std::string>> VekgrepMisuses() {
  return {{},
          {"--bogus", "猫"},
          {"猫", ".", "extra"},
          {"--color=sometimes", "猫"},
          {"-j0", "猫"},
          {"--threads=x", "猫"},
          {"--io-threads=257", "猫"},
          {"猫", "-j"}};
}

}  // namespace vek::test
