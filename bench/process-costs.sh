#!/usr/bin/env bash
# Runs inside a Wine session (tests/harness/wine-session.sh) and measures the running
# Tavelin.exe from the Linux side, where Wine's process is an ordinary one: its anonymous
# resident memory and its processor time. Prints "key=value" lines.
#
#   process-costs.sh BIN memory CAPTURES   idle, peak in one capture, after CAPTURES captures,
#                                          without the capture sign
#   process-costs.sh BIN sign CAPTURES     the capture sign's time on screen, memory and processor
#                                          time, each press once the last sign has gone
#   process-costs.sh BIN startup COUNT     process start to tray icon, COUNT times
#   process-costs.sh BIN idle SECONDS      processor time and wake-ups while it waits, as on
#                                          Windows 10 and 11 (keys registered and hooked)
#   process-costs.sh BIN idle-windows7 SECONDS  the same as on Windows 7 (keys registered only)
#   process-costs.sh BIN keys COUNT        the hook's cost per key and press to WM_HOTKEY
set -euo pipefail
bin=$1 mode=$2 count=$3
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
exe="$bin/Tavelin.exe"

# A pause that starts no process, so that polling stays cheap.
exec {never}<> <(:)
pause() { read -r -t "$1" -u "$never" _ || true; }

fail() { echo "process-costs: $*" >&2; exit 1; }

# The Linux process of this session's Tavelin.exe: Wine names the process after the program,
# and other sessions' programs have other prefixes.
program_pid() {
    local pid
    for pid in $(pgrep -x Tavelin.exe); do
        if { tr "\0" "\n" <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

status_kib() {  # pid field
    awk -v field="$2:" '$1 == field { print $2 }' "/proc/$1/status"
}

# Anonymous and shared resident memory together: Wine keeps a window's picture in shared memory,
# which the X server reads.
resident_kib() {  # pid
    awk '$1 == "RssAnon:" || $1 == "RssShmem:" { n += $2 } END { print n }' "/proc/$1/status"
}

# The process's processor time in clock ticks: user and system.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }
per_capture_ms() {  # ticks captures
    awk -v t="$1" -v n="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.0f", t * 1000 / hz / n }'
}

# Windows' client-area animations, stored, before Tavelin starts: it shows its capture sign
# only where they are on.
animations() {  # on|off
    wine "$bin/tavelin_bench.exe" animations "$1" >/dev/null 2>&1 || fail "the animations did not turn $1"
}

# The test picture covers the screen, as in the timed runs.
show_picture() {
    wine "$bin/tavelin_bench.exe" picture >"$TAVELIN_SESSION/picture.out" 2>&1 &
    for _ in $(seq 300); do
        grep -q shown "$TAVELIN_SESSION/picture.out" 2>/dev/null && return 0
        pause 0.05
    done
    fail "the test picture did not show"
}

start_program() {
    wine "$exe" >/dev/null 2>&1 &
    for _ in $(seq 300); do
        pid=$(program_pid) && return 0
        pause 0.05
    done
    fail "Tavelin.exe did not start"
}

# Presses Windows key + S and waits until capture n is finished: its JPEG is there and its
# temporary BMP gone again.
capture() {  # n
    xdotool key super+s
    for _ in $(seq 3000); do
        [ -s "$desktop/Shot-$1.jpg" ] && [ ! -e "$desktop/Shot-$1.bmp" ] && return 0
        pause 0.01
    done
    fail "capture $1 did not finish: $(ls "$desktop")"
}

case $mode in
memory)
    # The captures alone: the sign is measured apart (mode sign). Under Wine 8 each window that
    # comes or goes has its thread take the modifier keys from the X server as they were when
    # the server sent that event; read after a press's Windows key went down, that says up, and
    # the press captures nothing. The sign comes after every capture, just as the next press is
    # sent.
    animations off
    show_picture
    start_program
    # Started, its balloon shown and gone: the program only waits now.
    pause 14
    idle=$(status_kib "$pid" RssAnon)
    echo "memory.idle_kib=$idle"

    # The peak of one capture: sampled every 2 ms, and the kernel's high-water mark of the
    # whole resident set, reset just before, as a check on the sampling.
    echo 5 >"/proc/$pid/clear_refs"
    rss_before=$(status_kib "$pid" VmRSS)
    peak=$idle
    done_file="$TAVELIN_SESSION/captured"
    (capture 1; pause 1; touch "$done_file") &
    capturer=$!
    while [ ! -e "$done_file" ]; do
        value=$(status_kib "$pid" RssAnon)
        [ "$value" -gt "$peak" ] && peak=$value
        pause 0.002
    done
    wait "$capturer"
    echo "memory.peak_kib=$peak"
    echo "memory.hwm_rise_kib=$(( $(status_kib "$pid" VmHWM) - rss_before ))"
    rm -f "$desktop/Shot-1.jpg"
    echo "memory.after_1_kib=$(status_kib "$pid" RssAnon)"

    ticks_before=$(ticks)
    for n in $(seq 2 "$count"); do
        capture "$n"
        rm -f "$desktop/Shot-$n.jpg"
    done
    ticks_after=$(ticks)
    pause 2
    echo "memory.after_all_kib=$(status_kib "$pid" RssAnon)"
    echo "memory.captures=$count"
    echo "memory.cpu_ms_per_capture=$(per_capture_ms $((ticks_after - ticks_before)) $((count - 1)))"
    animations on
    ;;
