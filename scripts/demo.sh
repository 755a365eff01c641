#!/usr/bin/env bash
# The main job: builds the data source and the project's TWAIN application, installs the source
# where Wine's TWAIN source manager finds it, puts a simulated LX-3 camera with three pictures on
# COM1, and runs `twacquire --auto --pick-camera-pictures` against the source through the manager,
# on the user's display when there is one and on a private Xvfb otherwise. twacquire plays the
# user at the source's camera window by window messages only (BM_CLICK on its buttons, a chosen
# entry and CBN_CLOSEUP on its settings boxes): it connects the camera, steps through the
# pictures, selects them, presses OK and says what the window showed at each step; then it
# closes the window as a user would. Captures of the window land in <build>/demo-screens.
# Says in plain words what happened; exits non-zero when anything failed.
#
#   bash scripts/demo.sh                    build into build/ and run
#   DEMO_BUILD=build-x bash scripts/demo.sh use an existing Windows build, skip bootstrap and build
#   bash scripts/demo.sh --hold 10000       other twacquire options replace the default ones
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

say() { echo "demo: $*"; }
fail() { say "$*"; say "FAILED."; exit 1; }

if [ -n "${DEMO_BUILD:-}" ]; then
  build=$(cd "$DEMO_BUILD" 2>/dev/null && pwd) || fail "no build directory $DEMO_BUILD"
  say "using the existing build in $build"
else
  build=$root/build
  say "installing what is missing (scripts/bootstrap.sh)"
  bash scripts/bootstrap.sh || fail "could not install the packages the build needs"
  say "building the Windows build in build/ (scripts/build.sh); the log is build/demo-build.log"
  mkdir -p build
  if ! SKIP_NATIVE=1 bash scripts/build.sh >build/demo-build.log 2>&1; then
    tail -n 30 build/demo-build.log
    fail "the build failed (see build/demo-build.log)"
  fi
fi

source_ds=$build/bin/LX3TWS32.ds
app=$build/bin/twacquire.exe
[ -f "$source_ds" ] || fail "the data source $source_ds was not built"
[ -f "$app" ] || fail "twacquire $app was not built"

# A prefix of the demo's own, so that the demo never disturbs the tests' prefix.
export WINEPREFIX=$build/demo-prefix
export WINEDLLOVERRIDES="sane.ds=n"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "creating the Wine prefix $WINEPREFIX (takes a few seconds the first time)"
fi
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"
# Wine's desktop process belongs to the display it started on: let this one end before the
# windows go to the display chosen below.
wineserver -w

# Wine's TWAIN_32.DLL only looks for C:\windows\twain_32\sane.ds and gphoto2.ds, so the source
# goes in as sane.ds; the libraries it imports go to C:\windows, where Windows finds them.
windir=$WINEPREFIX/drive_c/windows
mkdir -p "$windir/twain_32"
cp "$source_ds" "$windir/twain_32/sane.ds" || fail "could not install the source"
# The maker's five libraries that the source imports by ordinal.
for library in VX1CM32 VX2CM32 VX3CM32 VXK4X32 VXXIF32; do
  cp "$build/bin/$library.dll" "$windir/" || fail "could not install $library.dll"
done
say "installed LX3TWS32.ds as C:\\windows\\twain_32\\sane.ds and the maker's five libraries in C:\\windows"

# The camera: a simulated LX-3 on COM1 (docs/simulated-cameras.md) holding three sample pictures.
cameras=$build/demo-cameras
samples=$build/samples
python3 -B tools/camsim/make_camera.py --family 3 --port 1 --root "$cameras" --replace \
  "$samples/exif_o1.jpg" "$samples/jfif_640x480.jpg" "$samples/exif_o3.jpg" >/dev/null ||
  fail "could not build the simulated camera (are the samples in $samples built?)"
export CAMSIM_ROOT="Z:$cameras"
say "a simulated LX-3 camera with three pictures waits on COM1 ($cameras/COM1)"
screens=$build/demo-screens
rm -rf "$screens" && mkdir -p "$screens"

if [ -n "${DISPLAY:-}" ] && [ -z "${USE_XVFB:-}" ] && xdpyinfo >/dev/null 2>&1; then
  say "the windows appear on your display $DISPLAY"
  hold=4000
else
  say "no display to show windows on: they go to a private virtual display (Xvfb)"
  hold=500
fi

if [ $# -gt 0 ]; then
  options=("$@")
else
  options=(--auto --pick-camera-pictures --screenshots "Z:$screens" --hold "$hold" --close-window)
fi
say "running: twacquire ${options[*]}"
echo
# Wine's processes report the end of the private display when Xvfb goes away; that is no news.
bash scripts/with-display.sh "$build/wine-run" "$app" "${options[@]}" 2>&1 | tr -d '\r' |
  grep -v '^X connection to .* broken'
status=${PIPESTATUS[0]}
echo

case $status in
  0) if [ $# -eq 0 ]; then
       say "twacquire opened Wine's TWAIN source manager, found \"MELVO DIGITAL CAMERA WIN32\", read its"
       say "identity and capabilities and enabled it. In the source's camera window it connected the"
       say "LX-3 camera, stepped through its three pictures, selected them and pressed OK, and heard"
       say "MSG_XFERREADY with the pending pictures; then it closed the window as a user would, heard"
       say "the source ask to be closed, and closed the source and the manager again."
       say "the camera received these calls ($cameras/COM1/calls.log):"
       tr -d '\r' <"$cameras/COM1/calls.log" | sed 's/^/    /'
     fi
     if command -v convert >/dev/null; then
       for bmp in "$screens"/*.bmp; do [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"; done
     fi
     say "captures of the camera window: $(ls "$screens" | tr '\n' ' ')in $screens"
     say "DONE: everything worked." ;;
  2) fail "twacquire could not use the TWAIN source manager (exit code 2)" ;;
  3) fail "the manager does not list the source: it did not load (exit code 3)" ;;
  *) fail "twacquire reported failures (exit code $status); see its output above" ;;
esac
