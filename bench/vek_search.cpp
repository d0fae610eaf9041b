// vekgrep's search and output with a chosen number of matching threads, for timing against
// peers: `vek_search [-r] [-c] [--] KEYWORDS [FOLDER]`, threads from VEK_THREADS (default:
// one per hardware thread). Writes what vekgrep writes; does no input checks.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "count_format.h"
#include "search_core.h"
#include "text_convert.h"

int main(int argc, char** argv) {
  bool recursive = false;
  bool count = false;
  std::vector<std::u16string> operands;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "-r") {
      recursive = true;
    } else if (options && arg == "-c") {
      count = true;
    } else {
      operands.push_back(vek::Utf8ToUtf16(arg));
    }
  }
  if (operands.empty() || operands.size() > 2) return 2;
  const std::u16string folder =
      operands.size() == 2 ? operands[1] : vek::PathText(std::filesystem::current_path());

  vek::SearchOptions searchOptions;
  if (const char* threads = std::getenv("VEK_THREADS"))
    searchOptions.threads = static_cast<unsigned>(std::strtoul(threads, nullptr, 10));
  vek::StdFileSystem fileSystem;
  vek::SearchState state;
  const vek::SearchOutcome outcome =
      vek::RunSearch(state, operands[0], folder, recursive, fileSystem, {}, searchOptions);

  vek::cli::Output out(stdout);
  const std::int32_t hits = vek::HitCount(outcome.results);
  if (count) {
    out.Write(vek::FormatHitCount(hits));
    out.Write(u"\n");
  } else {
    for (std::int32_t i = 0; i < hits; ++i) {
      out.Write(outcome.results[i]);
      out.Write(u"\n");
    }
  }
  out.Flush();
  if (!outcome.problems.empty()) return 2;
  return hits > 0 ? 0 : 1;
}