sign)
    animations on
    show_picture
    start_program
    pause 14
    idle=$(resident_kib "$pid")
    signs="$TAVELIN_SESSION/signs.out"
    wine "$bin/tavelin_bench.exe" signs "$count" >"$signs" 2>&1 &
    watcher=$!
    for _ in $(seq 300); do
        grep -q "^signs.watching=" "$signs" 2>/dev/null && break
        pause 0.05
    done
    # Sampled every 2 ms from the moment the sign is seen until it is seen gone, when the
    # capture has already given back its own memory.
    peak=$idle
    ticks_before=$(ticks)
    for n in $(seq "$count"); do
        xdotool key super+s
        for _ in $(seq 3000); do
            grep -q "^sign\.$n\.shown=" "$signs" && break
            pause 0.01
        done
        grep -q "^sign\.$n\.shown=" "$signs" || fail "capture $n showed no sign: $(ls "$desktop"; cat "$signs")"
        until grep -q "^sign\.$n\.gone_ms=" "$signs"; do
            value=$(resident_kib "$pid")
            [ "$value" -gt "$peak" ] && peak=$value
            kill -0 "$watcher" 2>/dev/null || fail "the sign of capture $n: $(cat "$signs")"
            pause 0.002
        done
        [ -s "$desktop/Shot-$n.jpg" ] && [ ! -e "$desktop/Shot-$n.bmp" ] ||
            fail "capture $n did not finish: $(ls "$desktop")"
        rm -f "$desktop/Shot-$n.jpg"
        # Every thread has read the X server's events of the sign's going before the next
        # press comes.
        pause 0.5
    done
    ticks_after=$(ticks)
    wait "$watcher" || fail "the signs: $(cat "$signs")"
    pause 2
    tr -d '\r' <"$signs" | grep "^sign\.on_screen\."
    echo "sign.captures=$count"
    echo "sign.idle_kib=$idle"
    echo "sign.peak_kib=$peak"
    echo "sign.after_all_kib=$(resident_kib "$pid")"
    echo "sign.shared_after_all_kib=$(status_kib "$pid" RssShmem)"
    echo "sign.cpu_ms_per_capture=$(per_capture_ms $((ticks_after - ticks_before)) "$count")"
    ;;
startup|keys)
    wine "$bin/tavelin_bench.exe" "$mode" "$(winepath -w "$exe")" "$count" | tr -d '\r'
    ;;
idle|idle-windows7)
    # The session's prefix says Windows 10; Wine reads a program's own version at its start.
    if [ "$mode" = idle-windows7 ]; then
        wine reg add 'HKCU\Software\Wine\AppDefaults\Tavelin.exe' /v Version /d win7 /f >/dev/null 2>&1
    fi
    start_program
    pause 14
    switches() {
        cat /proc/"$pid"/task/*/status |
            awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n }'
    }
    ticks_before=$(ticks) switches_before=$(switches)
    pause "$count"
    ticks_after=$(ticks) switches_after=$(switches)
    echo "idle.seconds=$count"
    echo "idle.cpu_ms=$(( (ticks_after - ticks_before) * 1000 / $(getconf CLK_TCK) ))"
    echo "idle.wakeups=$(( switches_after - switches_before ))"
    echo "idle.threads=$(ls /proc/"$pid"/task | wc -l)"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
