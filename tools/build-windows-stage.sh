#!/usr/bin/env bash
# Builds VekSearch.exe and lays it out beside the bundled sample data, so that its folder box
# opens on a folder with data. Prints the stage folder.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tools/setup-windows.sh >&2
timeout -k 10 300 cmake --preset windows >/dev/null
timeout -k 10 1200 cmake --build --preset windows -j 2 --target VekSearch >&2

stage="$PWD/build/windows/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp build/windows/ui/VekSearch.exe "$stage/"
cp -r samples/. "$stage/"
echo "$stage"
