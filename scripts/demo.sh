#!/usr/bin/env bash
# The main job: builds the data source and the project's TWAIN application, installs the source
# where Wine's TWAIN source manager finds it, and runs `twacquire --auto` against it through the
# manager, on the user's display when there is one and on a private Xvfb otherwise. Says in plain
# words what happened; exits non-zero when anything failed.
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
  options=(--auto --hold "$hold" --close-window)
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
       say "identity and capabilities, showed its camera window, closed the window as a user would,"
       say "heard the source ask to be closed, and closed the source and the manager again."
     fi
     say "DONE: everything worked." ;;
  2) fail "twacquire could not use the TWAIN source manager (exit code 2)" ;;
  3) fail "the manager does not list the source: it did not load (exit code 3)" ;;
  *) fail "twacquire reported failures (exit code $status); see its output above" ;;
esac
