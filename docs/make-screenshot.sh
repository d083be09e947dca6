#!/usr/bin/env bash
# Makes the pictures in docs/: Tavelin running under Wine's virtual desktop
#   tavelin-desktop.png   the tray icon, the start-up balloon, the About box (left click on
#                         the icon) and the menu (right click);
#   tavelin-settings.png  the settings dialog, opened from the menu.
# Run it after scripts/test.sh has built everything:  bash docs/make-screenshot.sh
. "$(dirname "$0")/../scripts/common.sh"
root=$TAVELIN_ROOT
build=$TAVELIN_BUILD
arch=$(tavelin_wine_build)
tavelin_use_build "$arch"
"$root/tests/harness/wine-session.sh" "$build/$arch/wine/template" bash -c '
    set -e
    wine "$1" &
    sleep 3
    xdotool mousemove 1356 758 click 1
    sleep 1
    xdotool mousemove 1356 758 click 3
    sleep 1
    import -window root "$2/tavelin-desktop.png"
    xdotool key Escape
    sleep 0.5
    xdotool mousemove 683 384 click 1
    sleep 1
    xdotool mousemove 1356 758 click 3
    sleep 0.5
    xdotool mousemove 1326 696 click 1  # "Settings", the menu'"'"'s first item
    sleep 1.5
    import -window root "$TAVELIN_SESSION/settings-full.png"
    # The dialog is centred on the screen.
    convert "$TAVELIN_SESSION/settings-full.png" -crop 376x196+496+275 +repage "$2/tavelin-settings.png"
    wineserver -k
' shot "$build/$arch/bin/Tavelin.exe" "$root/docs"
echo "wrote $root/docs/tavelin-desktop.png and $root/docs/tavelin-settings.png"
