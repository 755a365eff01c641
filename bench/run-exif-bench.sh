#!/usr/bin/env bash
# VXXIF32 against stb_image and thumbnail against whole picture, under Wine, on two generated
# 12-megapixel Exif JPEGs without embedded thumbnail (smooth, about 1 bit a pixel; detailed,
# about 3). Builds the Windows build's exif_bench first: the 32-bit build where this machine runs
# 32-bit programs, else the 64-bit one (BENCH_BUILD_DIR chooses; scripts/windows-builds.sh).
# Usage: bash bench/run-exif-bench.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-builds.sh
pick_windows_build "${BENCH_BUILD_DIR:-}"
build=$windows_build
echo "== $windows_width build ($build)"
cmake --build $build --target exif_bench >/dev/null
for detail in smooth detailed; do
  picture=$build/bench/exif_12mp_$detail.jpg
  if [ ! -f "$picture" ] || [ bench/make_exif_bench_picture.py -nt "$picture" ]; then
    /usr/bin/python3 bench/make_exif_bench_picture.py "$picture" $detail
  fi
  echo "== $detail"
  $build/wine-run $build/bench/exif_bench.exe "Z:$PWD/$picture" "${1:-7}"
done
