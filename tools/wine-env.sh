# Sourced by the Windows-side scripts: one Wine prefix per machine, outside the repository,
# and the environment every Wine call needs (Japanese locale so that the ANSI code page is 932).
# shellcheck shell=bash

vek_home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
export WINEPREFIX="${VEK_WINEPREFIX:-${XDG_CACHE_HOME:-$vek_home/.cache}/veksearch/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono/Gecko install prompts, no menu entries written into the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
unset LC_ALL

VEK_WINE_STAMP="$WINEPREFIX/.veksearch-configured"

# Starts a private Xvfb for this shell, exports its DISPLAY and ends it (and every Wine program
# of the prefix) when the shell exits. A wineserver left from a run under another display
# would refuse every window of this one, so it is stopped first.
vek_start_xvfb() {
  local display_file
  display_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  VEK_XVFB_PID=$!
  trap 'timeout -k 5 20 wineserver -k 2>/dev/null || true; kill "$VEK_XVFB_PID" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    [[ -s $display_file ]] && break
    sleep 0.1
  done
  if [[ ! -s $display_file ]]; then
    rm -f "$display_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(cat "$display_file")"
  rm -f "$display_file"
  timeout -k 5 20 wineserver -k 2>/dev/null || true
}
