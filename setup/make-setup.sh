#!/usr/bin/env bash
# Makes the setup program with makensis when it is missing or older than anything it holds.
# The other Windows build's bin folder is taken when it holds a data source, so that one setup
# program carries both widths wherever both builds exist.
# Usage: make-setup.sh <script.nsi> <output.exe> <width: 32|64> <own bin> <other bin> <plug-in dir> <read-me> <version>
set -euo pipefail
script=$1 out=$2 width=$3 own=$4 other=$5 plugin=$6 readme=$7 version=$8

defines=(-DOUTFILE="$out" -DVERSION="$version" -DREADME="$readme" -DPLUGIN_DIR="$plugin")
if [ "$width" = 64 ]; then
  defines+=(-DAMD64 -DBIN64="$own")
  [ -f "$other/LX3TWS32.ds" ] && defines+=(-DBIN32="$other")
else
  defines+=(-DBIN32="$own")
  [ -f "$other/LX3TWS32.ds" ] && defines+=(-DBIN64="$other")
fi
widths=$(printf '%s\n' "${defines[@]}" | sed -n 's/^-DBIN\([0-9]*\)=.*/\1-bit/p' | sort | sed ':a;N;$!ba;s/\n/ and /')

inputs=("$script" "$readme" "$plugin/melvo_setup.dll")
for bin in "$own" "$other"; do
  [ -f "$bin/LX3TWS32.ds" ] || continue
  for file in LX3TWS32.ds VXADP32.dll VX1CM32.dll VX2CM32.dll VX3CM32.dll VXK4X32.dll VXXIF32.dll; do
    inputs+=("$bin/$file")
  done
done
stamp="$out.widths"
if [ -f "$out" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$widths" ]; then
  newer=$(find "${inputs[@]}" -newer "$out" 2>/dev/null | head -n 1)
  [ -z "$newer" ] && exit 0
fi
makensis -V2 -NOCD "${defines[@]}" "$script" >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
echo "$widths" >"$stamp"
echo "setup: $out ($(du -k "$out" | cut -f1) KiB) holds the $widths source"
