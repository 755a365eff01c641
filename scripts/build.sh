#!/usr/bin/env bash
# Configures and builds the 32-bit Windows build (build/), the 64-bit Windows build
# (build/win64/) and the native build (build/native/). SKIP_NATIVE=1 leaves the native one out.
set -euo pipefail
cd "$(dirname "$0")/.."

windows_build() { # <folder> <toolchain file>
  if [ ! -f "$1/build.ninja" ]; then
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$2" >/dev/null
  fi
  cmake --build "$1"
}
windows_build build cmake/mingw-w64-i686.cmake
windows_build build/win64 cmake/mingw-w64-x86_64.cmake
# The 32-bit setup program carries the 64-bit source too, which is built after it.
if cmake --build build --target help | grep -q '^setup:'; then
  cmake --build build --target setup
fi

if [ "${SKIP_NATIVE:-0}" != 1 ]; then
  if [ ! -f build/native/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build build/native
fi
