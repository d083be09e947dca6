#!/usr/bin/env bash
# Makes docs/tavelin-desktop.png: Tavelin running under Wine's virtual desktop, with its tray
# icon, the start-up balloon, the About box (left click on the icon) and the menu (right
# click). Run it after scripts/test.sh has built everything:  bash docs/make-screenshot.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVELIN_BUILD:-$root/build}
"$root/tests/harness/wine-session.sh" "$build/i686/wine/template" bash -c '
    set -e
    wine "$1" &
    sleep 3
    xdotool mousemove 1356 758 click 1
    sleep 1
    xdotool mousemove 1356 758 click 3
    sleep 1
    import -window root "$2"
    wineserver -k
' shot "$build/i686/bin/Tavelin.exe" "$root/docs/tavelin-desktop.png"
echo "wrote $root/docs/tavelin-desktop.png"
