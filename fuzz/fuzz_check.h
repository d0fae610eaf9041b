// What the fuzz targets share: a check that stops the run with a message.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vek::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace vek::fuzz
