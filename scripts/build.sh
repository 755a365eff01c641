#!/usr/bin/env bash
# Configures and builds the Windows build (build/) and the native build (build/native/).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake >/dev/null
fi
cmake --build build

if [ "${SKIP_NATIVE:-0}" != 1 ]; then
  if [ ! -f build/native/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build build/native
fi
