#!/usr/bin/env bash
# Wine leg: the installer tonquill-VERSION-setup.exe, made by CPack from the
# mingw build, in a fresh Wine prefix of its own. /S installs silently into
# the user's programs folder without asking for rights; the Start-menu
# shortcut (with the program's icon) and the uninstall entry of Settings ->
# Apps are there; the installed program opens its window and File -> Exit!
# ends it with status 0; the uninstaller, silently, leaves the user's
# folders as they were (but for NSIS's own copy of it under Temp, which
# Windows removes at the next start) and the entry gone.
#
# Usage: wine-installer.sh MINGW_BUILD_DIR WORK_DIR VERSION   (TQ_XVFB_DIR: the fixture)
set -uo pipefail
here="$(dirname "$0")"
source "$here/lib.sh"

TQ_MINGW="$1"
work="$2"
version="$3"
setup="$work/package/tonquill-$version-setup.exe"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonquill'

rm -rf "$work"
mkdir -p "$work"
app_pid=""
cleanup() {
  tq_stop_pid "$app_pid"
  bash "$here/wine-stop.sh" "$work/wine"
}
trap cleanup EXIT

pass() { echo "PASS: $*"; }

cpack -G NSIS64 --config "$TQ_MINGW/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 &&
  [ -f "$setup" ] || {
  cat "$work/cpack.log"
  tq_fail "CPack makes $(basename "$setup")"
}
pass "CPack makes $(basename "$setup")"

bash "$here/wine-start.sh" "$work/wine" >"$work/wine-start.log" 2>&1 || {
  cat "$work/wine-start.log"
  tq_fail "a fresh Wine prefix"
}
export WINEPREFIX="$work/wine/prefix" HOME="$work/wine/home"
# No menu entries of the desktop for the shortcut: only Wine's own files.
export WINEDLLOVERRIDES="mshtml,mscoree,winemenubuilder.exe="
tq_use_display
users="$WINEPREFIX/drive_c/users"
# Every file and folder of the users' profiles, but NSIS's copy of the
# uninstaller under Temp.
profile_listing() { (cd "$users" && find . | grep -v '/Temp/~nsu[^/]*\.tmp' | sort); }
profile_listing >"$work/before.txt"

timeout 120 wine "$setup" /S || tq_fail "$(basename "$setup") /S ends with status 0"
folder="$(echo "$users"/*/AppData/Local/Programs/Tonquill)"
listed="$(cd "$folder" 2>/dev/null && ls | tr '\n' ' ')"
[ "$listed" = "LICENSE.txt README.txt tonquill.exe tonquill.html uninstall.exe " ] ||
  tq_fail "the programs folder holds: $listed"
pass "/S installs $listed into $(basename "$(dirname "$folder")")/Tonquill"

shortcut="$(echo "$users"/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Tonquill.lnk)"
/usr/bin/python3 - "$shortcut" <<'PYTHON' || tq_fail "the Start-menu shortcut Tonquill.lnk"
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
has_icon = bool(flags & 0x40)  # HasIconLocation
to_program = b"tonquill.exe" in data.lower() or "tonquill.exe".encode("utf-16-le") in data.lower()
print(f"Tonquill.lnk: icon location {has_icon}, target tonquill.exe {to_program}")
sys.exit(0 if has_icon and to_program else 1)
PYTHON
pass "the Start-menu shortcut Tonquill.lnk to tonquill.exe, with an icon"

timeout 60 wine reg query "$uninstall_key" 2>"$work/reg.log" | tr -d '\r' >"$work/entry.txt"
cat "$work/entry.txt"
location='C:\\users\\[^\\]*\\AppData\\Local\\Programs\\Tonquill'
for value in "DisplayName +REG_SZ +Tonquill\$" "DisplayVersion +REG_SZ +$version\$" \
  "Publisher +REG_SZ +Varnholt Electronics\$" "DisplayIcon +REG_SZ +$location\\\\tonquill.exe,0\$" \
  "EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f]" \
  "UninstallString +REG_SZ +\"$location\\\\uninstall.exe\"\$" \
  "QuietUninstallString +REG_SZ +\"$location\\\\uninstall.exe\" /S\$"; do
  grep -qE "^ +$value" "$work/entry.txt" || tq_fail "the uninstall entry lacks $value"
done
pass "the uninstall entry: name, version, publisher, icon, size, (quiet) uninstall command"

wine "$folder/tonquill.exe" >"$work/tonquill.log" 2>&1 &
app_pid=$!
tq_wait_until 60 tq_window_exists "$TQ_MAIN_TITLE" || tq_fail "the installed program opens its window"
tq_wait_until 10 tq_probe foreground "$TQ_MAIN_TITLE" || tq_fail "the window is not in front"
tq_open_file_menu || tq_fail "Alt+F opens the File menu"
# Up from the menu's first item reaches its last one, "Exit!".
tq_keys_end_program "$app_pid" Up Return || tq_fail "File -> Exit! ends it with status 0"
app_pid=""
pass "the installed program opens its window; File -> Exit! ends it with status 0"

# The uninstaller runs from a copy of itself and returns at once.
timeout 60 wine "$folder/uninstall.exe" /S 2>>"$work/reg.log" || tq_fail "uninstall.exe /S"
folder_gone() { [ ! -e "$folder" ]; }
entry_gone() { ! timeout 60 wine reg query "$uninstall_key"; }
tq_wait_until 60 folder_gone && tq_wait_until 30 entry_gone ||
  tq_fail "the uninstaller removes the folder and the entry"
profile_listing | diff "$work/before.txt" - || tq_fail "the uninstaller leaves files behind"
pass "uninstall.exe /S leaves the profiles as they were and removes the entry"
