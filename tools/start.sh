#!/usr/bin/env bash
# Builds VekSearch.exe and starts it under Wine with a Japanese locale and fonts, next to the
# sample data in samples/. Needs an X display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Installs and builds first, so that what the message below suggests works right away.
stage="$(tools/build-windows-stage.sh)"
if [[ -z ${DISPLAY:-} ]]; then
  cat >&2 <<'TEXT'
start: no X display (DISPLAY is not set), so the window has nowhere to appear.
  On a desktop, run it from a terminal of that desktop, or set DISPLAY (for example DISPLAY=:0).
  Headless, run it in a virtual display:
    xvfb-run -a -s '-screen 0 1280x1024x24' tools/start.sh
  and look at it with tools/screenshot.sh, which also runs a search on the samples.
TEXT
  exit 2
fi

# shellcheck source=wine-env.sh
source tools/wine-env.sh
echo "start: $stage/VekSearch.exe (Wine's messages go to $stage/wine.log)"
cd "$stage"
wine "$stage/VekSearch.exe" >"$stage/wine.log" 2>&1
