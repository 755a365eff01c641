#!/usr/bin/env bash
# Builds Debian's Wine in its WoW64 mode into /opt/wine-wow64 (or $1): a Wine whose loader and
# libraries are 64-bit Linux programs and which still runs 32-bit Windows programs, as 64-bit
# Windows does. It lets a machine that runs no 32-bit Linux programs run the 32-bit build's tests:
#
#   bash scripts/build-wine-wow64.sh          (as root; about an hour and a half on two CPUs)
#   WINE_WOW64=/opt/wine-wow64 bash scripts/test.sh
#
# Debian 12 packages no Wine of this kind, so it is built from Debian's own wine source package
# (with Debian's patches), leaving out the modules no test of this project touches (Direct3D,
# media, the C++ runtimes of the Visual C++ versions, HTML, 16-bit support), which halves the
# build. The test command never runs this by itself: it is a tool for checking the 32-bit build
# where 32-bit Linux programs cannot run (docs/development.md).
set -euo pipefail
prefix=${1:-/opt/wine-wow64}
work=${WINE_WOW64_WORK:-/var/tmp/wine-wow64}
log() { echo "build-wine-wow64: $*"; }

mkdir -p "$work/source"
cd "$work/source"
if ! ls -d wine-*/ >/dev/null 2>&1; then
  log "fetching Debian's wine source package and what it builds with"
  DEBIAN_FRONTEND=noninteractive apt-get build-dep -y wine >/dev/null
  apt-get source wine >/dev/null
fi
source_dir=$(cd "$(ls -d wine-*/ | head -n 1)" && pwd)

# Debian's source leaves out the generated files; its rules make them before configuring.
if [ ! -f "$source_dir/configure" ]; then
  log "generating the files Debian's package makes before configuring"
  cd "$source_dir"
  sed -n '/^override_dh_auto_configure:/,/\.\/configure/p' debian/rules | sed '1d;$d' |
    grep -v -e '^ifneq' -e '^endif' -e 'rm -rf libs/zlib' -e '^\s*#' -e '^\s*\$(' | sed 's/^\t//' |
    while IFS= read -r step; do (eval "$step") >/dev/null; done
  autoreconf -f >/dev/null
  # The icons, bitmaps and cursors the resource files name are left out too: rendered from
  # their SVG drawings as Wine's maintainer mode would (which cannot build out of tree).
  find dlls programs -name '*.rc' | while IFS= read -r rc; do
    for name in $(grep -oE '[A-Za-z0-9_.-]+\.(ico|bmp|cur)' "$rc" | sort -u); do
      image=$(dirname "$rc")/$name
      if [ ! -e "$image" ] && [ -e "${image%.*}.svg" ]; then
        tools/buildimage "${image%.*}.svg" "$image" >/dev/null
      fi
    done
  done
fi

# Modules none of the tests, the setup program or Wine's own start-up needs.
unused=$(ls "$source_dir/dlls" | grep -E '^(msvcr[0-9]|msvcp|msvcirt|msvcrt[24]0|msvcrtd|d3d|d3dx|ddraw|dxgi|wined3d|xaudio|xactengine|x3daudio|xapofx|mshtml|jscript|vbscript|mf|quartz|qedit|wmvcore|wmp|dinput|msxml|wldap32|opencl|dwrite|d2d1|wineps|winegstreamer|msi$|dmusic|dmime|dplay|dsdmo|dmband|dmcompos|dmloader|dmscript|dmstyle|dmsynth|dswave|dx8vb|dxdiag|windows\.media|wpcap|wbemprox|mscoree|winevulkan|vulkan|gphoto|evr|amstream|mciavi|avifil|msvfw|iccvid|ir50|mp3dmod|l3codeca|wmadmoe|concrt|vcomp)' |
  grep -v -E '\.(dll16|drv16|exe16|vxd)$' | sed 's/^/--disable-/')

mkdir -p "$work/build"
cd "$work/build"
if [ ! -f Makefile ]; then
  log "configuring for 32- and 64-bit Windows programs in one 64-bit Wine"
  # shellcheck disable=SC2086
  "$source_dir/configure" --prefix="$prefix" --enable-archs=i386,x86_64 --disable-tests --disable-win16 \
    --without-oss --without-sane --without-netapi --without-cups --without-gstreamer --without-opencl \
    --without-pcap --without-capi --without-gphoto --without-v4l2 --without-krb5 --without-sdl \
    --without-usb $unused >configure.log 2>&1 || { tail -n 20 configure.log; exit 1; }
fi
log "building (the log is $work/build/make.log)"
# The generated version header is included as "version.h", which finds it only beside its users
# in the source tree, not in the build tree where it is made.
make dlls/ntdll/unix/version.h >/dev/null
cp dlls/ntdll/unix/version.h "$source_dir/dlls/ntdll/unix/version.h"
make -j"$(nproc)" >make.log 2>&1 || { tail -n 20 make.log; exit 1; }
make install >install.log 2>&1 || { tail -n 20 install.log; exit 1; }
log "installed in $prefix; run the 32-bit tests with WINE_WOW64=$prefix bash scripts/test.sh"
