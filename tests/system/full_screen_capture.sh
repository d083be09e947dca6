#!/usr/bin/env bash
# Runs inside a Wine session (harness/wine-session.sh). Starts Tavelin.exe, presses Windows
# key + S as an X keyboard would, and holds the JPEG against what the X server itself shows
# (within JPEG's loss: a PSNR of 35 dB or more; a screen of flat colours and text gives about
# 47); then restarts it, since numbering starts at 1 again with every run, and checks that a
# user's older files are left alone.
set -euo pipefail
exe=$1
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
work="$TAVELIN_SESSION"
fail() { echo "FAIL: $*" >&2; exit 1; }

program=""
stop_program() {
    [ -n "$program" ] || return 0
    wineserver -k 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
}
trap stop_program EXIT

# Waits for the icon in the notification area's first place, bottom right: the hotkeys are
# registered right after it is added.
start_program() {
    wine "$exe" &
    program=$!
    for _ in $(seq 200); do
        import -window root "$work/tray.png"
        colours=$(convert "$work/tray.png" -crop 16x16+1348+750 +repage -format %k info:)
        [ "$colours" -gt 8 ] && { sleep 0.5; return 0; }
        sleep 0.1
    done
    fail "no tray icon"
}

wait_for() {  # file
    for _ in $(seq 100); do
        [ -s "$1" ] && { sleep 0.5; return 0; }
        sleep 0.1
    done
    return 1
}

same_screens() {  # a b
    [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = 0 ]
}

# The start-up balloon comes and goes on its own: a capture is held against the screen only
# while nothing else on it changes.
start_program
matched=""
for attempt in 1 2 3 4 5; do
    import -window root "$work/before.png"
    xdotool key super+s
    wait_for "$desktop/Shot-$attempt.jpg" || fail "no Shot-$attempt.jpg on the desktop: $(ls "$desktop")"
    import -window root "$work/after.png"
    same_screens "$work/before.png" "$work/after.png" || continue
    size=$(identify -format '%wx%h' "$desktop/Shot-$attempt.jpg")
    [ "$size" = "$(identify -format '%wx%h' "$work/after.png")" ] || fail "capture is $size"
    psnr=$(compare -alpha off -metric PSNR "$desktop/Shot-$attempt.jpg" "$work/after.png" null: 2>&1 || true)
    awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 35) }' ||
        fail "PSNR $psnr dB against the X server's screen"
    matched=$attempt
    break
done
[ -n "$matched" ] || fail "the screen never stood still"
[ -z "$(ls "$desktop" | grep '\.bmp$' || true)" ] || fail "a temporary BMP was left: $(ls "$desktop")"
echo "capture of $size matches the X server's screen (PSNR $psnr dB)"
stop_program

rm -f "$desktop"/Shot-*
printf mine >"$desktop/Shot-1.jpg"
printf mine >"$desktop/Shot-2.bmp"
start_program
xdotool key super+s
wait_for "$desktop/Shot-3.jpg" || fail "expected Shot-3: $(ls "$desktop")"
xdotool key super+s
wait_for "$desktop/Shot-4.jpg" || fail "expected Shot-4: $(ls "$desktop")"
[ "$(cat "$desktop/Shot-1.jpg")" = mine ] || fail "Shot-1.jpg was replaced"
[ "$(cat "$desktop/Shot-2.bmp")" = mine ] || fail "Shot-2.bmp was replaced"
echo "older files kept, new captures numbered 3 and 4"
