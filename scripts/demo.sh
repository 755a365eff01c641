#!/usr/bin/env bash
# The main job: builds the data source, its setup program and the project's TWAIN application,
# installs the source into a fresh Wine prefix by running the setup program silently as an
# administrator would (it puts the source where Wine's TWAIN source manager finds it), puts a simulated LX-3 camera on COM1 and a simulated
# LX-1 camera on COM2, and acquires every picture of both cameras through the manager, once by
# native and once by memory transfer, with `twacquire --auto --pick-camera-pictures`, on the
# user's display when there is one and on a private Xvfb otherwise. twacquire plays the user at
# the source's camera window by window messages only (BM_CLICK on its buttons, a chosen entry and
# CBN_CLOSEUP on its settings boxes): it connects the camera, steps through the pictures, selects
# them and presses OK; then it receives the pictures, saves them as BMP files and closes the
# window as a user would. A last run opens the file browser on a folder of pictures with
# `--pick-files`, selects two thumbnails and presses OK. tools/demo/check_pictures.py then checks
# every picture against its original file and draws a contact sheet of what arrived. At the end the
# uninstaller the setup registered runs silently, and the prefix's files must be as before the
# install. Everything lands in <build>/demo: the pictures, the logs, the window captures and
# contact-sheet.png.
# Says in plain words what happened; exits non-zero when anything failed.
#
# It runs the 32-bit build (build/), the source as it ships for 32-bit applications, where this
# machine runs 32-bit programs, and the 64-bit build (build/win64/) otherwise or with SKIP_32BIT=1
# (scripts/windows-builds.sh), and says which.
#
#   bash scripts/demo.sh                    build both Windows builds and run
#   DEMO_BUILD=build-x bash scripts/demo.sh use an existing Windows build, skip bootstrap and build
#   bash scripts/demo.sh --hold 10000       other twacquire options replace the default ones
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/windows-builds.sh

say() { echo "demo: $*"; }
seconds_since() { # <date +%s%N>: the seconds since then, to a tenth
  local ms=$(( ($(date +%s%N) - $1) / 1000000 ))
  echo "$((ms / 1000)).$((ms % 1000 / 100))"
}
fail() { say "$*"; say "FAILED."; exit 1; }

if [ -n "${DEMO_BUILD:-}" ]; then
  build=$(cd "$DEMO_BUILD" 2>/dev/null && pwd) || fail "no build directory $DEMO_BUILD"
  say "using the existing build in $build"
else
  say "installing what is missing (scripts/bootstrap.sh)"
  bash scripts/bootstrap.sh || fail "could not install the packages the build needs"
  say "building the Windows builds in build/ and build/win64/ (scripts/build.sh); the log is build/demo-build.log"
  mkdir -p build
  if ! SKIP_NATIVE=1 bash scripts/build.sh >build/demo-build.log 2>&1; then
    tail -n 30 build/demo-build.log
    fail "the build failed (see build/demo-build.log)"
  fi
  if can_run_32bit; then
    build=$root/build
    say "running the 32-bit build (build/), the source for 32-bit applications"
  else
    build=$root/build/win64
    say "running the 64-bit build (build/win64/), the source for 64-bit applications: $why32bitCannotRun"
  fi
fi
# The wineserver of the build's width, to wait for the prefix's programs to end.
if grep -q '^export WINEARCH=win64' "$build/wine-run"; then
  wineserver=/usr/lib/wine/wineserver64
else
  wineserver=wineserver
fi

setup_exe=$(ls "$build"/setup/melvo-camera-setup-*.exe 2>/dev/null | head -n 1)
[ -n "$setup_exe" ] || fail "the setup program was not built (is makensis installed? see scripts/bootstrap.sh)"
[ -f "$build/bin/twacquire.exe" ] || fail "twacquire was not built"
demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo/screens" "$demo/app"
# The application away from the build's libraries, so that it uses the installed ones.
cp "$build/bin/twacquire.exe" "$demo/app/"
app=$demo/app/twacquire.exe

# A fresh prefix of the demo's own, so that the demo never disturbs the tests' prefix. The DLL
# override that Wine's manager needs comes from the setup, not from the environment.
export WINEPREFIX=$build/demo-prefix
export WINEDLLOVERRIDES=
rm -rf "$WINEPREFIX"
say "creating a fresh Wine prefix $WINEPREFIX (takes a few seconds)"
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"
# Wine's desktop process belongs to the display it started on: let this one end before the
# windows go to the display chosen below.
WINEPREFIX=$WINEPREFIX "$wineserver" -w

