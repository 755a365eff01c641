#!/usr/bin/env bash
# VXXIF32 against stb_image and thumbnail against whole picture, under Wine, on a generated
# 12-megapixel Exif JPEG without embedded thumbnail. Builds the Windows build's exif_bench first.
# Usage: bash bench/run-exif-bench.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target exif_bench >/dev/null
picture=build/bench/exif_12mp.jpg
if [ ! -f "$picture" ] || [ bench/make_exif_bench_picture.py -nt "$picture" ]; then
  /usr/bin/python3 bench/make_exif_bench_picture.py "$picture"
fi
build/wine-run build/bench/exif_bench.exe "Z:$PWD/$picture" "${1:-7}"
