#!/usr/bin/env bash
# VXXIF32 against stb_image and thumbnail against whole picture, under Wine, on two generated
# 12-megapixel Exif JPEGs without embedded thumbnail (smooth, about 1 bit a pixel; detailed,
# about 3). Builds the Windows build's exif_bench first: the 32-bit build where this machine runs
# 32-bit programs, else the 64-bit one (BENCH_BUILD_DIR chooses; scripts/windows-builds.sh).
# With --native: the same decoding path and stb_image built natively with clang, without
# sanitizers (BENCH_BUILD_DIR, default build-exif-bench), run on the build machine itself.
# Usage: bash bench/run-exif-bench.sh [--native] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
native=0
if [ "${1:-}" = --native ]; then
  native=1
  shift
fi
if [ $native = 1 ]; then
  build=${BENCH_BUILD_DIR:-build-exif-bench}
  if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DSANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  echo "== native build ($build)"
else
  source scripts/windows-builds.sh
  pick_windows_build "${BENCH_BUILD_DIR:-}"
  build=$windows_build
  echo "== $windows_width build ($build)"
fi
cmake --build $build --target exif_bench >/dev/null
for detail in smooth detailed; do
  picture=$build/bench/exif_12mp_$detail.jpg
  if [ ! -f "$picture" ] || [ bench/make_exif_bench_picture.py -nt "$picture" ]; then
    /usr/bin/python3 bench/make_exif_bench_picture.py "$picture" $detail
  fi
  echo "== $detail"
  if [ $native = 1 ]; then
    $build/bench/exif_bench "$picture" "${1:-7}"
  else
    $build/wine-run $build/bench/exif_bench.exe "Z:$PWD/$picture" "${1:-7}"
  fi
done
