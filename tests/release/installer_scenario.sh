#!/usr/bin/env bash
# Runs inside a Wine session (harness/wine-session.sh): the release's installer as a user meets
# it, and as winget runs it. A silent install into a folder of the user's (/D=); Tavelin started
# from there; a silent upgrade while it runs, into the same folder, which starts it again
# through the shell; a silent uninstall while it runs; an upgrade that moves it; and a silent
# install beside another installer on its last page, one still writing, and a running copy that
# cannot be closed.
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
# The names of the uninstalls' hand-over folders, as %TEMP% shows them meanwhile.
(while kill -0 $$ 2>/dev/null; do ls "$temp"; sleep 0.05; done >"$TAVELIN_SESSION/temp.seen" 2>/dev/null) &
watcher=$!
# As the quiet uninstall string says, which returns once the uninstall is done; started in the
# install folder, its working folder then.
(cd "$installed" && wine "$installed/Uninstall.exe" /S "_?=${exe%\\Tavelin.exe}") || fail "the silent uninstall failed"
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

# Moved by /D= (winget install --location): the entry and the start at logon go along, and the
# old folder goes. Then a second quiet uninstall, to hand over through a folder of a new name.
moved="$WINEPREFIX/drive_c/Moved/Tavelin"
wine reg add "$run" /v Tavelin /d "\"$exe\"" /f >/dev/null 2>&1
wine "$setup" /S '/D=C:\Moved\Tavelin' || fail "the upgrade into another folder failed"
unzip -p "$dist/Tavelin-$version-portable.zip" Tavelin.exe | cmp -s - "$moved/Tavelin.exe" || fail "no Tavelin.exe moved into $moved"
[ "$(value "$uninstall" InstallLocation)" = 'C:\Moved\Tavelin' ] &&
    [ "$(value "$uninstall" QuietUninstallString)" = '"C:\Moved\Tavelin\Uninstall.exe" /S _?=C:\Moved\Tavelin' ] ||
    fail "the entry does not name the new folder: $(value "$uninstall" QuietUninstallString)"
[ "$(value "$run" Tavelin)" = '"C:\Moved\Tavelin\Tavelin.exe"' ] || fail "the Run value after a move: $(value "$run" Tavelin)"
[ ! -e "$installed" ] || fail "the move left $(ls "$installed" | tr '\n' ' ')in the old folder"
wine "$moved/Uninstall.exe" /S '_?=C:\Moved\Tavelin' || fail "the second silent uninstall failed"
eventually temp_clean || fail "left in %TEMP% after the second uninstall: $(in_temp)"
kill "$watcher"
[ "$(sort -u "$TAVELIN_SESSION/temp.seen" | grep -vxF "${finish##*/}" | grep -cxE 'Tavelin-\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}')" = 2 ] ||
    fail "want two hand-over folders of new names, saw $(sort -u "$TAVELIN_SESSION/temp.seen" | grep Tavelin- | tr '\n' ' ')"

# An installer on its last page holds nothing: a silent one started meanwhile gets on with it.
wine "$setup" >/dev/null 2>&1 &
interactive=$!
# Return on its first page only: one that reached the last page would end it.
for _ in $(seq 10); do
    xdotool key Return
    for _ in $(seq 30); do [ -e "$default" ] && break 2; sleep 0.1; done
done
eventually test -e "$default/Uninstall.exe" || fail "the interactive installer did not install"
wine "$setup" /S || fail "a silent install while another installer shows its last page exits with $?"
kill -0 "$interactive" 2>/dev/null && kill "$interactive" || fail "the interactive installer did not stay on its last page"

# A running copy that does not close when asked, and an installer that does not finish writing
# (waited for a minute): a silent install says so in its exit code.
for stand_in in "3 hold" "5 hold Local\\Tavelin.Setup"; do
    wine "$driver" ${stand_in#* } >"$TAVELIN_SESSION/hold.out" 2>&1 &
    holder=$!
    eventually grep -q holding "$TAVELIN_SESSION/hold.out" || fail "the stand-in holds nothing"
    code=0
    timeout 100 wine "$setup" /S || code=$?
    [ "$code" = "${stand_in%% *}" ] || fail "a silent install beside installer_driver ${stand_in#* } exits with $code, not ${stand_in%% *}"
    kill "$holder" 2>/dev/null || true
done
[ $status = 0 ] && echo "installed, started, upgraded while running, removed while running, moved, and stopped by another installer and by a copy that stays: all as expected"
exit $status
