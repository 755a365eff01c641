#!/usr/bin/env bash
# Builds the codec benchmark without sanitizers at -O2 (its own build directory), runs it natively for
# nanoseconds per sample and under callgrind for instructions per sample, and prints both side by side
# with the ratios ours / spandsp. Instruction counts are repeatable on a noisy machine; times are not.
# Usage: bash bench/run-codec-bench.sh   (BENCH_BUILD_DIR, BENCH_CXX to override)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build-codec-bench}
cxx=${BENCH_CXX:-clang++}
cc=${BENCH_CC:-clang}

if [ ! -f "$build/build.ninja" ]; then
  CC=$cc CXX=$cxx cmake -S . -B "$build" -G Ninja -DSANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" >/dev/null
fi
cmake --build "$build" --target codec_bench >/dev/null
bench=$build/bench/codec_bench

native=$(mktemp)
dumps=$(mktemp -d)
trap 'rm -rf "$native" "$dumps"' EXIT

"$bench" >"$native"
(cd "$dumps" && valgrind --tool=callgrind --callgrind-out-file=cg.out.%p "$OLDPWD/$bench" >/dev/null 2>"$dumps/valgrind.log") || {
  cat "$dumps/valgrind.log" >&2
  exit 1
}

samples=$(awk '$1 == "samples" {print $2}' "$native")
echo "G.726 32 kbit/s, $samples samples, $($cxx --version | head -n 1), -O2; spandsp $(dpkg-query -W -f='${Version}' libspandsp-dev 2>/dev/null || echo '?')"
grep encoders_agree "$native"
# Each dump names its section in the 'desc: Trigger: Client Request: NAME' line; 'totals:' is its count.
for f in "$dumps"/cg.out.*; do
  awk '/^desc: Trigger: Client Request:/ {name = $NF} /^totals:/ {print name, $2}' "$f"
done | sort >"$dumps/instructions"

awk -v samples="$samples" -v native="$native" '
  BEGIN {
    while ((getline line < native) > 0) {
      split(line, f, " ")
      if (f[1] == "ns_per_sample") ns[f[2]] = f[3]
    }
  }
  { ir[$1] = $2 / samples }
  END {
    printf "%-24s %12s %14s\n", "section", "ns/sample", "instr/sample"
    n = split("ours_encode spandsp_encode ours_decode spandsp_decode_ulaw spandsp_decode_linear ours_decword spandsp_decode_packed", order, " ")
    for (i = 1; i <= n; ++i) printf "%-24s %12.1f %14.1f\n", order[i], ns[order[i]], ir[order[i]]
    printf "\nratio ours/spandsp          %10s %14s\n", "time", "instructions"
    printf "encode                      %10.3f %14.3f\n", ns["ours_encode"] / ns["spandsp_encode"], ir["ours_encode"] / ir["spandsp_encode"]
    printf "decode (vs mu-law mode)     %10.3f %14.3f\n", ns["ours_decode"] / ns["spandsp_decode_ulaw"], ir["ours_decode"] / ir["spandsp_decode_ulaw"]
    printf "decode (vs linear mode)     %10.3f %14.3f\n", ns["ours_decode"] / ns["spandsp_decode_linear"], ir["ours_decode"] / ir["spandsp_decode_linear"]
    printf "packed block decode         %10.3f %14.3f\n", ns["ours_decword"] / ns["spandsp_decode_packed"], ir["ours_decword"] / ir["spandsp_decode_packed"]
  }' "$dumps/instructions"
