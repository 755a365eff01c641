#!/usr/bin/env bash
# Runs twacquire --auto against the probe source through Wine's real source manager, in a prefix
# of its own (<build>/probe-prefix), and checks that twacquire heard the source's MSG_XFERREADY,
# read the pending count, received both pictures by native transfer, ended each transfer, and
# then heard MSG_CLOSEDSREQ, which the probe sends only once both transfers have ended.
# Usage: twacquire_probe.sh <build dir> <twain folder: twain_32 or twain_64>   (needs a display: run ctest under scripts/with-display.sh)
set -uo pipefail
build=$(cd "$1" && pwd)
run="$build/wine-run"
export WINEPREFIX="$build/probe-prefix"

source "$(dirname "$0")/wine_slot.sh"
put_source_in_wine_slot "$run" "$WINEPREFIX" "$2" "$build/tests/probe/probe.ds" || exit 1

failures=0
expect() {
  if ! grep -qF -- "$1" <<<"$output"; then
    echo "MISSING in twacquire's output: $1"
    failures=$((failures + 1))
  fi
}

# The hold is long: the run must end early, by the source's close request.
out="$build/probe-pictures"
rm -rf "$out" && mkdir -p "$out"
output=$("$run" "$build/bin/twacquire.exe" --auto --hold 20000 --source "twacquire probe source" --out "Z:$out" 2>&1 |
         tr -d '\r')
status=${PIPESTATUS[0]}
echo "$output"
[ "$status" -eq 0 ] || { echo "twacquire exit code $status, expected 0"; failures=$((failures + 1)); }
expect 'CAP_XFERCOUNT        -1'
expect 'The source has 2 picture(s) ready (MSG_XFERREADY).'
expect 'Picture 1: 3 x 2 pixels, no resolution, native transfer'
expect 'Picture 2: 3 x 2 pixels, no resolution, native transfer'
# Saved as BMP files: 14-byte file header, the 40-byte DIB header, two rows of 12 bytes; the
# probe fills picture n's pixels with the byte n.
for n in 1 2; do
  file="$out/picture0$n.bmp"
  if [ "$(stat -c %s "$file" 2>/dev/null)" != 78 ] || [ "$(od -An -tu1 -j54 -N1 "$file" | tr -d ' ')" != "$n" ]; then
    echo "picture $n was not saved as the probe made it ($file)"
    failures=$((failures + 1))
  fi
done
expect 'The source asks to be closed (MSG_CLOSEDSREQ).'
expect 'Closed the TWAIN source manager.'
if grep -qF 'Kept the source enabled' <<<"$output"; then
  echo "the run ended by time, not by the source's close request"
  failures=$((failures + 1))
fi

echo "twacquire_probe: $failures problem(s)"
[ "$failures" -eq 0 ]
