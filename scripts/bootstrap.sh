#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12 machine, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth x11-utils
  googletest libz-mingw-w64-dev libstb-dev
  clang llvm libclang-rt-14-dev
  libspandsp-dev valgrind
  imagemagick python3 python3-pil libimage-exiftool-perl
  file
)

need_install=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need_install+=("$p")
done

if [ ${#need_install[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing packages (${need_install[*]}); run as root to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "bootstrap: installing ${need_install[*]}"
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null

# The -posix MinGW compilers give std::thread and std::mutex, which GoogleTest uses.
for tool in gcc g++; do
  if update-alternatives --list "i686-w64-mingw32-$tool" >/dev/null 2>&1; then
    update-alternatives --set "i686-w64-mingw32-$tool" "/usr/bin/i686-w64-mingw32-$tool-posix" >/dev/null
  fi
done
