#!/usr/bin/env bash
# Peak memory of vekgrep for the shapes that once made it grow without bound: many files in
# one folder, a deep tree, many hits counted with -c, a few large files on several threads,
# and a file whose every line is a hit, printed as lines and as RTF, and every line of 32 MiB
# of empty lines printed.
# Prints one table row per case: peak resident MiB (GNU time's maximum RSS) and what it
# comes to per file, per level or per MiB read.
#
#   tools/bench-memory.sh [DIR]     DIR: where the generated trees go (/tmp/vek-memory)
#
# The trees are made once and kept; the large files are sparse, with a line end every MiB.
# Environment: BUILD  build folder (build/perf)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/perf}
DIR=${1:-/tmp/vek-memory}
[[ ${1:-} == -h || ${1:-} == --help ]] && { sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0; }

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD" -j2 --target vekgrep > /dev/null
VEKGREP=$BUILD/cli/vekgrep
mkdir -p "$DIR"

python3 - "$DIR" <<'PY'
import os, sys
top = sys.argv[1]
def made(name):
    return os.path.exists(os.path.join(top, name + ".done"))
def done(name):
    open(os.path.join(top, name + ".done"), "w").close()

if not made("flat"):  # 200,000 small files in one folder
    d = os.path.join(top, "flat"); os.makedirs(d, exist_ok=True)
    for i in range(200000):
        with open(os.path.join(d, "f%06d.vek" % i), "wb") as f: f.write(b"x\r\n")
    done("flat")
if not made("deep"):  # 2,000 levels, one file in each; one-letter names stay below PATH_MAX
    d = os.path.join(top, "deep")
    for level in range(2000):
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "x.vek"), "wb") as f: f.write(b"x\r\n")
        d = os.path.join(d, "d")
    done("deep")
if not made("text"):  # 1 GiB of short CP932 lines in 8 files
    d = os.path.join(top, "text"); os.makedirs(d, exist_ok=True)
    line = "検索システムの設定ファイル 2003\r\n".encode("cp932")
    block = line * ((1 << 20) // len(line))
    for i in range(8):
        with open(os.path.join(d, "t%d.vek" % i), "wb") as f:
            for _ in range(128): f.write(block)
    done("text")
if not made("large"):  # four sparse files of 512 MiB, a line end every MiB
    d = os.path.join(top, "large"); os.makedirs(d, exist_ok=True)
    for i in range(4):
        fd = os.open(os.path.join(d, "l%d.vek" % i), os.O_WRONLY | os.O_CREAT, 0o644)
        for at in range(1 << 20, 512 << 20, 1 << 20): os.pwrite(fd, b"\n", at)
        os.pwrite(fd, "検索\r\n".encode("cp932"), (512 << 20) - 6)
        os.close(fd)
    done("large")
if not made("hits"):  # 100 MB of "abc" lines (25 M hits), and 32 MiB of empty lines
    d = os.path.join(top, "hits"); os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "a.vek"), "wb") as f: f.write((b"abc\n" * 25000000))
    d = os.path.join(top, "empty"); os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "e.vek"), "wb") as f: f.write(b"\n" * (32 << 20))
    done("hits")
PY

peak() {  # peak KiB of: vekgrep ARGS...
  /usr/bin/time -f %M -o "$DIR/rss" "$VEKGREP" "$@" > /dev/null 2>&1 || true
  tail -1 "$DIR/rss"
}
base=$(peak -j1 -c 量子暗号通信 "$DIR/flat/..")  # start-up alone: an empty folder listing
echo "| case | peak MiB | beyond start-up ($((base / 1024)) MiB) |"
echo "|---|---:|---:|"
row() {  # row LABEL UNIT COUNT ARGS...
  local label=$1 unit=$2 count=$3; shift 3
  local kib; kib=$(peak "$@")
  awk -v l="$label" -v u="$unit" -v n="$count" -v k="$kib" -v b="$base" \
    'BEGIN {printf "| %s | %.1f | %.0f bytes per %s |\n", l, k / 1024, (k - b) * 1024 / n, u}'
}
flat="$DIR/flat/f000000.vek"
row "200,000 files in one folder, -j2 (paths of ${#flat} bytes)" file 200000 -j2 -c 量子暗号通信 "$DIR/flat"
row "2,000 levels, one file each, -j2" level 2000 -j2 -r -c 量子暗号通信 "$DIR/deep"
row "-c ' ' over 1 GiB of text (8 files), -j2" "MiB read" 1024 -j2 -c ' ' "$DIR/text"
row "four 512 MiB files, -j4" "MiB read" 2048 -j4 -c 検索 "$DIR/large"
row "100 MB, every line a hit, printed, -j2" "hit" 25000000 -j2 abc "$DIR/hits"
row "the same as RTF, -j2" "hit" 25000000 -j2 --rtf abc "$DIR/hits"
row "' ' over 32 MiB of empty lines, printed, -j2" "hit" 33554433 -j2 ' ' "$DIR/empty"
