#!/usr/bin/env bash
# File browser benchmark: makes a folder of Exif pictures with embedded thumbnails (once, in
# <build>/bench-data/browser), runs bench/browser_bench.cpp under Wine on it and prints its figures
# with the two targets: entering the folder to the first painted grid at most 1.5 x the baseline
# (enumerating the folder and reading each file's first 64 KiB), and a page of scrolling painted in
# under 50 ms. Runs the 32-bit build where this machine runs 32-bit programs, else the 64-bit one.
# Usage: bash bench/run-browser-bench.sh   (BENCH_BUILD_DIR, BENCH_PICTURES to override)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-builds.sh
pick_windows_build "${BENCH_BUILD_DIR:-}"
build=$windows_build
echo "== $windows_width build ($build)"
count=${BENCH_PICTURES:-2000}
data=$build/bench-data/browser

if [ ! -f "$data/pictures/p$(printf %04d $((count - 1))).jpg" ]; then
  rm -rf "$data"
  /usr/bin/python3 bench/make_browser_bench_pictures.py "$data" "$count"
fi
cmake --build "$build" --target browser_bench VXXIF32 VXK4X32 >/dev/null

folder="Z:$(realpath "$data" | tr / '\\')"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
bash scripts/with-display.sh "$build/wine-run" "$build/bench/browser_bench.exe" "$folder" >"$out"
cat "$out"
awk '
  {v[$1] = $2}
  END {
    printf "enter: %.1f ms = %.2f x baseline %.1f ms (target <= 1.50): %s\n", v["enter_ms"], v["enter_ratio"],
           v["baseline_ms"], v["enter_ratio"] + 0 <= 1.5 ? "met" : "MISSED"
    printf "page: mean %.1f ms, max %.1f ms over %d pages (target < 50 ms): %s\n", v["page_mean_ms"], v["page_max_ms"],
           v["pages"], v["page_max_ms"] + 0 < 50 ? "met" : "MISSED"
  }' "$out"
