#include "vekgrep.h"

#include <filesystem>

#include "count_format.h"
#include "input_rules.h"
#include "keyword_ranges.h"
#include "options.h"
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

}  // namespace

int RunVekgrep(const std::vector<std::u16string>& args, Output& out, Output& err) {
  const Options options = ParseOptions(args);
  if (!options.error.empty()) {
    err.WriteBytes("vekgrep: " + options.error + "\nTry 'vekgrep --help'.\n");
    return kExitTrouble;
  }
  if (options.help) {
    out.WriteBytes(kUsage);
    return kExitHits;
  }
  if (options.version) {
    out.WriteBytes("vekgrep " VEK_VERSION "\n");
    return kExitHits;
  }

#ifdef _WIN32
  ui::WinFileSystem fileSystem;
#else
  StdFileSystem fileSystem;
#endif
  const std::u16string folderText =
      options.folderText ? *options.folderText : PathText(std::filesystem::current_path());
  if (const InputVerdict verdict = CheckInput(options.keywordText, folderText, fileSystem);
      !verdict.accepted) {
    err.Write(u"vekgrep: ");
    err.Write(verdict.message);
    err.Write(u"\n");
    return kExitTrouble;
  }

  SearchState state;
  const SearchOutcome outcome =
      RunSearch(state, options.keywordText, folderText, options.recursive, fileSystem, {},
                SearchOptions{.threads = options.threads});
  const std::int32_t hits = HitCount(outcome.results);
  const KeywordList keywords = SplitKeywords(options.keywordText);

  if (options.count) {
    out.Write(FormatHitCount(hits));
    out.Write(u"\n");
  } else if (options.rtf) {
    if (hits > 0)
      out.WriteBytes(HighlightKeywords(WriteRtf(ResultText(outcome.results)), keywords));
  } else {
    const bool color = options.color == ColorMode::Always ||
                       (options.color == ColorMode::Auto && out.IsTerminal() && out.EnableColor());
    for (std::int32_t i = 0; i < hits; ++i) {
      out.Write(color ? MarkKeywords(outcome.results[i], keywords, kRed, kPlain)
                      : outcome.results[i]);
      out.Write(u"\n");
    }
  }
  out.Flush();

  for (const SearchProblem& problem : outcome.problems) {
    err.Write(u"vekgrep: " + PathText(problem.path) + u": " + ReasonText(problem.error) + u"\n");
  }
  if (!outcome.problems.empty()) return kExitTrouble;
  return hits > 0 ? kExitHits : kExitNoHits;
}

}  // namespace vek::cli
