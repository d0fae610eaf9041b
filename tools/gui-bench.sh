#!/usr/bin/env bash
# The window's answer times on the benchmark corpus: VekSearch.exe under Wine in a private Xvfb,
# driven by a second program (bench/gui/gui_driver.cpp) that clicks 検索 for sets a, c and d,
# then a over d's result, a again over a's, c over that, d clicked while a's box fills, a
# maximise and a restore with a's result shown, and the single character の (over a million
# hits), and reports per case the times to the first lines, to the count and to the full box,
# the longest time a posted message waited, one single load of the same RTF for comparison, the
# program's memory and the status bar's second panel.
#
#   tools/gui-bench.sh [--exe VekSearch.exe] [--corpus DIR] [--no-single]
#
# --exe: the program to drive (default: the windows preset's build, made if missing), so that
# an older build can be measured with the same driver. --corpus: made with bench/make_corpus.py
# if it has no manifest (default build/bench/corpus-256M-s1, as tools/bench.sh). --no-single:
# no single load for comparison (a minute and a half for set a under Wine), for a quicker run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
EXE="" CORPUS=$ROOT/build/bench/corpus-256M-s1

while (($#)); do
  case $1 in
    --exe) EXE=$2; shift ;;
    --corpus) CORPUS=$2; shift ;;
    --no-single) export VEK_GUI_NO_SINGLE=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "gui-bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

cd "$ROOT"
tools/setup-windows.sh > /dev/null
# shellcheck source=wine-env.sh
source tools/wine-env.sh
timeout -k 10 300 cmake --preset windows > /dev/null
timeout -k 10 1200 cmake --build --preset windows -j 2 --target VekSearch vek_gui_driver > /dev/null
EXE=${EXE:-$ROOT/build/windows/ui/VekSearch.exe}

[[ -f $CORPUS.manifest.json ]] || python3 bench/make_corpus.py --seed 1 --size 256M "$CORPUS" > /dev/null
find "$CORPUS/" -type f -iname '*.vek' -print0 | xargs -0 cat > /dev/null  # warm the cache
keywords() {
  python3 -c 'import json, sys
print(" ".join(json.load(open(sys.argv[1]))["keyword_sets"][sys.argv[2]]["keywords"]))' \
    "$CORPUS.manifest.json" "$1"
}
a=$(keywords a) c=$(keywords c) d=$(keywords d)

vek_start_xvfb
timeout -k 10 1800 wine "$ROOT/build/windows/bench/gui/vek_gui_driver.exe" "$EXE" \
  "Z:${CORPUS//\//\\}" "a|$a" "c|$c" "d|$d" "a|$a" "a-over-a|$a" "c-over-a|$c" \
  "d-during-a|$a|$d" "a|$a" "maximise|@maximise" "restore|@restore" "no|の" \
  </dev/null 2>/dev/null | sed -u 's/\r$//'