# The prefix's files with their checksums, less Wine's temporary and user data.
prefix_state() {
  (cd "$WINEPREFIX/drive_c" && find . \( -path ./users -o -path ./windows/temp \) -prune -o \
     \( -type d -printf 'folder %p\n' \) -o -type f -exec md5sum {} + | sort)
}
before_install=$(prefix_state)
say "installing with the setup program, silently: $(basename "$setup_exe") /S (log: $demo/setup.log)"
started=$(date +%s%N)
"$build/wine-run" "$setup_exe" /S "/LOG=Z:${demo//\//\\}\\setup.log" >/dev/null 2>&1
status=$?
WINEPREFIX=$WINEPREFIX "$wineserver" -w
tr -d '\r' <"$demo/setup.log" 2>/dev/null | sed 's/^/    /'
[ $status -eq 0 ] || fail "the setup program failed (exit code $status)"
say "installed in $(seconds_since "$started") s"

python=/usr/bin/python3  # Debian's, the one with python3-pil

# The cameras (docs/simulated-cameras.md): an LX-3 on COM1 with Exif JPEG pictures, an LX-1 on
# COM2 with K4I pictures, both from the build's sample pictures (tools/samples).
cameras=$demo/cameras
samples=$build/samples
$python -B tools/camsim/make_camera.py --family 3 --port 1 --root "$cameras" \
  "$samples/exif_o1.jpg" "$samples/portrait_300x400.jpg" "$samples/exif_o6.jpg" "$samples/odd_17x9.jpg" >/dev/null ||
  fail "could not build the simulated LX-3 camera (are the samples in $samples built?)"
$python -B tools/camsim/make_camera.py --family 1 --port 2 --root "$cameras" \
  "$samples/k4i_o1.k4i" "$samples/k4i_o3.k4i" "$samples/k4i_17x9.k4i" >/dev/null ||
  fail "could not build the simulated LX-1 camera"
export CAMSIM_ROOT="Z:$cameras"
say "a simulated LX-3 camera with 4 Exif JPEG pictures waits on COM1, an LX-1 with 3 K4I pictures on COM2"

if [ -n "${DISPLAY:-}" ] && [ -z "${USE_XVFB:-}" ] && xdpyinfo >/dev/null 2>&1; then
  say "the windows appear on your display $DISPLAY"
  hold=2000
else
  say "no display to show windows on: they go to a private virtual display (Xvfb)"
  hold=300
fi

