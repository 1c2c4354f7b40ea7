#!/usr/bin/env bash
# The Windows installer in a fresh Wine prefix, in a network namespace of its
# own beside the Linux build's relay and web service, the web service under
# the build's own authority, which the host's store does not hold: a silent
# install; its files, Start-menu shortcut and uninstall entry; the installed
# client, started by its shortcut, reaching both services with the authority
# shipped beside it; an install refused while the client runs; an upgrade in
# place by a newer version; a silent uninstall that leaves nothing behind.
# Usage: installer_on_wine.sh <marvok-setup.exe> <marvok-setup.nsi> <web-service folder> <Linux build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tests/support/wine_network.sh"
enter_private_network "$@"
[[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null || { echo "needs an X display and xdotool"; exit 77; }
setup=$(realpath "$1") script=$(realpath "$2") certificates=$(realpath "$3") linux=$(realpath "$4")
work=$MARVOK_SERVICE_DIR

use_wine_prefix "$(dirname "$setup")/wine-prefix-setup"
rm -rf "$MARVOK_WINE_PREFIX"
serve_network "$linux" "$certificates"
wine_run() { "$root/tests/support/under_wine.sh" "$@" 2>/dev/null; }

failures=0 checks=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}" >/dev/null 2>&1; then echo "ok    $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
folder=$MARVOK_WINE_PREFIX/drive_c/Program\ Files/Marvok
shortcut=$MARVOK_WINE_PREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Marvok.lnk
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marvok'
entry() { wine_run reg query "$key" /v "$1" | tr -d '\r' | awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
installs() { wine_run "$1" /S; }
client_ended() { ! pgrep -f 'Marvok.marvok\.exe'; }
# The registry is written to system.reg once the prefix's wineserver has ended.
no_uninstall_entry() { ! grep -qF 'Uninstall\\Marvok]' "$MARVOK_WINE_PREFIX/system.reg"; }
host_menus_untouched() { ! grep -rqs Marvok "$HOME/.local/share/applications" "$HOME/.config/menus"; }
resources=(btn-fleche.bmp btn-param.bmp doc_img.bmp synthe_1.bmp 0.bmp 10.bmp vu_meter_2.bmp mini_leds.bmf
  electron-animation.gif chimes.wav)
version=$(basename "$setup" .exe)
version=${version#marvok-setup-}

check "a silent install ends with exit code 0" installs "$setup"
for file in marvok.exe uninstall.exe marvok-web-ca.pem "${resources[@]}"; do
  check "$file is installed" test -s "$folder/$file"
done
check "the shipped authority is the build's" cmp "$folder/marvok-web-ca.pem" "$certificates/ca.pem"
check "the Start-menu shortcut is there" test -s "$shortcut"
check "the uninstall entry names Marvok $version" test "$(entry DisplayVersion)" = "$version"
check "with its quiet uninstall" test "$(entry QuietUninstallString)" = '"C:\Program Files\Marvok\uninstall.exe" /S'
for name in DisplayName Publisher DisplayIcon UninstallString InstallLocation EstimatedSize NoModify NoRepair; do
  check "and its $name" test -n "$(entry "$name")"
done

# Started as the Start menu does, in the shortcut's working folder. The test's
# authority is nowhere in the host's store: only the shipped file vouches for it.
wine_run start /unix "$shortcut" &
check "the installed client joins the relay" wait_for 40 grep -q 'joined channel' "$work/relay.log"
check "and identifies itself to the web service" wait_for 20 grep -q 'Tr8mQe2xVk.php' "$work/web.log"

# An upgrade while the client runs is refused and changes nothing.
cp "$folder/chimes.wav" "$work/chimes.wav"
: >"$folder/chimes.wav"
status=0
installs "$setup" || status=$?
check "an install while the client runs gives up with exit code 2: $status" test "$status" = 2
check "and leaves the files as they were" test ! -s "$folder/chimes.wav"
xdotool search --name '^MARVOK$' windowfocus --sync key Escape >/dev/null 2>&1 || true
check "the client ends on Escape" wait_for 15 client_ended

# A newer version over it, from the same script.
newer=$work/marvok-setup-9.9.9.exe
makensis -V1 -DVERSION=9.9.9 "-DOUTFILE=$newer" "$script" >/dev/null
check "the newer version installs silently" installs "$newer"
check "and puts back what was damaged" cmp "$folder/chimes.wav" "$work/chimes.wav"
check "its entry replaces the old one's version" test "$(entry DisplayVersion)" = 9.9.9
check "in the same folder" test "$(entry InstallLocation)" = 'C:\Program Files\Marvok'

# The uninstaller copies itself away and returns at once: the prefix's end is awaited.
wine_run "C:\\Program Files\\Marvok\\uninstall.exe" /S
WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -w
check "the uninstaller removes the folder" test ! -e "$folder"
check "and the shortcut" test ! -e "$shortcut"
check "and the uninstall entry" no_uninstall_entry
check "the host's menus got nothing" host_menus_untouched

echo "$((checks - failures)) passed, $failures failed"
((failures == 0))
