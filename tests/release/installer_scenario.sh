#!/usr/bin/env bash
# Runs inside a Wine session (harness/wine-session.sh): the release's installer as a user meets
# it. A silent install; Tavelin started from the installed folder; a silent upgrade while it
# runs; a silent uninstall while it runs.
#   installer_scenario.sh DIST
set -euo pipefail
[ "$WINEARCH" = win32 ] || { echo "the installer is a 32-bit program, and this kernel runs none: skipped"; exit 77; }
dist=$1
setup=$(echo "$dist"/Tavelin-*-setup.exe)
version=${setup##*/Tavelin-}
version=${version%-setup.exe}
user="$WINEPREFIX/drive_c/users/$(id -un)"
installed="$user/AppData/Local/Programs/Tavelin"
shortcut="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tavelin.lnk"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin'
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
approved='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
trap 'wineserver -k 2>/dev/null || true' EXIT

value() {  # key name: the value's data as reg prints it, or nothing
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
copies() { pgrep -f 'Programs.Tavelin.Tavelin\.exe' || true; }
running() { [ -n "$(copies)" ]; }
ended() { [ -z "$(copies)" ]; }
captures() { ls "$user/Desktop" | grep -c '^Shot-.*\.jpg$' || true; }
eventually() {  # command...: true once the command is, within 20 s
    for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
    return 1
}
# Windows key + S until a capture more than $1 is on the desktop, whole: its temporary BMP goes
# once the JPEG is saved. The hotkeys are registered a moment after the start, and a press
# before that is lost.
captures_after() {
    for _ in $(seq 30); do
        xdotool key super+s
        for _ in $(seq 20); do
            [ "$(captures)" -gt "$1" ] && ! ls "$user/Desktop" | grep -q '\.bmp$' && return 0
            sleep 0.1
        done
    done
    return 1
}

wine "$setup" /S || fail "the silent install failed"
[ -f "$installed/Uninstall.exe" ] || fail "no Uninstall.exe in $installed"
unzip -p "$dist/Tavelin-$version-portable.zip" Tavelin.exe | cmp -s - "$installed/Tavelin.exe" ||
    fail "the installed Tavelin.exe is not the zip's"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
exe=$(winepath -w "$installed/Tavelin.exe" | tr -d '\r')
for entry in "DisplayName=Tavelin" "DisplayVersion=$version" "Publisher=Pellumry" "DisplayIcon=$exe,0" \
             "UninstallString=\"${exe%Tavelin.exe}Uninstall.exe\"" "QuietUninstallString=\"${exe%Tavelin.exe}Uninstall.exe\" /S" \
             "NoModify=0x1" "NoRepair=0x1"; do
    [ "$(value "$uninstall" "${entry%%=*}")" = "${entry#*=}" ] || fail "Apps & features: want $entry, have $(value "$uninstall" "${entry%%=*}")"
done
[ "$(($(value "$uninstall" EstimatedSize)))" -gt 100 ] || fail "EstimatedSize $(value "$uninstall" EstimatedSize)"
sleep 1
[ -z "$(copies)" ] || fail "a silent first install started Tavelin"

wine "$installed/Tavelin.exe" &
captures_after 0 || fail "the installed Tavelin does not capture"
[ "$(value "$run" Tavelin)" = "\"$exe\"" ] || fail "Run value $(value "$run" Tavelin)"
wine reg add "$approved" /v Tavelin /t REG_BINARY /d 030000000000000000000000 /f >/dev/null 2>&1
before=$(copies)

wine "$setup" /S || fail "the silent upgrade failed"
eventually running || fail "the upgrade did not start Tavelin again"
after=$(copies)
[ "$(echo "$after" | wc -w)" = 1 ] && [ "$after" != "$before" ] ||
    fail "want one new copy after the upgrade: before $before, after $(echo $after)"
captures_after "$(captures)" || fail "the upgraded Tavelin does not capture"

kept=$(cd "$user/Desktop" && sha256sum Shot-*.jpg)
wine "$installed/Uninstall.exe" /S || fail "the silent uninstall failed"
eventually test ! -e "$installed" || fail "left in $installed: $(ls "$installed")"
eventually ended || fail "the uninstall left Tavelin running"
[ ! -e "$shortcut" ] || fail "the shortcut is left"
wine reg query "$uninstall" >/dev/null 2>&1 && fail "the Apps & features entry is left"
[ -z "$(value "$run" Tavelin)" ] || fail "the Run value is left"
[ -z "$(value "$approved" Tavelin)" ] || fail "the StartupApproved value is left"
(cd "$user/Desktop" && echo "$kept" | sha256sum -c --quiet) || fail "captures touched"
[ -n "$(value 'HKCU\SOFTWARE\Tavelin' JpgName)" ] || fail "a silent uninstall removed the settings"
[ $status = 0 ] && echo "installed, started, upgraded while running and removed while running: all as expected"
exit $status
