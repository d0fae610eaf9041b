#!/usr/bin/env bash
# Search throughput on the benchmark corpus, all measured in the same run: first the machine's
# read limit (the plain open/read/close loop of bench/read_limit.cpp over the same files, one
# process, and two processes on halves of the list for the two-thread ceiling), then MB/s per
# keyword set for vekgrep's search with one matching thread and with N, each against that
# limit, and the peer rg-pipe-j1 (bench/peer.sh: ripgrep, one thread, one "rg -F" per
# keyword). With --cold, then the same once each from a cold page cache. Then the
# search on a simulated slow file server (30,000 small files in 3,000 folders, every call
# waiting 0.2 ms and 1 ms) with many requests in flight against one at a time; that part
# takes about two and a half minutes (--no-slow-server leaves it out).
#
#   tools/bench.sh [--size 256M] [--seed 1] [--sets "a c d"] [--threads "1 2"] [--runs 10]
#                  [--cold] [--no-slow-server]
#
# The search is vekgrep itself, with -j for its matching threads, started directly (no shell;
# its own process start is in its time, while the limit's loop runs inside one process); rg
# needs a shell for its pipeline and runs through "bench/peer.sh rg-pipe-j1". The runs of every
# set and tool take turns, round after round, and the limit is measured before and after
# them (best of both), so that a slow spell of the machine falls on all of them alike. Output
# goes to a pipe, the page cache is warm. --cold: each set and tool, and the read limit, once
# more right after the page cache was dropped (needs a writable /proc/sys/vm/drop_caches,
# that is root; in a virtual machine the host's cache may still hold the files). The corpus
# is made with bench/make_corpus.py (from the Debian package debian-reference-ja) into
# build/bench/corpus-SIZE-sSEED unless it is there; its manifest has the exact hit count of
# each set, which every tool must reproduce before it is timed. The packages it needs
# (debian-reference-ja, ripgrep) are installed when missing, as root.
#
# Environment: BUILD       build folder (build/perf)
#              VEK_CORPUS  the corpus folder (build/bench/corpus-SIZE-sSEED)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/perf}
SIZE=256M SEED=1 SETS="a c d" THREADS="1 2" RUNS=10 SLOW=1 COLD=0

while (($#)); do
  case $1 in
    --size) SIZE=$2; shift ;;
    --seed) SEED=$2; shift ;;
    --sets) SETS=$2; shift ;;
    --threads) THREADS=$2; shift ;;
    --runs) RUNS=$2; shift ;;
    --no-slow-server) SLOW=0 ;;
    --cold) COLD=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done


for package in debian-reference-ja ripgrep; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" > /dev/null
done
if ((COLD)) && [[ ! -w /proc/sys/vm/drop_caches ]]; then
  echo "bench.sh: --cold: /proc/sys/vm/drop_caches is not writable here (run as root)" >&2
  exit 2
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD" -j2 --target vekgrep read_limit > /dev/null
((SLOW)) && cmake --build "$BUILD" -j2 --target vek_bench > /dev/null

CORPUS=${VEK_CORPUS:-$ROOT/build/bench/corpus-$SIZE-s$SEED}
[[ -f $CORPUS.manifest.json ]] || python3 "$ROOT/bench/make_corpus.py" --seed "$SEED" --size "$SIZE" "$CORPUS" > /dev/null
BYTES=$(find "$CORPUS/" -type f -iname '*.vek' -print0 | xargs -0 stat -c %s | awk '{s += $1} END {print s}')
find "$CORPUS/" -type f -iname '*.vek' -print0 | xargs -0 cat > /dev/null  # warm the cache

manifest() {  # manifest SET FIELD
  python3 -c 'import json, sys
s = json.load(open(sys.argv[1]))["keyword_sets"][sys.argv[2]]
print(" ".join(s["keywords"]) if sys.argv[3] == "keywords" else s["hits"])' "$CORPUS.manifest.json" "$1" "$2"
}

OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
RG=0
command -v rg > /dev/null && RG=1

