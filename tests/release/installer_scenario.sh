#!/usr/bin/env bash
# Runs inside a Wine session (harness/wine-session.sh): the release's installer as a user meets
# it, and as winget runs it. A silent install into a folder of the user's (/D=); Tavelin started
# from there; a silent upgrade while it runs, into the same folder, which starts it again
# through the shell; a silent uninstall while it runs; and a silent install that cannot close a
# running copy.
#   installer_scenario.sh DIST CERTIFICATE DRIVER
# DIST holds a release signed with CERTIFICATE, built for what this kernel runs (a 64-bit one
# where it runs no 32-bit programs); DRIVER is the tests' installer_driver.exe.
set -euo pipefail
dist=$1 certificate=$2 driver=$3
setup=$(echo "$dist"/Tavelin-*-setup.exe)
version=${setup##*/Tavelin-}
version=${version%-setup.exe}
user="$WINEPREFIX/drive_c/users/$(id -un)"
installed="$WINEPREFIX/drive_c/Custom/Tavelin"
default="$user/AppData/Local/Programs/Tavelin"
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
copies() { pgrep -f 'Tavelin.Tavelin\.exe' || true; }
running() { [ -n "$(copies)" ]; }
ended() { [ -z "$(copies)" ]; }
captures() { ls "$user/Desktop" | grep -c '^Shot-.*\.jpg$' || true; }
temp=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
in_temp() { ls "$temp" | grep -i tavelin || true; }  # what of Tavelin is in %TEMP%
temp_clean() { [ -z "$(in_temp)" ]; }
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

wine "$setup" /S '/D=C:\Custom\Tavelin' || fail "the silent install failed"
for file in Uninstall.exe LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    [ -f "$installed/$file" ] || fail "no $file in $installed"
done
osslsigncode verify -CAfile "$certificate" -in "$installed/Uninstall.exe" | grep -q "Signature verification: ok" ||
    fail "the installed uninstaller carries no good signature"
unzip -p "$dist/Tavelin-$version-portable.zip" Tavelin.exe | cmp -s - "$installed/Tavelin.exe" ||
    fail "the installed Tavelin.exe is not the zip's"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
exe=$(winepath -w "$installed/Tavelin.exe" | tr -d '\r')
for entry in "DisplayName=Tavelin" "DisplayVersion=$version" "Publisher=Pellumry" "DisplayIcon=$exe,0" \
             "UninstallString=\"${exe%Tavelin.exe}Uninstall.exe\"" "QuietUninstallString=\"${exe%Tavelin.exe}Uninstall.exe\" /S _?=${exe%\\Tavelin.exe}" \
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

# The entry's InstallLocation is anyone's to write: pointed at an empty folder, it is not taken.
planted="$WINEPREFIX/drive_c/Planted"
mkdir -p "$planted"
wine reg add "$uninstall" /v InstallLocation /d 'C:\Planted' /f >/dev/null 2>&1
# Run as winget does: silent, and told no folder.
wine "$driver" run "$(winepath -w "$setup")" /S >"$TAVELIN_SESSION/upgrade.out" || fail "the silent upgrade failed"
eventually running || fail "the upgrade did not start Tavelin again"
[ ! -e "$default" ] || fail "the upgrade installed a second copy in $default"
installer=$(tr -d '\r' <"$TAVELIN_SESSION/upgrade.out" | sed -n 's/^installer //p')
parent=$(tr -d '\r' <"$TAVELIN_SESSION/upgrade.out" | sed -n "s/^tavelin's parent //p")
[ "${parent:-0}" != 0 ] && [ "$parent" != "$installer" ] ||
    fail "Tavelin's parent is ${parent:-not known}, the installer $installer"
after=$(copies)
[ "$(echo "$after" | wc -w)" = 1 ] && [ "$after" != "$before" ] ||
    fail "want one new copy after the upgrade: before $before, after $(echo $after)"
captures_after "$(captures)" || fail "the upgraded Tavelin does not capture"
[ -z "$(ls "$planted")" ] || fail "the upgrade wrote into the folder a planted InstallLocation names: $(ls "$planted")"
temp_clean || fail "left in %TEMP% after an upgrade: $(in_temp)"

# An exe at the name older uninstallers gave their copy in %TEMP%, put there by another program.
cp "$driver" "$temp/Tavelin-Uninstall.exe"
cp "$installed/Uninstall.exe" "$TAVELIN_SESSION/Uninstall.exe"

kept=$(cd "$user/Desktop" && sha256sum Shot-*.jpg)
sounds='HKCU\AppEvents\Schemes\Apps\Tavelin'
wine reg query "$sounds\TavelinCapture\.Current" >/dev/null 2>&1 || fail "Tavelin's Capture event is not in Sound settings"
# As the quiet uninstall string says, which returns once the uninstall is done.
wine "$installed/Uninstall.exe" /S "_?=${exe%\\Tavelin.exe}" || fail "the silent uninstall failed"
eventually test ! -e "$installed" || fail "left in $installed: $(ls "$installed")"
eventually ended || fail "the uninstall left Tavelin running"
[ ! -e "$shortcut" ] || fail "the shortcut is left"
wine reg query "$uninstall" >/dev/null 2>&1 && fail "the Apps & features entry is left"
[ -z "$(value "$run" Tavelin)" ] || fail "the Run value is left"
[ -z "$(value "$approved" Tavelin)" ] || fail "the StartupApproved value is left"
wine reg query "$sounds" >/dev/null 2>&1 && fail "Sound settings still list Tavelin"
wine reg query 'HKCU\AppEvents\EventLabels\TavelinCapture' >/dev/null 2>&1 && fail "the Capture event's label is left"
(cd "$user/Desktop" && echo "$kept" | sha256sum -c --quiet) || fail "captures touched"
[ -n "$(value 'HKCU\SOFTWARE\Tavelin' JpgName)" ] || fail "a silent uninstall removed the settings"
eventually temp_clean || fail "left in %TEMP% after the uninstall: $(in_temp)"

# A reinstall while the uninstall's last step waits (for an uninstall that stands for the one
# it finishes) keeps what it wrote.
finish="$temp/Tavelin-{00000000-0000-0000-0000-000000000000}"
mkdir -p "$finish" && cp "$TAVELIN_SESSION/Uninstall.exe" "$finish/"
wine "$driver" sleep 6000 >"$TAVELIN_SESSION/sleep.out" &
eventually grep -q '^pid' "$TAVELIN_SESSION/sleep.out" || fail "no process to wait for"
wine "$finish/Uninstall.exe" "/FINISH=$(tr -d '\r' <"$TAVELIN_SESSION/sleep.out" | sed -n 's/^pid //p')" "_?=C:\Custom\Tavelin" &
finisher=$!
wine "$setup" /S '/D=C:\Custom\Tavelin' || fail "the reinstall failed"
wait "$finisher"
[ -f "$installed/Uninstall.exe" ] || fail "the uninstall's last step deleted a reinstall's Uninstall.exe"
eventually temp_clean || fail "the last step's copy is left in %TEMP%: $(in_temp)"

# A running copy that does not close when asked: a silent install says so in its exit code.
wine "$driver" hold >"$TAVELIN_SESSION/hold.out" 2>&1 &
holder=$!
eventually grep -q holding "$TAVELIN_SESSION/hold.out" || fail "the stand-in holds nothing"
code=0
wine "$setup" /S || code=$?
[ "$code" = 3 ] || fail "a silent install beside a copy that stays exits with $code, not 3"
kill "$holder" 2>/dev/null || true
[ $status = 0 ] && echo "installed, started, upgraded while running, removed while running, and stopped by a copy that stays: all as expected"
exit $status
