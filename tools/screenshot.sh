#!/usr/bin/env bash
# Starts VekSearch.exe under Wine in a private Xvfb, searches the sample data the way a user
# does (clicks and typing through xdotool) and saves a PNG of the window.
#   tools/screenshot.sh [--case CASE] [OUT.png]   (default build/windows/screenshot.png)
# CASE (the pictures of docs/使い方.md):
#   search  a search of the samples and their subfolders (default)
#   line    the same, then a click on the second result line: where it comes from
#   short   a keyword too short: the message box alone
#   hint    keywords separated by a full-width space: nothing found, and the hint
# Any other program running in the project's Wine prefix is stopped first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
case=search
if [[ ${1:-} == --case ]]; then
  case=$2
  shift 2
fi
out="$(realpath -m "${1:-build/windows/screenshot.png}")"
case $case in
  search | line) keywords="${VEK_SCREENSHOT_KEYWORDS:-ファイル データ}" ;;
  short) keywords="ab" ;;
  hint) keywords="ファイル　データ" ;;
  *) echo "screenshot: unknown case $case" >&2; exit 2 ;;
esac

built="$(tools/build-windows-stage.sh)"
# shellcheck source=wine-env.sh
source tools/wine-env.sh
# Laid out as the release package is, in C:\VekSearch, so that the picture shows no folder of
# the building machine.
stage="$WINEPREFIX/drive_c/VekSearch"
rm -rf "$stage"
mkdir -p "$stage"
cp "$built/VekSearch.exe" "$stage/"
cp -r samples "$stage/samples"

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
if [[ $case == short ]]; then
  dialog="$(timeout 30 xdotool search --sync --onlyvisible --name '^入力項目Check Error$' 2>/dev/null | head -1)"
  import -window "$dialog" "$out"
  xdotool key Return 2>/dev/null
else
  [[ $case == line ]] && { click 200 140; sleep 1; }  # the second line of the result box
  import -window "$window" "$out"
fi
echo "screenshot: $out"
xdotool key alt+F4 2>/dev/null || true