# The read limit: best of read_limit's rounds, MB/s of the same bytes.
find "$CORPUS/" -type f -iname '*.vek' -print0 > "$OUT/list0"
read_limit() { "$BUILD/bench/read_limit" "$1" | awk '$1 == "read" {print $2}'; }
# Two loops at once over the two halves of the list: what two threads could read at most.
python3 - "$OUT/list0" <<'PY'
import sys
names = open(sys.argv[1], "rb").read().split(b"\0")[:-1]
for i, part in enumerate((names[0::2], names[1::2])):
    open("%s.%d" % (sys.argv[1], i), "wb").write(b"".join(n + b"\0" for n in part))
PY
# Appends one measure of each limit to limit1 and limit2. Each half is half the bytes:
# together they moved the corpus in the slower half's time.
measure_limits() {
  read_limit "$OUT/list0" >> "$OUT/limit1"
  read_limit "$OUT/list0.0" > "$OUT/limit-half0" & read_limit "$OUT/list0.1" > "$OUT/limit-half1"; wait
  sort -n "$OUT/limit-half0" "$OUT/limit-half1" | awk 'NR == 1 {printf "%.0f\n", 2 * $1}' >> "$OUT/limit2"
}
measure_limits

# Each set's hits checked, its peak memory taken, its commands listed for the timing.
: > "$OUT/commands"
declare -A RSS
for set in $SETS; do
  keywords=$(manifest "$set" keywords)
  expected=$(manifest "$set" hits)
  read -r -a words <<< "$keywords"
  rss=()
  for t in $THREADS; do
    got=$({ /usr/bin/time -f %M -o "$OUT/rss-$t" "$BUILD/cli/vekgrep" -j"$t" -r -- "$keywords" "$CORPUS" || true; } | wc -l)
    rss+=("$(awk 'END {printf "%.1f", $1 / 1024}' "$OUT/rss-$t")")
    [[ $got == "$expected" ]] || { echo "bench.sh: set $set, $t threads: $got hits, manifest says $expected" >&2; exit 1; }
    printf '%s\tj%s\t%s\0%s\0%s\0%s\0%s\0%s\n' "$set" "$t" "$BUILD/cli/vekgrep" "-j$t" -r -- "$keywords" "$CORPUS" >> "$OUT/commands"
  done
  RSS[$set]="${rss[*]}"
  if ((RG)); then
    got=$(bash "$ROOT/bench/peer.sh" rg-pipe-j1 "$CORPUS" "${words[@]}" | wc -l)
    [[ $got == "$expected" ]] || { echo "bench.sh: set $set, rg-pipe-j1: $got hits, manifest says $expected" >&2; exit 1; }
    printf '%s\trg\t%s\0%s\0%s' "$set" bash "$ROOT/bench/peer.sh" rg-pipe-j1 >> "$OUT/commands"
    printf '\0%s' "$CORPUS" "${words[@]}" >> "$OUT/commands"
    printf '\n' >> "$OUT/commands"
  fi
done

# One warm-up round, then RUNS rounds; in each, every command once, output read from a pipe.
python3 - "$OUT/commands" "$RUNS" > "$OUT/times.json" <<'PY'
import json, subprocess, sys, time
commands = []
for line in open(sys.argv[1], encoding="utf-8"):
    label, name, argv = line.rstrip("\n").split("\t", 2)
    commands.append((label + "/" + name, argv.split("\0")))
times = {key: [] for key, _ in commands}
for round in range(int(sys.argv[2]) + 1):
    for key, argv in commands:
        start = time.perf_counter()
        with subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as run:
            while run.stdout.read(1 << 20):
                pass
        if round > 0:
            times[key].append(time.perf_counter() - start)
json.dump(times, sys.stdout)
PY
measure_limits
LIMIT1=$(sort -rn "$OUT/limit1" | head -1)
LIMIT2=$(sort -rn "$OUT/limit2" | head -1)

