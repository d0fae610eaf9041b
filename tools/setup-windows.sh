#!/usr/bin/env bash
# Installs what the Windows build and its tests need on Debian 12 (run as root), generates the
# Japanese locale and prepares the Wine prefix once. Safe to run again: every step is skipped
# when it has been done.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick
  fonts-ipafont-gothic fonts-ipafont-mincho locales cmake make googletest
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup-windows: missing packages: ${missing[*]} (run this script as root)" >&2
    exit 1
  fi
  echo "setup-windows: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null
fi

# Without the generated locale Wine falls back to code page 1252 (or garbles file names).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup-windows: locale ja_JP.UTF-8 missing (run this script as root)" >&2
    exit 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
if [[ -f $VEK_WINE_STAMP ]]; then
  exit 0
fi

echo "setup-windows: creating the Wine prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# Created without a display; the wineserver must be gone before anything runs with one.
(
  unset DISPLAY
  timeout -k 5 300 wineboot --init >"$WINEPREFIX/../wineboot.log" 2>&1 || {
    cat "$WINEPREFIX/../wineboot.log" >&2
    exit 1
  }
  timeout -k 5 120 wineserver -w
)

# Debian's Wine does not find its own fonts (no Marlett, no Tahoma) unless they are in the prefix.
cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"

reg_add() { timeout -k 5 60 wine reg add "$@" /f >/dev/null; }
# Wine draws its own frame (there is no window manager under Xvfb), crashes end at once.
reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
fonts='HKCU\Software\Wine\Fonts\Replacements'
while IFS='|' read -r face real; do
  reg_add "$fonts" /v "$face" /d "$real"
done <<'FACES'
ＭＳ ゴシック|IPAGothic
MS Gothic|IPAGothic
ＭＳ Ｐゴシック|IPAPGothic
MS PGothic|IPAPGothic
MS UI Gothic|IPAPGothic
ＭＳ 明朝|IPAMincho
MS Mincho|IPAMincho
ＭＳ Ｐ明朝|IPAPMincho
MS PMincho|IPAPMincho
FACES
timeout -k 5 120 wineserver -w
touch "$VEK_WINE_STAMP"
echo "setup-windows: Wine prefix ready"
