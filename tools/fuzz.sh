#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset, clang) and replays the committed corpus
# through each of them: a quick regression check. With --run SECONDS, fuzzes each target for
# that long instead, keeping what it finds under build/fuzz/. Installs nothing.
#   tools/fuzz.sh                 replay fuzz/corpus/<target>/*
#   tools/fuzz.sh --run 300       fuzz each target for 300 seconds
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(highlight)
seconds=0
case "${1:-}" in
  "") ;;
  --run)
    seconds=${2:-}
    if [[ ! $seconds =~ ^[1-9][0-9]*$ ]]; then
      echo "usage: tools/fuzz.sh [--run SECONDS]" >&2
      exit 2
    fi
    ;;
  *)
    echo "usage: tools/fuzz.sh [--run SECONDS]" >&2
    exit 2
    ;;
esac

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ not found; the fuzz targets need clang with libFuzzer" \
       "(Debian: clang libclang-rt-14-dev, installed by tools/install-deps.sh)" >&2
  exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 --target "${targets[@]/#/fuzz_}"

bin=build/fuzz/fuzz
for t in "${targets[@]}"; do
  if ((seconds == 0)); then
    echo "fuzz.sh: replaying fuzz/corpus/$t"
    # Files given one by one are each run once; a failing input stops with its message.
    "$bin/fuzz_$t" fuzz/corpus/"$t"/* 2>"$bin/fuzz_$t.log" || {
      cat "$bin/fuzz_$t.log" >&2
      echo "fuzz.sh: $t failed on the committed corpus" >&2
      exit 1
    }
  else
    echo "fuzz.sh: fuzzing $t for $seconds s"
    work=build/fuzz/corpus/$t
    mkdir -p "$work" build/fuzz/artifacts
    dict=()
    [[ -f fuzz/$t.dict ]] && dict=(-dict="fuzz/$t.dict")
    # New inputs go to the working corpus; the committed one is only read.
    "$bin/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix=build/fuzz/artifacts/"$t"- "$work" fuzz/corpus/"$t"
  fi
done
echo "fuzz.sh: all targets passed"
