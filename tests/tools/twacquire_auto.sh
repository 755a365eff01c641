#!/usr/bin/env bash
# Runs build/bin/twacquire.exe --auto against the built data source through Wine's real source
# manager, closing the source's window as a user would, and checks what it reports. Then lets it
# acquire the pictures of a simulated LX-3 camera by memory transfer and of an LX-1 camera by
# native transfer, and two pictures picked in the file browser by memory transfer, the user's part
# played by window messages, and checks every picture saved against its original
# (tools/demo/check_pictures.py). Then checks that a source name the
# manager does not know ends in exit code 3, and a bad option in 1.
# Usage: twacquire_auto.sh <build dir> <twain folder: twain_32 or twain_64>   (needs a display: run ctest under scripts/with-display.sh)
set -uo pipefail
build=$(cd "$1" && pwd)
run="$build/wine-run"
prefix="${WINEPREFIX:-$build/wineprefix}"

source "$(dirname "$0")/wine_slot.sh"
put_source_in_wine_slot "$run" "$prefix" "$2" "$build/bin/LX3TWS32.ds" || exit 1

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

# Pictures through the manager: an LX-3 camera (Exif JPEG) on COM1, an LX-1 (K4I) on COM2.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/twacquire-auto"
rm -rf "$work" && mkdir -p "$work/lx3" "$work/lx1"
samples="$build/samples"
/usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --family 3 --port 1 --root "$work/cameras" \
  "$samples/exif_o8.jpg" "$samples/odd_17x9.jpg" "$samples/gray_33x20.jpg" >/dev/null || exit 1
/usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --family 1 --port 2 --root "$work/cameras" \
  "$samples/k4i_o5.k4i" "$samples/k4i_1x1.k4i" >/dev/null || exit 1
export CAMSIM_ROOT="Z:$work/cameras"
# Connecting writes the choices into the prefix's settings file: put the file back afterwards.
settings="$prefix/drive_c/windows/lx3twain.ini"
[ -f "$settings" ] && cp "$settings" "$work/lx3twain.ini.saved"
acquire() { # model port speed mechanism folder
  output=$("$run" "$build/bin/twacquire.exe" --auto --hold 100 --close-window --pick-camera-pictures --camera "$1" \
           --port "$2" --speed "$3" --mech "$4" --out "Z:$5" 2>&1 | tr -d '\r')
  status=${PIPESTATUS[0]}
  echo "$output"
  [ "$status" -eq 0 ] || { echo "twacquire exit code $status acquiring from $1, expected 0"; failures=$((failures + 1)); }
}
acquire "LX-3 / MLX-300" COM1 115200bps memory "$work/lx3"
expect 'Negotiated memory transfer (ICAP_XFERMECH).'
expect 'The source has 3 picture(s) ready (MSG_XFERREADY).'
expect 'Picture 1: 641 x 479 pixels, 150 x 300 dpi, memory transfer in 30 strips (buffer 921117 bytes)'
expect 'Picture 3: 33 x 20 pixels, no resolution, memory transfer in 2 strips (buffer 1980 bytes)'
expect 'The user presses the camera-link button and sees the camera page (camera connected): picture 1 of 3.'
expect '  SELECT: picture 3 selected; the page moves on to picture 1 of 3'
expect 'The source asks to be closed (MSG_CLOSEDSREQ).'
expect 'twacquire finished: everything worked.'
acquire "LX-1 / MLX-1" COM2 19200bps native "$work/lx1"
expect 'Picture 1: 641 x 479 pixels, 150 x 300 dpi, native transfer'
expect 'Picture 2: 1 x 1 pixels, no resolution, native transfer'
# From disk: the file browser on a folder, thumbnails 3 and 1 selected; they arrive in name order.
mkdir -p "$work/folder" "$work/files"
cp "$samples/exif_o3.jpg" "$work/folder/a.jpg"
cp "$samples/portrait_300x400.jpg" "$work/folder/b.jpg"
cp "$samples/odd_17x9.jpg" "$work/folder/c.jpg"
output=$("$run" "$build/bin/twacquire.exe" --auto --hold 100 --close-window --pick-files "Z:$work/folder" --select 3,1 \
         --mech memory --out "Z:$work/files" 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 0 ] || { echo "twacquire exit code $status with --pick-files, expected 0"; failures=$((failures + 1)); }
expect 'The user clicks thumbnail 3, Ctrl-clicks 1.'
expect 'The source has 2 picture(s) ready (MSG_XFERREADY).'
expect 'Picture 2: 17 x 9 pixels, no resolution, memory transfer'
expect 'The source asks to be closed (MSG_CLOSEDSREQ).'
/usr/bin/python3 -B "$source_dir/tools/demo/check_pictures.py" "$work/contact-sheet.png" \
  "lx3-memory:$work/cameras/COM1:$work/lx3" "lx1-native:$work/cameras/COM2:$work/lx1" \
  "files-memory:$work/folder/a.jpg+$work/folder/c.jpg:$work/files" ||
  { echo "the pictures received do not match their originals"; failures=$((failures + 1)); }
unset CAMSIM_ROOT
rm -f "$settings"
[ -f "$work/lx3twain.ini.saved" ] && cp "$work/lx3twain.ini.saved" "$settings"

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
