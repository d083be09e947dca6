#!/usr/bin/env bash
# Makes the pictures in docs/: Tavelin running under Wine's virtual desktop, cropped to what
# Tavelin shows (Wine draws caption buttons as letters where Windows draws symbols)
#   tavelin-tray.png      the tray icon, the start-up balloon and the menu (right click);
#   tavelin-settings.png  the settings dialog below its caption, opened from the menu.
# Run it after scripts/test.sh has built everything:  bash docs/make-screenshot.sh
. "$(dirname "$0")/../scripts/common.sh"
root=$TAVELIN_ROOT
build=$TAVELIN_BUILD
arch=$(tavelin_wine_build)
tavelin_use_build "$arch"
"$root/tests/harness/wine-session.sh" "$build/$arch/wine/template" bash -c '
    set -e
    wine "$1" &
    sleep 6
    # The balloon, then (once a click has closed it) the menu, side by side.
    import -window root "$TAVELIN_SESSION/balloon.png"
    xdotool mousemove 1250 700 click 1
    sleep 1
    xdotool mousemove 1356 758 click 3
    sleep 0.5
    xdotool mousemove 1000 600
    sleep 0.5
    import -window root "$TAVELIN_SESSION/menu.png"
    convert "$TAVELIN_SESSION/balloon.png" -crop 230x110+1136+658 +repage "$TAVELIN_SESSION/left.png"
    convert "$TAVELIN_SESSION/menu.png" -crop 230x110+1136+658 +repage "$TAVELIN_SESSION/right.png"
    convert "$TAVELIN_SESSION/left.png" "$TAVELIN_SESSION/right.png" -bordercolor white -border 4x0 +append \
        "$2/tavelin-tray.png"
    xdotool key Escape
    sleep 0.5
    xdotool mousemove 683 384 click 1
    sleep 1
    xdotool mousemove 1356 758 click 3
    sleep 0.5
    xdotool mousemove 1326 696 click 1  # "Settings", the menu'"'"'s second item
    sleep 1.5
    import -window root "$TAVELIN_SESSION/settings-full.png"
    # The dialog is centred on the screen, its caption 21 pixels high with the frame above.
    convert "$TAVELIN_SESSION/settings-full.png" -crop 359x189+503+290 +repage "$2/tavelin-settings.png"
    wineserver -k
' shot "$build/$arch/bin/Tavelin.exe" "$root/docs"
echo "wrote $root/docs/tavelin-tray.png and $root/docs/tavelin-settings.png"
