#!/usr/bin/env bash
# The long session: one twacquire process, through Wine's real source manager and the simulated
# cameras (an LX-3 on COM1, an LX-1 on COM2), runs rounds of open, enable, connect, select all,
# OK, every picture (native and memory transfer in turn), disable and close, with the file browser
# every third round, and measures its private memory, handles, GDI and USER objects, windows and
# temporary folder after a warm-up of 12 rounds and at the end: nothing may grow.
# LONG_SESSION_ROUNDS=N runs N rounds (default 24, the bounded run of the test command; the long
# run is 300 or more).
# Usage: long_session.sh <build dir> <twain folder: twain_32 or twain_64>   (needs a display)
set -uo pipefail
build=$(cd "$1" && pwd)
run="$build/wine-run"
prefix="${WINEPREFIX:-$build/wineprefix}"
rounds="${LONG_SESSION_ROUNDS:-24}"

source "$(dirname "$0")/wine_slot.sh"
put_source_in_wine_slot "$run" "$prefix" "$2" "$build/bin/LX3TWS32.ds" || exit 1

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/long-session"
rm -rf "$work" && mkdir -p "$work/folder" "$work/temp"
samples="$build/samples"
/usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --family 3 --port 1 --root "$work/cameras" \
  "$samples/exif_o8.jpg" "$samples/odd_17x9.jpg" "$samples/gray_33x20.jpg" >/dev/null || exit 1
/usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --family 1 --port 2 --root "$work/cameras" \
  "$samples/k4i_o5.k4i" "$samples/k4i_1x1.k4i" >/dev/null || exit 1
cp "$samples/exif_o3.jpg" "$work/folder/a.jpg"
cp "$samples/portrait_300x400.jpg" "$work/folder/b.jpg"
cp "$samples/odd_17x9.jpg" "$work/folder/c.jpg"
export CAMSIM_ROOT="Z:$work/cameras"
settings="$prefix/drive_c/windows/lx3twain.ini"
[ -f "$settings" ] && cp "$settings" "$work/lx3twain.ini.saved"

output=$("$run" "$build/bin/twacquire.exe" --auto --rounds "$rounds" \
         --round-camera "LX-3 / MLX-300,COM1,115200bps" --round-camera "LX-1 / MLX-1,COM2,19200bps" \
         --pick-files "Z:$work/folder" --select 1,3 --temp "Z:$work/temp" 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}

rm -f "$settings"
[ -f "$work/lx3twain.ini.saved" ] && cp "$work/lx3twain.ini.saved" "$settings"

echo "$output" | grep -v '^Round ' || true
echo "$output" | grep '^Round ' | sed -n '1p;12p;$p'
failures=0
[ "$status" -eq 0 ] || { echo "twacquire exit code $status, expected 0"; failures=$((failures + 1)); }
grep -q "^Long session: $rounds rounds" <<<"$output" || { echo "the session did not run its $rounds rounds"; failures=$((failures + 1)); }
if grep -q 'FAILED' <<<"$output"; then
  echo "the long session reported failures:"
  grep 'FAILED' <<<"$output" | head -20
  failures=$((failures + 1))
fi
leftover=$(find "$work/temp" -mindepth 1 | head -5)
[ -z "$leftover" ] || { echo "left in the temporary folder: $leftover"; failures=$((failures + 1)); }
echo "long_session: $failures problem(s)"
[ "$failures" -eq 0 ]
