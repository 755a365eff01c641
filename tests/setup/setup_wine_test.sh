#!/usr/bin/env bash
# The setup program as an administrator runs it, under Wine in a fresh prefix of its own: a silent
# install puts the files and the uninstall entry where they belong and fills Wine's slot; an
# application acquires through Wine's manager from the installed copy (no DLL override in the
# environment: the one the setup wrote); an install over it updates it; an install while an
# application holds the source, or into a folder that cannot be written, changes nothing and says
# why; the uninstaller leaves the prefix's files as they were before, Wine's slot included; a
# camera software's library is kept, files deleted by hand are reported, and the switches leave
# the stand-ins and the slot out.
# Usage: setup_wine_test.sh <build dir> <setup program>   (needs a display: run ctest under scripts/with-display.sh)
set -uo pipefail
build=$(cd "$1" && pwd)
setup_exe=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
run=$build/wine-run
wineserver=$(sed -n 's/^export WINESERVER=//p' "$run")
work=$build/setup-test
export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES=
rm -rf "$work" && mkdir -p "$work/app"
"$run" cmd /c exit >/dev/null 2>&1 || { echo "Wine does not start"; exit 1; }
"$wineserver" -w

drive=$WINEPREFIX/drive_c
windir=$drive/windows
program="$drive/Program Files/MELVO Digital Camera"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MELVO Digital Camera TWAIN Source'
# The build's own width goes to its TWAIN folder; a 64-bit setup also carries the 32-bit build's
# source when it found it, which goes to twain_32 and syswow64.
if grep -q '^export WINEARCH=win64' "$run"; then
  twain=twain_64 other_bin=$(cd "$build/.." && pwd)/bin
  grep -q 32-bit "$setup_exe.widths" || other_bin=
else
  twain=twain_32 other_bin=
fi

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
same() { cmp -s "$1" "$2" || fail "$3"; }
# The prefix's files with their checksums and its folders, less Wine's own temporary and user data.
state() {
  (cd "$drive" && find . \( -path ./users -o -path ./windows/temp \) -prune -o \( -type d -printf 'folder %p\n' \) \
     -o -type f -exec md5sum {} + | sort)
}
# Runs the program with the arguments; the log of the run goes to $work/<name>.log. Sets status.
setup_run() { # <log name> <program> <arguments...>
  local name=$1 exe=$2
  shift 2
  rm -f "$work/$name.log"
  "$run" "$exe" "$@" "/LOG=$(winpath "$work/$name.log")" >/dev/null 2>&1
  status=$?
  "$wineserver" -w  # the uninstaller goes on in a copy of itself
  tr -d '\r' <"$work/$name.log" 2>/dev/null | sed "s/^/    $name: /"
}
winpath() { echo "Z:${1//\//\\}"; }  # switches take paths with backslashes only
logged() { grep -qF -- "$2" "$work/$1.log" 2>/dev/null || fail "$1: the log does not say \"$2\""; }
registry() { "$run" reg query "$@" 2>/dev/null | tr -d '\r'; }
uninstall() { setup_run "$1" "C:\\Program Files\\MELVO Digital Camera\\uninstall.exe" /S "${@:2}"; }

cp "$windir/$twain/sane.ds" "$work/wine-sane.ds"
before=$(state)

echo "== a silent install in a fresh prefix"
setup_run install "$setup_exe" /S
[ "$status" -eq 0 ] || fail "the silent install ended with exit code $status"
same "$build/bin/LX3TWS32.ds" "$windir/$twain/MELVO/LX3TWS32.ds" "the source is not in $twain\\MELVO"
same "$build/bin/VXADP32.dll" "$windir/$twain/MELVO/VXADP32.dll" "the codec is not in $twain\\MELVO"
same "$build/bin/LX3TWS32.ds" "$windir/$twain/sane.ds" "Wine's $twain slot does not hold the source"
same "$work/wine-sane.ds" "$program/sane.ds of $twain.saved" "Wine's own sane.ds was not kept"
for library in VX1CM32 VX2CM32 VX3CM32 VXK4X32 VXXIF32; do
  same "$build/bin/$library.dll" "$windir/system32/$library.dll" "$library.dll is not in system32"
  [ -z "$other_bin" ] || same "$other_bin/$library.dll" "$windir/syswow64/$library.dll" "the 32-bit $library.dll is not in syswow64"
done
if [ -n "$other_bin" ]; then
  same "$other_bin/LX3TWS32.ds" "$windir/twain_32/MELVO/LX3TWS32.ds" "the 32-bit source is not in twain_32\\MELVO"
  same "$other_bin/LX3TWS32.ds" "$windir/twain_32/sane.ds" "Wine's twain_32 slot does not hold the 32-bit source"
fi
[ -f "$program/readme.txt" ] && [ -f "$program/uninstall.exe" ] || fail "no read-me or uninstaller in $program"
entry=$(registry "$key")
for value in 'DisplayName +REG_SZ +MELVO Digital Camera TWAIN Source$' 'Publisher +REG_SZ +MELVO$' \
             'DisplayVersion +REG_SZ +[0-9]+\.[0-9]+\.[0-9]+$' \
             'UninstallString +REG_SZ +"C:\\Program Files\\MELVO Digital Camera\\uninstall.exe"$'; do
  grep -qE "$value" <<<"$entry" || fail "the uninstall entry has no value matching $value"
