#!/usr/bin/env bash
# Builds Tavelin.exe and runs it under Wine, in a Wine prefix kept inside the build tree
# (build/i686/wine/run), never the user's own. On a kernel that runs no 32-bit programs it
# builds and runs the 64-bit Tavelin.exe instead (build/x86_64).
#
# With an X display (DISPLAY set), Tavelin runs there in Wine's virtual desktop, whose
# notification area holds its icon, until it is ended from its menu or with Ctrl+C.
# Without one, it runs on a private headless X server: the command presses Windows key + S
# once, prints the paths of the capture and of a screenshot of the desktop, and keeps the
# program running until Ctrl+C. Either way every process it started is stopped at the end.
. "$(dirname "$0")/common.sh"
tavelin_install_missing
arch=$(tavelin_wine_build)
tavelin_use_build "$arch"
tavelin_build "$arch" --target Tavelin >/dev/null
exe="$TAVELIN_BUILD/$arch/bin/Tavelin.exe"
run="$TAVELIN_BUILD/$arch/wine/run"
echo "Built $exe"

export TAVELIN_KEEP_PREFIX="$run" TAVELIN_SESSION_TIMEOUT=0
session="$TAVELIN_ROOT/tests/harness/wine-session.sh"
template="$TAVELIN_BUILD/$arch/wine/template"

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Tavelin on $DISPLAY; end it from its tray menu (Exit) or with Ctrl+C."
    TAVELIN_USE_DISPLAY=1 "$session" "$template" wine "$exe"
    exit 0
fi

"$session" "$template" bash -c '
    exe=$1 run=$2
    desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
    touch "$TAVELIN_SESSION/started"
    wine "$exe" &
    program=$!
    sleep 3
    xdotool key super+s
    # The JPEG is there once its temporary BMP is gone again (or kept, if the JPEG failed).
    for _ in $(seq 200); do
        capture=$(find "$desktop" -maxdepth 1 -name "Shot-*.jpg" -newer "$TAVELIN_SESSION/started" | head -n 1)
        if [ -n "$capture" ] && [ ! -e "${capture%.jpg}.bmp" ]; then break; fi
        capture=""
        sleep 0.1
    done
    sleep 1
    import -window root "$run/screenshot.png"
    echo "Tavelin is running on a headless display, with its icon in the tray."
    echo "Windows key + S wrote: ${capture:-nothing}"
    echo "Screenshot of the desktop: $run/screenshot.png"
    echo "Press Ctrl+C to stop."
    wait "$program"
' run "$exe" "$run"
