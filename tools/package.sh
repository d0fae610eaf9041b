#!/usr/bin/env bash
# Builds the release package for Windows users: VekSearch-VERSION-win64.zip, one folder holding
# VekSearch.exe, vekgrep.exe, the guide 使い方.html, LICENSE.txt and the samples folder, and
# VekSearch-VERSION-win64.zip.sha256 beside it (sha256sum's format). VERSION is the CMake
# project's version, the one the programs show.
#
#   tools/package.sh [--out DIR] [--check]
#
# --out: where the zip goes (build/package). The programs come from the windows preset's build.
# The zip's bytes depend on the sources alone: entries in name order, every time stamp the
# commit's (SOURCE_DATE_EPOCH when set), the same attributes for all, and the programs linked
# without a time stamp. --check proves it: it builds the programs a second time in a fresh
# build folder, packages them again and compares the two zips byte for byte; then it unpacks
# the zip and starts VekSearch.exe from there under Wine (tests/ui's StartupTest), which must
# open on its own folder and find the samples, and runs vekgrep.exe there on a console.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
OUT=$ROOT/build/package CHECK=0
while (($#)); do
  case $1 in
    --out) OUT=$(realpath -m "$2"); shift ;;
    --check) CHECK=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}"
export SOURCE_DATE_EPOCH

# build DIR: the two programs of a Release build in DIR, made with the windows toolchain.
build() {
  timeout -k 10 300 cmake -S "$ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release > /dev/null
  timeout -k 10 1200 cmake --build "$1" -j 2 --target VekSearch vekgrep > /dev/null
}

# package BUILD OUTDIR: the zip and its checksum from the programs in BUILD; prints the zip.
package() {
  local version name stage
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
  name=VekSearch-$version-win64
  stage=$(mktemp -d)
  mkdir -p "$stage/$name" "$2"
  cp "$1/ui/VekSearch.exe" "$1/cli/vekgrep.exe" "$stage/$name/"
  cp -r samples "$stage/$name/samples"
  python3 tools/guide_html.py docs/使い方.md "$stage/$name/使い方.html"
  # Notepad of every Windows version reads CR LF.
  sed 's/$/\r/' LICENSE > "$stage/$name/LICENSE.txt"
  python3 - "$stage" "$2/$name.zip" <<'PY'
import os, sys, time, zipfile
stage, target = sys.argv[1:]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip's 1980 at least
paths = []
for folder, dirs, files in os.walk(stage):
    paths += [os.path.join(folder, n) for n in dirs + files]
with zipfile.ZipFile(target, "w") as archive:
    for path in sorted(paths, key=lambda p: os.path.relpath(p, stage).encode("utf-8")):
        name = os.path.relpath(path, stage).replace(os.sep, "/")
        folder = os.path.isdir(path)
        entry = zipfile.ZipInfo(name + "/" if folder else name, stamp)
        # Unix modes (so that unzip reads the names as the UTF-8 they are flagged as) and the
        # MS-DOS attribute directory or archive, which is what Windows reads.
        mode = 0o40755 if folder else 0o100755 if name.endswith(".exe") else 0o100644
        entry.create_system = 3
        entry.external_attr = mode << 16 | (0x10 if folder else 0x20)
        entry.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
        data = b"" if folder else open(path, "rb").read()
        archive.writestr(entry, data, compresslevel=9)
PY
  rm -rf "$stage"
  (cd "$2" && sha256sum "$name.zip" > "$name.zip.sha256")
  echo "$2/$name.zip"
}

tools/setup-windows.sh > /dev/null
timeout -k 10 300 cmake --preset windows > /dev/null
timeout -k 10 1200 cmake --build --preset windows -j 2 --target VekSearch vekgrep > /dev/null
zip=$(package build/windows "$OUT")
echo "package: $zip"
cat "$zip.sha256"
((CHECK)) || exit 0

# A build folder of another name, made from nothing: nothing of the first build can leak in.
again=$ROOT/build/package-check
rm -rf "$again"
build "$again/build"
second=$(package "$again/build" "$again")
if ! cmp "$zip" "$second"; then
  echo "package.sh: two builds of the same sources gave different zips" >&2
  exit 1
fi
echo "package: a second build gave the same bytes"

# Unpacked where a user would, started from there.
python3 -m zipfile -e "$zip" "$again/unpacked"
timeout -k 10 1200 cmake --build --preset windows -j 2 --target vekui_tests > /dev/null
# shellcheck source=wine-env.sh
source tools/wine-env.sh
vek_start_xvfb
folder=$(basename "$zip" .zip)
log=$(VEK_PACKAGE_DIR="Z:$(echo "$again/unpacked/$folder" | tr / '\\')" \
  tools/wine-run.sh build/windows/tests/ui/vekui_tests.exe --gtest_filter='StartupTest.*' 2>&1) ||
  { echo "$log"; exit 1; }
# A test that skipped or was not found passes too: it must have run.
grep -q '^\[       OK \] StartupTest' <<< "$log" || { echo "$log"; exit 1; }
echo "package: VekSearch.exe starts from the unpacked folder and finds its samples"
# vekgrep.exe on a console (a terminal, which Wine's console passes the text to): the
# Japanese it writes as UTF-16 arrives as the terminal's UTF-8.
shown=$(cd "$again/unpacked/$folder" &&
  timeout -k 5 60 script -qec "wine vekgrep.exe -r --color=never データ samples" /dev/null </dev/null |
  tr -d '\r' | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g')
grep -qx '基本問題.vek(1)：問2　ファイルシステムは、記憶装置上のデータをファイルとして管理する仕組みである。' <<< "$shown" ||
  { echo "package: vekgrep.exe on a console showed:"; echo "$shown"; exit 1; }
echo "package: vekgrep.exe shows Japanese on a console"
rm -rf "$again"
