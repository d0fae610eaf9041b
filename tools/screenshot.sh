#!/usr/bin/env bash
# Starts VekSearch.exe under Wine in a private Xvfb, searches the sample data the way a user
# does (clicks and typing through xdotool) and saves a PNG of the window.
#   tools/screenshot.sh [OUT.png]   (default build/windows/screenshot.png)
# Any other program running in the project's Wine prefix is stopped first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
out="$(realpath -m "${1:-build/windows/screenshot.png}")"
keywords="${VEK_SCREENSHOT_KEYWORDS:-ファイル データ}"

stage="$(tools/build-windows-stage.sh)"
# shellcheck source=wine-env.sh
source tools/wine-env.sh

vek_start_xvfb

(cd "$stage" && timeout -k 5 120 wine "$stage/VekSearch.exe" >"$stage/wine.log" 2>&1) &
window="$(timeout 60 xdotool search --sync --onlyvisible --name '^VekSearch$' 2>/dev/null | head -1)"
if [[ -z $window ]]; then
  echo "screenshot: the window did not appear (see $stage/wine.log)" >&2
  exit 1
fi
sleep 1

# Client-area points of the controls at 96 DPI; Wine draws its own frame (no window manager),
# so the client area starts below its caption.
frame_x=4 frame_y=23
click() { xdotool mousemove --window "$window" $((frame_x + $1)) $((frame_y + $2)) click 1 2>/dev/null; }
click 60 12                  # chkSubFolder: search the subfolders too
click 280 74                 # txtKeyWord
# The first character that needs a keyboard remapping can be lost: warm the mapping up first.
xdotool type --delay 60 'あ' 2>/dev/null
xdotool key BackSpace 2>/dev/null
xdotool type --delay 60 "$keywords" 2>/dev/null
click 587 77                 # cmdSearch
sleep 2

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "screenshot: $out"
xdotool key alt+F4 2>/dev/null || true
