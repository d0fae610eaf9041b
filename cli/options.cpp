#include "options.h"

#include "text_convert.h"

namespace vek::cli {

const char kUsage[] =
    "Usage: vekgrep [OPTIONS] [--] KEYWORDS [FOLDER]\n"
    "Lists every line of the *.vek files (CP932 text) in FOLDER that holds all KEYWORDS,\n"
    "as NAME(N)\xEF\xBC\x9ALINE. KEYWORDS is one argument, split at half-width spaces.\n"
    "FOLDER defaults to the current folder.\n"
    "\n"
    "  -r, --recursive      search the subfolders too\n"
    "  -c, --count          print the hit count (1,234\xE5\x95\x8F) instead of the lines\n"
    "      --rtf            print the highlighted RTF document instead of the lines\n"
    "      --color[=WHEN]   colour keywords red: never, always or auto (default: auto)\n"
    "  -j, --threads=N      match files on N threads (default: one per hardware thread)\n"
    "      --io-threads=N   keep up to N requests to the file system in flight, for slow\n"
    "                       file servers (default: 32; 0: one at a time)\n"
    "  -h, --help           show this help\n"
    "      --version        show the version\n"
    "\n"
    "Exit status: 0 hits, 1 no hits, 2 bad usage, refused input or unreadable files.\n";

namespace {

std::string Narrow(const std::u16string& text) {
  return Utf16ToUtf8(text);
}

bool SetColor(Options& options, const std::u16string& when) {
  if (when == u"never") {
    options.color = ColorMode::Never;
  } else if (when == u"always") {
    options.color = ColorMode::Always;
  } else if (when == u"auto") {
    options.color = ColorMode::Auto;
  } else {
    options.error = "invalid --color argument '" + Narrow(when) + "' (never, always or auto)";
    return false;
  }
  return true;
}

bool SetThreads(Options& options, const std::u16string& count, unsigned& threads,
                unsigned least = 1) {
  unsigned value = 0;
  const bool digits = !count.empty() && count.size() <= 3 &&
                      count.find_first_not_of(u"0123456789") == std::u16string::npos;
  if (digits)
    for (char16_t c : count) value = value * 10 + (c - u'0');
  if (!digits || value < least || value > 256) {
    options.error =
        "invalid thread count '" + Narrow(count) + "' (" + std::to_string(least) + " to 256)";
    return false;
  }
  threads = value;
  return true;
}

// Handles one option; false on a usage error.
bool TakeOption(Options& options, const std::u16string& arg) {
  if (arg == u"-r" || arg == u"--recursive") {
    options.recursive = true;
  } else if (arg == u"-c" || arg == u"--count") {
    options.count = true;
  } else if (arg == u"--rtf") {
    options.rtf = true;
  } else if (arg == u"-h" || arg == u"--help") {
    options.help = true;
  } else if (arg == u"--version") {
    options.version = true;
  } else if (arg == u"--color" || arg == u"--colour") {
    options.color = ColorMode::Auto;
  } else if (arg.starts_with(u"--color=") || arg.starts_with(u"--colour=")) {
    return SetColor(options, arg.substr(arg.find(u'=') + 1));
  } else if (arg.starts_with(u"--threads=")) {
    return SetThreads(options, arg.substr(arg.find(u'=') + 1), options.threads);
  } else if (arg.starts_with(u"--io-threads=")) {
    return SetThreads(options, arg.substr(arg.find(u'=') + 1), options.ioThreads, 0);
  } else if (arg.starts_with(u"-j")) {
    return SetThreads(options, arg.substr(2), options.threads);
  } else if (arg.size() > 2 && arg[0] == u'-' && arg[1] != u'-') {
    // Bundled short options: -rc.
    for (std::size_t i = 1; i < arg.size(); ++i) {
      if (!TakeOption(options, std::u16string{u'-', arg[i]})) return false;
    }
  } else {
    options.error = "unknown option '" + Narrow(arg) + "'";
    return false;
  }
  return true;
}

}  // namespace

Options ParseOptions(const std::vector<std::u16string>& args) {
  Options options;
  std::vector<const std::u16string*> operands;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != u'-') {
      // A lone "-" and "" are operands: an empty keyword text or folder text.
      operands.push_back(&arg);
    } else if (arg == u"--") {
      optionsEnded = true;
    } else if (arg == u"-j" || arg == u"--threads") {
      if (!SetThreads(options, i + 1 < args.size() ? args[++i] : std::u16string(), options.threads))
        return options;
    } else if (!TakeOption(options, arg)) {
      return options;
    }
  }
  if (options.help || options.version) return options;
  if (operands.empty()) {
    options.error = "missing KEYWORDS";
  } else if (operands.size() > 2) {
    options.error = "too many arguments (KEYWORDS is one argument: quote it)";
  } else {
    options.keywordText = *operands[0];
    if (operands.size() == 2) options.folderText = *operands[1];
  }
  if (options.error.empty() && options.rtf && options.count)
    options.error = "--rtf and --count exclude each other";
  return options;
}

}  // namespace vek::cli