if [ $# -gt 0 ]; then
  say "running: twacquire $*"
  bash scripts/with-display.sh "$build/wine-run" "$app" "$@" 2>&1 | tr -d '\r' | grep -v '^X connection to .* broken'
  exit "${PIPESTATUS[0]}"
fi

# One run: the user picks every picture of one camera, the application receives them by one
# mechanism into its own folder. Prints what the application said about each picture.
runs=()
acquire() { # label model port speed mechanism steps|nosteps [more twacquire options]
  local label=$1 model=$2 port=$3 speed=$4 mech=$5 steps=$6
  shift 6
  local out=$demo/$label log=$demo/$label.log
  mkdir -p "$out"
  echo
  say "$label: the user connects \"$model\" on $port, selects every picture and presses OK;"
  say "$label: the application receives them by $mech transfer"
  bash scripts/with-display.sh "$build/wine-run" "$app" --auto --pick-camera-pictures --camera "$model" \
    --port "$port" --speed "$speed" --mech "$mech" --out "Z:$out" --hold "$hold" --close-window "$@" \
    >"$log" 2>&1
  local status=$?
  # What the user saw at each step (the first run shows them all), what the application received.
  local shown='^(Picture [0-9]+:|The source has|FAILED)'
  [ "$steps" = steps ] && shown='^(Picture [0-9]+:|The source (has|asks)|FAILED|The user|Closed the source.s window|  >>|  SELECT|  selected)'
  tr -d '\r' <"$log" | grep -E "$shown" | sed 's/, saved as .*//; s/^/    /'
  [ $status -eq 0 ] || { tr -d '\r' <"$log" | grep -v '^X connection' | tail -n 25; fail "$label: twacquire failed (exit code $status, log $log)"; }
  local port_number=${port#COM}
  runs+=("$label:$cameras/COM$port_number:$out")
}

acquire lx3-native "LX-3 / MLX-300" COM1 115200bps native steps --screenshots "Z:$demo/screens"
acquire lx3-memory "LX-3 / MLX-300" COM1 115200bps memory nosteps
acquire lx1-native "LX-1 / MLX-1" COM2 19200bps native nosteps
acquire lx1-memory "LX-1 / MLX-1" COM2 19200bps memory nosteps

# From disk: a folder of pictures, opened in the file browser; the user selects the second and the
# fourth thumbnail and presses OK.
folder=$demo/folder
mkdir -p "$folder"
cp "$samples/exif_o1.jpg" "$folder/beach.jpg"
cp "$samples/exif_o6.jpg" "$folder/garden.jpg"
cp "$samples/portrait_300x400.jpg" "$folder/harbour.jpg"
cp "$samples/exif_marked_thumb.jpg" "$folder/meadow.jpg"
cp "$samples/k4i_o3.k4i" "$folder/tower.k4i"
out=$demo/files-native
mkdir -p "$out"
echo
say "files-native: the user opens the file browser on a folder of 4 Exif pictures and a K4I file,"
say "files-native: selects the 2nd and 4th thumbnail and presses OK; the application receives them by native transfer"
bash scripts/with-display.sh "$build/wine-run" "$app" --auto --pick-files "Z:$folder" --select 2,4 --mech native \
  --out "Z:$out" --hold "$hold" --close-window --screenshots "Z:$demo/screens" >"$demo/files-native.log" 2>&1
status=$?
tr -d '\r' <"$demo/files-native.log" | grep -E '^(The user|The file browser|Picture [0-9]+:|The source has|FAILED)' |
  sed 's/, saved as .*//; s/^/    /'
[ $status -eq 0 ] || { tr -d '\r' <"$demo/files-native.log" | grep -v '^X connection' | tail -n 25; fail "files-native: twacquire failed (exit code $status)"; }
runs+=("files-native:$folder/garden.jpg+$folder/meadow.jpg:$out")

echo
say "every picture received, checked against the camera's original file (decoded independently):"
$python -B tools/demo/check_pictures.py "$demo/contact-sheet.png" "${runs[@]}"
check=$?
# The window captures as PNG files, for a look at what the user saw.
$python - "$demo/screens" <<'PY' || true
import os, sys
from PIL import Image
for name in sorted(os.listdir(sys.argv[1])):
    if name.endswith(".bmp"):
        path = os.path.join(sys.argv[1], name)
        Image.open(path).save(path[:-4] + ".png")
        os.remove(path)
PY
echo
say "contact sheet of what the application received: $demo/contact-sheet.png"
say "pictures as saved by the application: $demo/<run>/pictureNN.bmp; logs: $demo/<run>.log"
say "captures of the camera window and the file browser: $demo/screens"
[ $check -eq 0 ] || fail "some pictures do not match their originals (see above)"

echo
say "uninstalling with the uninstaller the setup registered, silently: uninstall.exe /S (log: $demo/uninstall.log)"
started=$(date +%s%N)
"$build/wine-run" 'C:\Program Files\MELVO Digital Camera\uninstall.exe' /S "/LOG=Z:${demo//\//\\}\\uninstall.log" >/dev/null 2>&1
WINEPREFIX=$WINEPREFIX "$wineserver" -w  # the uninstaller works in a copy of itself
tr -d '\r' <"$demo/uninstall.log" 2>/dev/null | sed 's/^/    /'
say "uninstalled in $(seconds_since "$started") s"
# The settings file stays, as it does for a user; everything else must be as before the install.
left=$(diff <(echo "$before_install") <(prefix_state | grep -v '/lx3twain.ini$'))
[ -z "$left" ] || { echo "$left" | sed 's/^/    /'; fail "the uninstall left the prefix different from before the install"; }
say "nothing left behind: the prefix's files are as before the install (lx3twain.ini, the settings, stays)"
say "DONE: installed by the setup program, every picture of both cameras arrived by native and by memory"
say "transfer, the two files picked in the file browser arrived by native transfer, every one matches its"
say "original, and the uninstaller left nothing behind."
