#!/usr/bin/env bash
# Builds the Wine prefix that every test run copies, once per build tree (and again after a
# Wine upgrade or a change to what it holds): a 32-bit prefix (64-bit for the x86_64 build)
# that says it is Windows 10, as the systems users run do, whose user folders are real
# folders, with a virtual desktop that has a notification area, and no crash dialog waiting
# for a person.
set -euo pipefail
template=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

tavelin_wine_env "$template/prefix" "$template/home"
# What the template holds, after Wine's version: a template made for other contents is remade.
version="$(wine --version) win10"
if [ -f "$template/ready" ] && [ "$(cat "$template/ready")" = "$version" ]; then
    exit 0
fi

rm -rf "$template"
mkdir -p "$template/home"
unset DISPLAY  # wineboot needs no X server
wineboot -i >/dev/null 2>&1
wineserver -w

# A fresh prefix links Desktop, Documents and the rest to $HOME; the tests need folders of
# their own, or "the desktop" would be the home directory.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm "$link"
        mkdir "$link"
    fi
done

# Wine 8's prefixes say Windows 7 unless told otherwise; a test that needs another version sets
# it for Tavelin.exe alone (HKCU\Software\Wine\AppDefaults\Tavelin.exe, value Version).
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "${TAVELIN_SCREEN_SIZE:-1366x768}" /f >/dev/null 2>&1
wineserver -w
echo "$version" > "$template/ready"
