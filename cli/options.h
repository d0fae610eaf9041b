// vekgrep's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "search_core.h"

namespace vek::cli {

enum class ColorMode { Never, Always, Auto };

struct Options {
  bool recursive = false;
  bool count = false;
  bool rtf = false;
  bool help = false;
  bool version = false;
  ColorMode color = ColorMode::Auto;
  unsigned threads = 0;  // threads that match files; 0: one per hardware thread
  unsigned ioThreads = SearchOptions().ioThreads;  // requests in flight; 0: one at a time
  std::u16string keywordText;
  std::optional<std::u16string> folderText;  // absent: the current folder
  std::string error;                         // set on bad usage
};

// Parses the arguments after the program name.
Options ParseOptions(const std::vector<std::u16string>& args);

extern const char kUsage[];

}  // namespace vek::cli
