#!/usr/bin/env bash
# The Windows side end to end: prepares the machine (tools/setup-windows.sh), cross-builds the
# windows preset and runs its tests under Wine in a private Xvfb. Exits nonzero on any failure.
# Every step has a time limit, so a hung Wine program ends the run instead of stalling it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

step() { printf '\n=== %s\n' "$*"; }

step "Windows: setup"
tools/setup-windows.sh
# shellcheck source=wine-env.sh
source tools/wine-env.sh

step "Windows: configure and build (MinGW-w64)"
timeout -k 10 300 cmake --preset windows >/dev/null
timeout -k 10 1200 cmake --build --preset windows -j 2

step "Windows: tests under Wine"
vek_start_xvfb

timeout -k 10 900 ctest --preset windows
