#!/usr/bin/env bash
# The data source's transfers of a 12-megapixel Exif JPEG from a simulated LX-3 camera, under
# Wine: native transfer (OK to bitmap in the application) against a bare decode by the same
# decoder, memory transfer in strips against one memcpy. Builds the Windows build's
# transfer_bench first (the 32-bit build where this machine runs 32-bit programs, else the 64-bit
# one; BENCH_BUILD_DIR chooses); the picture is bench/make_exif_bench_picture.py's smooth one. The run
# connects through the option page, which writes lx3twain.ini in the build's prefix: do not run
# it while the tests run.
# The run is pinned to one CPU. On the virtual machines this is developed on, one CPU takes about
# 45 us to wake a process waiting on another, against 4 us for a switch on the same CPU, and every
# call into Wine that asks the wineserver or the X server something is such a round trip: unpinned,
# a quiet machine's figures measure its wake-up latency (the dialogs' share grows fivefold) more than
# the source. The decoder uses one thread, so pinning costs the decode nothing. BENCH_ALL_CPUS=1
# runs unpinned; a wineserver of the prefix already running (the tests') keeps its own CPUs.
# Usage: bash bench/run-transfer-bench.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-builds.sh
pick_windows_build "${BENCH_BUILD_DIR:-}"
build=$windows_build
echo "== $windows_width build ($build)"
cmake --build $build --target transfer_bench VX3CM32 VXXIF32 >/dev/null
picture=$build/bench/exif_12mp_smooth.jpg
if [ ! -f "$picture" ] || [ bench/make_exif_bench_picture.py -nt "$picture" ]; then
  mkdir -p $build/bench
  /usr/bin/python3 bench/make_exif_bench_picture.py "$picture" smooth
fi
cameras=$PWD/$build/bench/cameras
/usr/bin/python3 -B tools/camsim/make_camera.py --family 3 --port 1 --root "$cameras" --replace "$picture" >/dev/null
pin=(taskset -c 0)
if [ -n "${BENCH_ALL_CPUS:-}" ] || ! command -v taskset >/dev/null; then pin=(); fi
"${pin[@]}" bash scripts/with-display.sh $build/wine-run $build/bench/transfer_bench.exe "Z:$cameras" "Z:$PWD/$picture" "${1:-7}" 2>&1 |
  tr -d '\r' | grep -v '^X connection to .* broken'
