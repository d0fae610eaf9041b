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
display_file="$(mktemp)"
xvfb_pid=""
cleanup() {
  timeout -k 5 20 wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $display_file ]] && break
  sleep 0.1
done
if [[ ! -s $display_file ]]; then
  echo "test-windows: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(cat "$display_file")"
# A wineserver left from a run under another display would refuse every window of this one.
timeout -k 5 20 wineserver -k 2>/dev/null || true

timeout -k 10 900 ctest --preset windows
