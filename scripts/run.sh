#!/usr/bin/env bash
# Builds Tavelin.exe and runs it under Wine on a private headless X server, in a Wine prefix
# kept inside the build tree. A start seeds the settings and captures the whole screen once;
# the command prints where the capture landed. Every process it started is stopped at the end.
. "$(dirname "$0")/common.sh"
tavelin_install_missing
tavelin_build i686 --target Tavelin >/dev/null
exe="$TAVELIN_BUILD/i686/bin/Tavelin.exe"
echo "Built $exe"
TAVELIN_KEEP_PREFIX="$TAVELIN_BUILD/i686/wine/run" \
    "$TAVELIN_ROOT/tests/harness/wine-session.sh" "$TAVELIN_BUILD/i686/wine/template" \
    bash -c '
        desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
        touch "$TAVELIN_SESSION/started"
        wine "$1"
        find "$desktop" -type f -newer "$TAVELIN_SESSION/started" -printf "Capture written to %p\n"
    ' run "$exe"
