// vekgrep: the search core from a terminal.
#pragma once

#include <string>
#include <vector>

#include "console.h"

namespace vek::cli {

// Runs vekgrep with the arguments after the program name; gives the exit status.
int RunVekgrep(const std::vector<std::u16string>& args, Output& out, Output& err);

}  // namespace vek::cli
