#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test:
# the Linux build, the same under AddressSanitizer + UndefinedBehaviorSanitizer, the tests of
# the search's threads under ThreadSanitizer, the fuzz corpus replay, the Windows build with
# its GUI tests and vekgrep.exe's tests under Wine, and the release package's check.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n=== %s\n' "$*"; }

step "dependencies"
tools/install-deps.sh

for preset in linux linux-asan linux-tsan; do
  step "build and test: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

if [[ -x tools/fuzz.sh ]]; then
  step "fuzz corpus replay"
  tools/fuzz.sh
fi

if [[ -x tools/test-windows.sh ]]; then
  step "Windows build and GUI tests under Wine"
  tools/test-windows.sh
  step "release package: the same bytes from a second build, and it starts where it is unpacked"
  tools/package.sh --check
fi

step "all tests passed"
