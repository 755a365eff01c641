#!/usr/bin/env bash
# Runs build/bin/twacquire.exe --auto against the built data source through Wine's real source
# manager, closing the source's window as a user would, and checks what it reports. Then checks
# that a source name the manager does not know ends in exit code 3, and a bad option in 1.
# Usage: twacquire_auto.sh <build dir>   (needs a display: run ctest under scripts/with-display.sh)
set -uo pipefail
build=$(cd "$1" && pwd)
run="$build/wine-run"
prefix="${WINEPREFIX:-$build/wineprefix}"

# wine-run creates the prefix on first use; the source can only be installed into an existing one.
"$run" cmd /c exit >/dev/null 2>&1
target="$prefix/drive_c/windows/twain_32/sane.ds"
mkdir -p "$(dirname "$target")"
cmp -s "$build/bin/LX3TWS32.ds" "$target" || cp "$build/bin/LX3TWS32.ds" "$target" || exit 1

failures=0
expect() { # expect <text> : the output must contain the text
  if ! grep -qF -- "$1" <<<"$output"; then
    echo "MISSING in twacquire's output: $1"
    failures=$((failures + 1))
  fi
}

output=$("$run" "$build/bin/twacquire.exe" --auto --hold 300 --close-window 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 0 ] || { echo "twacquire exit code $status, expected 0"; failures=$((failures + 1)); }
expect 'Opened the TWAIN source manager.'
expect 'source 1: '
expect 'Opened the source "MELVO DIGITAL CAMERA WIN32".'
expect 'Product name:    MELVO DIGITAL CAMERA WIN32'
expect 'TWAIN protocol:  1.6'
expect 'Capabilities (MSG_GET of each of the 15 that CAP_SUPPORTEDCAPS lists):'
expect 'ICAP_XFERMECH        one of NATIVE, MEMORY; current NATIVE, default NATIVE'
expect 'ICAP_XRESOLUTION     range 40.00 to 600.00 step 1.00; current 300.00, default 300.00'
expect 'Enabled the source with its user interface (TWRC_SUCCESS (0)).'
expect 'The source shows the window "MELVO DIGITAL CAMERA" (class TWMAINWINDOW), 384 x 308, inside 378 x 283.'
expect 'The source asks to be closed (MSG_CLOSEDSREQ).'
expect 'Disabled the source.'
expect 'Closed the source.'
expect 'Closed the TWAIN source manager.'
expect 'twacquire finished: everything worked.'
if grep -qF 'FAILED' <<<"$output"; then
  echo "twacquire reported a failure"
  failures=$((failures + 1))
fi

# A user at the camera window, played by messages, with a simulated LX-3 camera of three pictures.
cameras="$build/twacquire-cameras"
samples="$build/samples"
python3 -B "$(dirname "$0")/../../tools/camsim/make_camera.py" --family 3 --port 1 --root "$cameras" --replace \
  "$samples/exif_o1.jpg" "$samples/exif_o2.jpg" "$samples/exif_o3.jpg" >/dev/null || failures=$((failures + 1))
output=$(CAMSIM_ROOT="Z:$cameras" "$run" "$build/bin/twacquire.exe" --auto --pick-camera-pictures --hold 100 \
         --close-window 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 0 ] || { echo "twacquire exit code $status with --pick-camera-pictures, expected 0"; failures=$((failures + 1)); }
expect 'The user presses the camera-link button and sees the camera page (camera connected): picture 1 of 3.'
expect '  SELECT: picture 3 selected; the page moves on to picture 1 of 3'
expect 'The source has 3 picture(s) ready (MSG_XFERREADY).'
expect 'The source asks to be closed (MSG_CLOSEDSREQ).'
expect 'twacquire finished: everything worked.'

output=$("$run" "$build/bin/twacquire.exe" --auto --source "NO SUCH CAMERA" 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 3 ] || { echo "twacquire exit code $status for an unknown source, expected 3"; failures=$((failures + 1)); }
expect 'No source is called "NO SUCH CAMERA".'

output=$("$run" "$build/bin/twacquire.exe" --auto --hold soon 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 1 ] || { echo "twacquire exit code $status for a bad --hold, expected 1"; failures=$((failures + 1)); }
expect '--hold takes milliseconds from 0 to 600000'

echo "twacquire_auto: $failures problem(s)"
[ "$failures" -eq 0 ]
