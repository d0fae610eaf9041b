#!/usr/bin/env bash
# The search done by a peer tool, for tools/bench.sh to check its hit count and time it:
# every line of the corpus's data files that holds every keyword, one line per hit.
#
#   bench/peer.sh rg-pipe-j1 CORPUS KEYWORD...
#
# rg-pipe-j1: ripgrep with one search thread decodes the *.vek files as Shift_JIS and keeps
# the lines with the first keyword; a lone CR also ends a line in a data file, which ripgrep
# does not know, so CRs become line ends and each further ripgrep (one per keyword, the first
# again) keeps the lines that hold it. Empty keywords are left out, as the search ignores them.
set -euo pipefail
(($# >= 3)) || { echo "usage: peer.sh rg-pipe-j1 CORPUS KEYWORD..." >&2; exit 2; }
tool=$1 corpus=$2
shift 2
keywords=()
for k in "$@"; do [[ -n $k ]] && keywords+=("$k"); done
((${#keywords[@]})) || { echo "peer.sh: no keyword" >&2; exit 2; }
rg=(rg --no-config -uu --no-messages --color never --no-filename --no-line-number)

# Keeps the lines of stdin that hold each keyword given.
filter() {
  if (($# == 0)); then cat; return; fi
  local k=$1
  shift
  "${rg[@]}" -F -e "$k" | filter "$@" || true
}

case $tool in
  rg-pipe-j1)
    { "${rg[@]}" -j1 --iglob '*.vek' -E shift_jis -F -e "${keywords[0]}" "$corpus" || true; } |
      tr '\r' '\n' | filter "${keywords[@]}" ;;
  *) echo "peer.sh: unknown tool $tool" >&2; exit 2 ;;
esac
