#!/usr/bin/env bash
# Runs a command inside a throwaway Wine session: a copy of the template prefix, a private
# headless X server and a persistent wineserver for that copy. Everything it started is
# stopped and the copy removed on every way out, so runs can go side by side (ctest -j).
#
#   wine-session.sh TEMPLATE_DIR COMMAND [ARGS...]
#
# Inside, WINEPREFIX, HOME and DISPLAY name the session's own; TAVELIN_SESSION is its folder.
# With TAVELIN_KEEP_PREFIX=DIR the prefix is DIR/prefix instead, made once and kept, so that
# what the program wrote can be looked at afterwards. With TAVELIN_USE_DISPLAY=1 the session
# uses the X display in DISPLAY instead of starting its own.
# TAVELIN_SCREEN (default 1366x768) sets the X screen's size, and the virtual desktop's with it;
# TAVELIN_SESSION_TIMEOUT (default 150 s, below CTest's own) bounds the command.
# TAVELIN_DISPLAYS="1024x768+0+0,1366x768+1024+0" gives Windows programs these displays (X
# screen places) instead of one virtual desktop, TAVELIN_PRIMARY_DISPLAY (0-based, default 0)
# naming the primary; Wine puts the primary at 0,0 and the others around it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
# A template for each Wine: a newer Wine upgrades an older one's prefix in place.
template=$(realpath -m "$1")-$(tavelin_wine_version)
shift

mkdir -p "$(dirname "$template")"
flock "$template.lock" "$here/make-template.sh" "$template" || exit 1

session=$(mktemp -d "$(dirname "$template")/session.XXXXXX")
home="$session/home"
prefix="$session/prefix"
if [ -n "${TAVELIN_KEEP_PREFIX:-}" ]; then
    home="$TAVELIN_KEEP_PREFIX/home"
    prefix="$TAVELIN_KEEP_PREFIX/prefix"
fi
xvfb_pid=""
cleanup() {
    trap - EXIT INT TERM
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

# Copy what Wine writes to; share the read-only system folder by hard links, which makes a
# session's prefix in a fraction of a second.
copy_template() {
    mkdir -p "$prefix/drive_c/windows" "$home"
    cd "$template/prefix"
    for entry in * .[!.]*; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        [ "$entry" = drive_c ] || cp -a "$entry" "$prefix/"
    done
    for entry in drive_c/*; do
        [ "$entry" = drive_c/windows ] || cp -a "$entry" "$prefix/drive_c/"
    done
    for entry in drive_c/windows/*; do
        if [ "$entry" = drive_c/windows/system32 ]; then
            cp -al "$entry" "$prefix/drive_c/windows/"
        else
            cp -a "$entry" "$prefix/drive_c/windows/"
        fi
    done
}
[ -f "$prefix/system.reg" ] || (copy_template)

# Wine sizes its virtual desktop from the registry, not from the X screen: a larger screen
# would otherwise show a 1366 x 768 desktop in its corner, and that is all a capture sees.
# Written into the file before the wineserver loads it, since a running desktop keeps its size.
if [ -n "${TAVELIN_SCREEN:-}" ]; then
    sed -i "s/^\"shell\"=\"[0-9]*x[0-9]*\"\$/\"shell\"=\"$TAVELIN_SCREEN\"/" "$prefix/user.reg"
fi

screen=${TAVELIN_SCREEN:-1366x768}
if [ -n "${TAVELIN_DISPLAYS:-}" ]; then
    if ! [[ $TAVELIN_DISPLAYS =~ ^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+(,[0-9]+x[0-9]+\+[0-9]+\+[0-9]+)*$ ]]; then
        echo "wine-session: TAVELIN_DISPLAYS wants WxH+X+Y,WxH+X+Y,...: $TAVELIN_DISPLAYS" >&2
        exit 1
    fi
    # Wine's X11 driver takes its monitors from Xinerama, once told not to use XRandR and
    # outside a virtual desktop (which is one monitor). Xvfb's own Xinerama heads all sit at
    # 0,0: one X screen covers them all, and a stand-in library cuts it into the heads.
    width=0 height=0
    for head in ${TAVELIN_DISPLAYS//,/ }; do
        IFS='x+' read -r w h x y <<<"$head"
        width=$((x + w > width ? x + w : width))
        height=$((y + h > height ? y + h : height))
    done
    screen=${width}x$height
    stand_in="$template-xinerama"
    bits=32
    [ "${TAVELIN_WINEARCH:-win32}" = win64 ] && bits=64
    (
        flock 9
        [ "$stand_in/libXinerama.so.1" -nt "$here/xinerama_stand_in.c" ] && exit 0
        mkdir -p "$stand_in" &&
            gcc -m$bits -shared -fPIC -O2 -Wall -o "$stand_in/new.so" "$here/xinerama_stand_in.c" &&
            mv "$stand_in/new.so" "$stand_in/libXinerama.so.1"
    ) 9>"$stand_in.lock" || {
        echo "wine-session: TAVELIN_DISPLAYS needs gcc -m$bits (Debian's gcc-multilib) for its libXinerama" >&2
        exit 1
    }
    export TAVELIN_XINERAMA_HEADS=$TAVELIN_DISPLAYS
    export LD_LIBRARY_PATH="$stand_in${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    sed -i '/^\[Software\\\\Wine\\\\Explorer\] /,/^$/{/^"Desktop"=/d}' "$prefix/user.reg"
    sed -i '/^\[Software\\\\Wine\\\\X11 Driver\] /,/^$/{/^"\(UseXRandR\|PrimaryMonitor\)"=/d}' "$prefix/user.reg"
    printf '\n[Software\\\\Wine\\\\X11 Driver] %s\n"UseXRandR"="N"\n"PrimaryMonitor"="%s"\n' \
        "$(date +%s)" "${TAVELIN_PRIMARY_DISPLAY:-0}" >>"$prefix/user.reg"
fi

if [ "${TAVELIN_USE_DISPLAY:-0}" != 1 ]; then
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp \
        3>"$session/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$session/display" ] && break
        sleep 0.05
    done
    if [ ! -s "$session/display" ]; then
        echo "wine-session: the X server did not start" >&2
        exit 1
    fi
    export DISPLAY=":$(cat "$session/display")"
fi

tavelin_wine_env "$prefix" "$home"
export TAVELIN_SESSION="$session"
wineserver -p

timeout --kill-after=5 "${TAVELIN_SESSION_TIMEOUT:-150}" "$@"