done
size=$(sed -n 's/.*EstimatedSize *REG_DWORD *0x\([0-9a-f]*\).*/\1/p' <<<"$entry")
[ -n "$size" ] && [ $((16#$size)) -gt 100 ] || fail "the uninstall entry's size is \"$size\""
registry 'HKCU\Software\Wine\DllOverrides' /v sane.ds | grep -q native || fail "the DLL override for sane.ds is not set"

echo "== an application acquires through Wine's manager from the installed copy"
mkdir -p "$work/pictures"
cp "$build/bin/twacquire.exe" "$work/app/"  # away from the build's libraries: the installed ones are found
/usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --family 3 --port 1 --root "$work/cameras" \
  "$build/samples/exif_o6.jpg" "$build/samples/odd_17x9.jpg" >/dev/null || fail "no simulated camera"
CAMSIM_ROOT="Z:$work/cameras" "$run" "Z:$work/app/twacquire.exe" --auto --hold 100 --close-window \
  --pick-camera-pictures --mech memory --out "Z:$work/pictures" >"$work/acquire.log" 2>&1 ||
  { tail -n 20 "$work/acquire.log"; fail "twacquire could not acquire from the installed source"; }
/usr/bin/python3 -B "$source_dir/tools/demo/check_pictures.py" "$work/contact-sheet.png" \
  "installed:$work/cameras/COM1:$work/pictures" || fail "the pictures received do not match their originals"
"$wineserver" -w

echo "== installed again over it"
setup_run reinstall "$setup_exe" /S
[ "$status" -eq 0 ] || fail "the install over an existing copy ended with exit code $status"
logged reinstall "Replaced C:\\windows\\$twain\\MELVO\\LX3TWS32.ds"
same "$work/wine-sane.ds" "$program/sane.ds of $twain.saved" "the install over it lost Wine's own sane.ds"
installed=$(state)

echo "== an install while an application holds the source"
"$run" "Z:$work/app/twacquire.exe" --auto --hold 6000 >"$work/holder.log" 2>&1 &
holder=$!
for _ in $(seq 100); do grep -q 'Enabled the source' "$work/holder.log" && break; sleep 0.2; done
setup_run busy "$setup_exe" /S  # waits for the holder too
[ "$status" -eq 1 ] || fail "the install refused for a held source ended with exit code $status, expected 1"
wait "$holder"
grep -q 'Enabled the source' "$work/holder.log" || fail "twacquire never held the source"
logged busy "is in use by twacquire.exe (process"
logged busy "Nothing has been changed."
[ "$(state)" = "$installed" ] || fail "the install refused for a held source changed files"

echo "== an install into a folder that cannot be written"
if chattr +i "$windir/$twain/MELVO" 2>/dev/null; then
  setup_run readonly "$setup_exe" /S
  chattr -i "$windir/$twain/MELVO"
  [ "$status" -eq 2 ] || fail "the install into a folder that cannot be written ended with exit code $status, expected 2"
  logged readonly "Nothing has been changed."
  [ "$(state)" = "$installed" ] || fail "the install refused for a folder that cannot be written changed files"
else
  echo "    (skipped: this file system cannot make a folder unwritable for root)"
fi

echo "== the uninstaller"
uninstall uninstall
rm -f "$windir/lx3twain.ini"  # the settings stay (checked below); they are the acquisition's, not the setup's
diff <(echo "$before") <(state) | sed 's/^/    left: /' | grep . && fail "the uninstall did not leave the prefix as before"
same "$work/wine-sane.ds" "$windir/$twain/sane.ds" "Wine's own sane.ds is not back"
registry "$key" | grep -q DisplayName && fail "the uninstall entry is still there"
registry 'HKCU\Software\Wine\DllOverrides' /v sane.ds | grep -q native && fail "the DLL override is still set"

echo "== a camera software's library, files deleted by hand, the settings removed on request"
echo "camera software" >"$windir/system32/VX2CM32.dll"
echo "settings" >"$windir/lx3twain.ini"
before=$(state)
setup_run camera-software "$setup_exe" /S
logged camera-software "Kept C:\\windows\\System32\\VX2CM32.dll"
rm "$windir/$twain/MELVO/VXADP32.dll"
uninstall by-hand /REMOVESETTINGS
logged by-hand "Already gone: C:\\windows\\$twain\\MELVO\\VXADP32.dll"
[ -f "$windir/lx3twain.ini" ] && fail "/REMOVESETTINGS left lx3twain.ini"
diff <(grep -v lx3twain.ini <<<"$before") <(state) | sed 's/^/    left: /' | grep . && fail "the uninstall after files deleted by hand left the prefix changed"

echo "== without the stand-ins and Wine's slot"
setup_run switches "$setup_exe" /S /NOSTANDINS /NOWINESLOT
[ -f "$windir/system32/VX1CM32.dll" ] && fail "/NOSTANDINS installed the stand-ins"
same "$work/wine-sane.ds" "$windir/$twain/sane.ds" "/NOWINESLOT changed Wine's slot"
[ -f "$windir/$twain/MELVO/LX3TWS32.ds" ] || fail "/NOSTANDINS /NOWINESLOT installed no source"
uninstall switches-uninstall
diff <(grep -v lx3twain.ini <<<"$before") <(state) | sed 's/^/    left: /' | grep . && fail "the uninstall after /NOSTANDINS left the prefix changed"

echo "setup_wine_test: $failures problem(s)"
[ "$failures" -eq 0 ]
