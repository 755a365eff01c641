#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12 machine, as root.
# Safe to run again: it only installs what is missing, and fetches libjpeg-turbo's source once.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth x11-utils
  googletest libz-mingw-w64-dev libstb-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs nasm dpkg-dev patch
  clang llvm libclang-rt-14-dev
  libspandsp-dev valgrind
  nsis nsis-pluginapi
  imagemagick python3 python3-pil libimage-exiftool-perl
  file
)

need_install=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need_install+=("$p")
done

# VXXIF32's JPEG decoder is libjpeg-turbo, built by every build (Windows and native) from a
# patched copy of Debian's own source package, of exactly the version of libjpeg62-turbo-dev.
# The source is unpacked here, outside every work tree, shared by all of them and never changed.
JPEG_SOURCE_ROOT=/usr/local/src/libjpeg-turbo
jpeg_source_ready() {
  local version
  version=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev 2>/dev/null) || return 1
  [ -f "$JPEG_SOURCE_ROOT/VERSION" ] && [ "$(cat "$JPEG_SOURCE_ROOT/VERSION")" = "$version" ]
}

if [ ${#need_install[@]} -eq 0 ] && jpeg_source_ready; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing packages (${need_install[*]}) or libjpeg-turbo's source; run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#need_install[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  echo "bootstrap: installing ${need_install[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null

  # The -posix MinGW compilers give std::thread and std::mutex, which GoogleTest uses.
  for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
    for tool in gcc g++; do
      if update-alternatives --list "$triplet-$tool" >/dev/null 2>&1; then
        update-alternatives --set "$triplet-$tool" "/usr/bin/$triplet-$tool-posix" >/dev/null
      fi
    done
  done
fi

if ! jpeg_source_ready; then
  # Debian's source index for the same mirrors and suites as the binary one: a deb-src twin
  # of each entry.
  src_list=/etc/apt/sources.list.d/debian-src.sources
  if ! grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources &&
     ! grep -qs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src_list"
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/debian-src.list
    fi
  fi
  version=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)
  echo "bootstrap: fetching Debian's libjpeg-turbo source $version"
  apt-get update -qq
  rm -rf "$JPEG_SOURCE_ROOT"
  mkdir -p "$JPEG_SOURCE_ROOT"
  (cd "$JPEG_SOURCE_ROOT" && apt-get source -qq "libjpeg-turbo=$version" >/dev/null 2>&1) || {
    echo "bootstrap: apt-get source libjpeg-turbo=$version failed" >&2
    exit 1
  }
  upstream=${version#*:}
  upstream=${upstream%-*}
  if ! grep -q "^set(VERSION $upstream)" "$JPEG_SOURCE_ROOT/libjpeg-turbo-$upstream/CMakeLists.txt"; then
    echo "bootstrap: $JPEG_SOURCE_ROOT/libjpeg-turbo-$upstream is not libjpeg-turbo $upstream" >&2
    exit 1
  fi
  ln -sfn "libjpeg-turbo-$upstream" "$JPEG_SOURCE_ROOT/source"
  echo "$version" >"$JPEG_SOURCE_ROOT/VERSION"
fi
