#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest (and for anything else that reads its output
# through a pipe). Wine's helper processes (services.exe, explorer ...) inherit the stdio of the
# wine that started them and outlive it, so a reader of that pipe would wait for them: the
# output goes to temporary files first. The exit code is the program's.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

if [[ ! -f $VEK_WINE_STAMP ]]; then
  echo "wine-run: no prepared Wine prefix at $WINEPREFIX; run tools/setup-windows.sh" >&2
  exit 125
fi
# A wineserver that once ran without a display refuses windows to every later process.
if [[ -z ${DISPLAY:-} ]]; then
  echo "wine-run: DISPLAY is not set; run under tools/test-windows.sh, xvfb-run or an X server" >&2
  exit 125
fi

tmp="$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
timeout -k 5 "${VEK_WINE_TIMEOUT:-120}" wine "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
rc=$?
tr -d '\r' <"$tmp/out"
# Wine's own harmless complaint about the Z: drive root is noise in every test log.
grep -v 'Read access denied for device' "$tmp/err" >&2
exit $rc
