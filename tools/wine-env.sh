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