echo "# $(date -u +%F), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# corpus $CORPUS: $BYTES bytes; $RUNS runs each, taking turns; median wall time, output to a pipe"
echo "# read limit (read_limit, open/read/close, best of 5, before and after the runs): one loop $LIMIT1 MB/s ($(paste -sd/ "$OUT/limit1")), two loops at once $LIMIT2 MB/s ($(paste -sd/ "$OUT/limit2"))"
echo "# \"of limit\": a thread count's best run against the one-loop limit's best"
echo
header="| set | keywords | hits"
rule="|---|---|---:"
for t in $THREADS; do header+=" | vekgrep j$t MB/s | of limit"; rule+="|---:|---:"; done
last=${THREADS##* } first=${THREADS%% *}
[[ $last != "$first" ]] && { header+=" | j$last / j$first"; rule+="|---:"; }
header+=" | peak MiB (${THREADS// / \/ } threads)"; rule+="|---:"
((RG)) && { header+=" | rg-pipe-j1 MB/s | vekgrep j1 / rg"; rule+="|---:|---:"; }
echo "$header |"
echo "$rule|"
for set in $SETS; do
  python3 - "$OUT/times.json" "$BYTES" "$LIMIT1" "$set" "$(manifest "$set" keywords)" "$(manifest "$set" hits)" "${RSS[$set]}" $THREADS <<'PY'
import json, statistics, sys
times = json.load(open(sys.argv[1]))
nbytes, limit = int(sys.argv[2]), float(sys.argv[3])
label, keywords, hits, rss, threads = *sys.argv[4:8], sys.argv[8:]
rate = lambda name, stat=statistics.median: nbytes / stat(times[label + "/" + name]) / 1e6
row = [label, keywords, hits]
for t in threads:
    row += ["%.0f" % rate("j" + t), "%.0f %%" % (100 * rate("j" + t, min) / limit)]
if len(threads) > 1:
    row.append("%.2f×" % (rate("j" + threads[-1]) / rate("j" + threads[0])))
row.append(rss.replace(" ", " / "))
if label + "/rg" in times:
    row += ["%.0f" % rate("rg"), "%.1f×" % (rate("j" + threads[0]) / rate("rg"))]
print("| " + " | ".join(row) + " |")
PY
done

if ((COLD)); then
  # Each command once after the page cache was dropped; the limit once the same way.
  python3 - "$OUT/commands" "$BYTES" "$BUILD/bench/read_limit" "$OUT/list0" <<'PY'
import os, subprocess, sys, time
def drop():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")
def timed(argv):
    drop()
    start = time.perf_counter()
    with subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as run:
        while run.stdout.read(1 << 20):
            pass
    return time.perf_counter() - start
nbytes = int(sys.argv[2])
limit = timed([sys.argv[3], sys.argv[4], "1"])
print()
print("# cold page cache (dropped before each run, one run each): read limit %.0f MB/s (%.2f s)" % (nbytes / limit / 1e6, limit))
print()
rows, tools = {}, []
for line in open(sys.argv[1], encoding="utf-8"):
    label, name, argv = line.rstrip("\n").split("\t", 2)
    tools += [name] if name not in tools else []
    rows.setdefault(label, {})[name] = timed(argv.split("\0"))
print("| set | " + " | ".join("%s s (MB/s)" % t for t in tools) + " |")
print("|---|" + "---:|" * len(tools))
for label, times in rows.items():
    print("| %s | " % label + " | ".join("%.2f (%.0f)" % (times[t], nbytes / times[t] / 1e6) for t in tools) + " |")
PY
fi

((SLOW)) || exit 0
echo
echo "# slow file server: $("$BUILD/bench/vek_bench" --benchmark_list_tests --benchmark_filter=SlowServer | wc -l) runs of one search each, every call waiting the latency"
echo
"$BUILD/bench/vek_bench" --benchmark_filter=SlowServer --benchmark_format=json \
  --benchmark_out="$OUT/slow.json" > /dev/null 2>&1
python3 - "$OUT/slow.json" <<'PY'
import json, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("error_occurred"):
        sys.exit("bench.sh: slow server: %s: %s" % (b["name"], b.get("error_message")))
    way, latency = b["name"].split("/")[1:3]
    runs.setdefault(int(latency), {})[way] = b
print("| latency per call | calls | one at a time | in flight | speed-up | most calls in flight | peak MiB (one / many) | hits |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
for latency, r in sorted(runs.items()):
    one, many = r["one_at_a_time"], r["concurrent"]
    print("| %.1f ms | %d | %.2f s | %.2f s | %.1f× | %d | %.1f / %.1f | %d |" % (
        latency / 1000, one["calls"], one["real_time"] / 1000, many["real_time"] / 1000,
        one["real_time"] / many["real_time"], many["most_in_flight"],
        one["peak_MiB"], many["peak_MiB"], many["hits"]))
PY
