#include <cstdio>
#include <string>
#include <vector>

#include "console.h"
#include "text_convert.h"
#include "vekgrep.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i], argv[i] + std::wcslen(argv[i]));
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  // Bytes as they are: a folder name need not be UTF-8.
  for (int i = 1; i < argc; ++i) args.push_back(vek::BytesToUtf16(argv[i]));
#endif
  vek::cli::Output out(stdout);
  vek::cli::Output err(stderr);
  return vek::cli::RunVekgrep(args, out, err);
}
