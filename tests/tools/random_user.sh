#!/usr/bin/env bash
# The random user: twacquire --random-user through Wine's real source manager, with simulated
# cameras on COM1 (LX-3), COM2 (LX-1) and COM3 (LX-2, card and internal memory) that now and then
# fail, and a folder tree for the file browser (good pictures of both kinds, a damaged one, a
# subdirectory). Each seed runs RANDOM_USER_EVENTS events (default 1500); no event may take longer
# than RANDOM_USER_BOUND_MS (default 30000), no picture may arrive in part, every box is answered,
# and nothing may leak between the warm-up and the end.
# RANDOM_USER_SEEDS="1 2 3" chooses the seeds (default: the bounded run's seed and the seeds that
# once found faults). RANDOM_USER_VERBOSE=1 says every event.
# Usage: random_user.sh <build dir> <twain folder: twain_32 or twain_64>   (needs a display)
set -uo pipefail
build=$(cd "$1" && pwd)
run="$build/wine-run"
prefix="${WINEPREFIX:-$build/wineprefix}"
events="${RANDOM_USER_EVENTS:-1500}"
bound="${RANDOM_USER_BOUND_MS:-30000}"
seeds="${RANDOM_USER_SEEDS:-1}"

source "$(dirname "$0")/wine_slot.sh"
put_source_in_wine_slot "$run" "$prefix" "$2" "$build/bin/LX3TWS32.ds" || exit 1

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/random-user"
samples="$build/samples"
settings="$prefix/drive_c/windows/lx3twain.ini"
[ -f "$settings" ] && cp "$settings" "$build/random-user-lx3twain.ini.saved"

failures=0
for seed in $seeds; do
  rm -rf "$work" && mkdir -p "$work/folder/more" "$work/temp"
  make_camera() { /usr/bin/python3 -B "$source_dir/tools/camsim/make_camera.py" --root "$work/cameras" "$@" >/dev/null || exit 1; }
  make_camera --family 3 --port 1 "$samples/exif_o8.jpg" "$samples/odd_17x9.jpg" "$samples/gray_33x20.jpg"
  make_camera --family 1 --port 2 "$samples/k4i_o5.k4i" "$samples/k4i_1x1.k4i"
  make_camera --family 2 --port 3 --internal "$samples/k4i_o2.k4i" "$samples/k4i_17x9.k4i" "$samples/k4i_1x1.k4i"
  cp "$samples/exif_o3.jpg" "$work/folder/a.jpg"
  cp "$samples/portrait_300x400.jpg" "$work/folder/b.jpg"
  cp "$samples/odd_17x9.jpg" "$work/folder/c.jpg"
  cp "$samples/k4i_17x9.k4i" "$work/folder/d.k4i"
  head -c 700 "$samples/exif_o1.jpg" > "$work/folder/e_cut.jpg"
  for i in 1 2 3 4 5 6 7 8 9 10 11 12; do cp "$samples/odd_17x9.jpg" "$work/folder/more/p$i.jpg"; done
  cp "$samples/k4i_1x1.k4i" "$work/folder/more/q.k4i"
  verbose=()
  [ "${RANDOM_USER_VERBOSE:-0}" = 1 ] && verbose=(--verbose)
  output=$(CAMSIM_ROOT="Z:$work/cameras" "$run" "$build/bin/twacquire.exe" --auto --random-user "$seed" \
           --events "$events" --bound "$bound" --pick-files "Z:$work/folder" --temp "Z:$work/temp" "${verbose[@]}" \
           2>&1 | tr -d '\r')
  status=${PIPESTATUS[0]}
  echo "$output" | grep -v '^  \(ICAP\|CAP\)' | grep -v '^  source' | grep -v '^\(Opened\|The source manager\|Source identity\|  Product\|  Manufacturer\|  Version\|  TWAIN\|  Data\|  Id from\)' || true
  [ "$status" -eq 0 ] || { echo "seed $seed: twacquire exit code $status, expected 0"; failures=$((failures + 1)); }
  grep -q "^Random user: seed $seed, $events events" <<<"$output" ||
    { echo "seed $seed: the random user did not finish its $events events"; failures=$((failures + 1)); }
  leftover=$(find "$work/temp" -mindepth 1 | head -5)
  [ -z "$leftover" ] || { echo "seed $seed: left in the temporary folder: $leftover"; failures=$((failures + 1)); }
done

rm -f "$settings"
[ -f "$build/random-user-lx3twain.ini.saved" ] && cp "$build/random-user-lx3twain.ini.saved" "$settings"
echo "random_user: $failures problem(s)"
[ "$failures" -eq 0 ]
