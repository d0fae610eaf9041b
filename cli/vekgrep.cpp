#include "vekgrep.h"

#include <cstdint>
#include <new>
#include <utility>

#include "count_format.h"
#include "input_rules.h"
#include "keyword_ranges.h"
#include "options.h"
#include "result_lines.h"
#include "rtf.h"
#include "search_core.h"
#include "text_convert.h"

#ifdef _WIN32
#include "system_error_text.h"
#include "win_file_system.h"
#endif

namespace vek::cli {
namespace {

constexpr int kExitHits = 0;
constexpr int kExitNoHits = 1;
constexpr int kExitTrouble = 2;

constexpr std::u16string_view kRed = u"\x1b[31m";
constexpr std::u16string_view kPlain = u"\x1b[0m";

std::u16string ReasonText(const std::error_code& error) {
#ifdef _WIN32
  return ui::SystemErrorText(error);
#else
  return Utf8ToUtf16(error.message());
#endif
}

// The exit status once the output is out: a failed write is reported as such.
int Finish(Output& out, Output& err, int status) {
  out.Flush();
  if (!out.error()) return status;
  err.Write(u"vekgrep: write error: " + ReasonText(out.error()) + u"\n");
  return kExitTrouble;
}

}  // namespace

int RunVekgrep(const std::vector<std::u16string>& args, Output& out, Output& err) {
  const Options options = ParseOptions(args);
  if (!options.error.empty()) {
    err.WriteBytes("vekgrep: " + options.error + "\nTry 'vekgrep --help'.\n");
    return kExitTrouble;
  }
  if (options.help) {
    out.WriteBytes(kUsage);
    return Finish(out, err, kExitHits);
  }
  if (options.version) {
    out.WriteBytes("vekgrep " VEK_VERSION "\n");
    return Finish(out, err, kExitHits);
  }

#ifdef _WIN32
  ui::WinFileSystem fileSystem;
#else
  StdFileSystem fileSystem;
#endif
  // The current folder as such, not its absolute spelling: that may be too long to open, or
  // gone (then the folder is simply empty).
  const std::u16string folderText = options.folderText ? *options.folderText : u".";
  // A keyword holds what its bytes say in UTF-8; bytes that are not UTF-8 are U+FFFD.
  const std::u16string keywordText = Utf8ToUtf16(Utf16ToUtf8(options.keywordText));
  if (const InputVerdict verdict = CheckInput(keywordText, folderText, fileSystem);
      !verdict.accepted) {
    err.Write(u"vekgrep: ");
    err.Write(verdict.message);
    err.Write(u"\n");
    return kExitTrouble;
  }

  const KeywordList keywords = SplitKeywords(keywordText);
  const bool color = !options.count && !options.rtf &&
                     (options.color == ColorMode::Always ||
                      (options.color == ColorMode::Auto && out.IsTerminal() && out.EnableColor()));
  std::uint64_t hits = 0;
  bool rtfBegun = false;
  SearchOptions searchOptions;
  searchOptions.threads = options.threads;
  searchOptions.ioThreads = options.ioThreads;
  searchOptions.countOnly = options.count;
  // Each file's lines are printed as soon as it and all before it are done, and those of a
  // file with many hits as they are found; without colour or RTF straight from the hit lines'
  // bytes to UTF-8.
  searchOptions.hitBytesOnly = !color && !options.rtf;
  searchOptions.onFile = [&, text = std::string()](FileResults& file) mutable {
    hits += file.hits;
    if (out.error() || options.count) return;
    if (options.rtf) {
      if (file.lines.empty()) return;
      if (!std::exchange(rtfBegun, true)) out.WriteBytes(ResultRtfHead());
      out.WriteBytes(ResultRtfBody(file.lines, keywords));
      return;
    }
    text.clear();
    AppendResultLinesUtf8(file, text);
    out.WriteUtf8(text);
    for (const std::u16string& line : file.lines) {
      out.Write(MarkKeywords(line, keywords, kRed, kPlain));
      out.Write(u"\n");
    }
  };
  // A reader sees what is done while a later file is still being read.
  searchOptions.onIdle = [&out] { out.Flush(); };
  SearchState state;
  SearchOutcome outcome;
  try {
    outcome =
        RunSearch(state, keywordText, folderText, options.recursive, fileSystem, {}, searchOptions);
  } catch (const std::bad_alloc&) {
    // Not even the output of a line the search takes fitted: said, rather than an abort.
    err.Write(u"vekgrep: out of memory\n");
    return Finish(out, err, kExitTrouble);
  }

  if (options.count) {
    out.Write(FormatHitCount(static_cast<std::int64_t>(hits)));
    out.Write(u"\n");
  } else if (rtfBegun) {
    out.WriteBytes(ResultRtfEnd());
  }
  out.Flush();

  for (const SearchProblem& problem : outcome.problems) {
    err.Write(u"vekgrep: " + PathText(problem.path) + u": " + ReasonText(problem.error) + u"\n");
  }
  return Finish(out, err,
                !outcome.problems.empty() ? kExitTrouble
                : hits > 0                ? kExitHits
                                          : kExitNoHits);
}

}  // namespace vek::cli
