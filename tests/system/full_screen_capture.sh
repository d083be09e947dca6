#!/usr/bin/env bash
# Runs inside a Wine session (harness/wine-session.sh). Starts Tavelin.exe, which captures the
# whole screen once, and holds the file against what the X server itself shows; then checks
# that later runs, whose numbering starts at 1 again, leave a user's older files alone.
set -euo pipefail
exe=$1
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
work="$TAVELIN_SESSION"
fail() { echo "FAIL: $*" >&2; exit 1; }

wine "$exe"
[ -f "$desktop/Shot-1.bmp" ] || fail "no Shot-1.bmp on the desktop: $(ls "$desktop")"
import -window root "$work/screen.png"
size=$(identify -format '%wx%h' "$desktop/Shot-1.bmp")
[ "$size" = "$(identify -format '%wx%h' "$work/screen.png")" ] || fail "capture is $size"
# The fourth byte of a 32-bit screen pixel is no alpha.
differing=$(compare -alpha off -metric AE "$desktop/Shot-1.bmp" "$work/screen.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "$differing pixels differ from the X server's screen"
echo "capture of $size equals the X server's screen"

rm "$desktop/Shot-1.bmp"
printf mine >"$desktop/Shot-1.jpg"
printf mine >"$desktop/Shot-2.bmp"
wine "$exe"
wine "$exe"
[ "$(cat "$desktop/Shot-1.jpg")" = mine ] || fail "Shot-1.jpg was replaced"
[ "$(cat "$desktop/Shot-2.bmp")" = mine ] || fail "Shot-2.bmp was replaced"
[ -s "$desktop/Shot-3.bmp" ] && [ -s "$desktop/Shot-4.bmp" ] || fail "expected Shot-3 and Shot-4: $(ls "$desktop")"
echo "older files kept, new captures numbered 3 and 4"
