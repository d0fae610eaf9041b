#!/usr/bin/env bash
# Installs what the Linux build and tests need on a Debian 12 machine (run as root).
# Does nothing when everything is there already.
set -euo pipefail

# debian-reference-ja: the Japanese text the benchmark corpus is made of.
packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          python3 clang-format debian-reference-ja)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

echo "install-deps: installing ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: need root to install packages (run as root or install them yourself)" >&2
  exit 2
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
