#!/usr/bin/env bash
# Builds static OpenSSL 3, libqrencode, libdeflate and GoogleTest for mingw-w64 from
# Debian's source packages into a cache folder outside the source tree.
# A finished cache (marked by .complete) is reused as it is.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
prefix=$("$here/win-deps-dir.sh")
if [ -f "$prefix/.complete" ]; then
  exit 0
fi

toolchain="$here/../cmake/mingw-w64.cmake"
work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-windeps.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt-get source downloads as the _apt user
jobs=$(nproc)

if ! ls /etc/apt/sources.list.d/*.sources 2>/dev/null | xargs -r grep -l '^Types: deb-src' >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Debian source lists are not enabled. As root run:" >&2
    echo "  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/vantrel-src.sources && apt-get update" >&2
    exit 1
  fi
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > /etc/apt/sources.list.d/vantrel-src.sources
  apt-get update -q
fi

echo "Building Windows dependencies into $prefix"
rm -rf "$prefix"
mkdir -p "$prefix"
cd "$work"
apt-get source --download-only --tar-only openssl qrencode libdeflate >/dev/null

# OpenSSL: static libraries only, no engines or config loading.
tar xf openssl_*.orig.tar.*
cd openssl-*/
./Configure mingw64 no-shared no-tests no-autoload-config \
  --cross-compile-prefix=x86_64-w64-mingw32- \
  --prefix="$prefix" --openssldir="$prefix/ssl" --libdir=lib >/dev/null
make -j"$jobs" build_libs >/dev/null
make install_dev >/dev/null
cd "$work"

# libqrencode: the library alone.
tar xf qrencode_*.orig.tar.*
cmake -S qrencode-*/ -B qrencode-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -DWITH_TOOLS=OFF -DWITHOUT_PNG=ON -DWITH_TESTS=OFF >/dev/null
cmake --build qrencode-build -j"$jobs" >/dev/null
cmake --install qrencode-build >/dev/null

# libdeflate: its own makefile names the static library for Windows
# libdeflatestatic.lib; it is installed under the usual name.
tar xf libdeflate_*.orig.tar.*
make -C libdeflate-*/ -j"$jobs" CC=x86_64-w64-mingw32-gcc-posix AR=x86_64-w64-mingw32-ar \
  libdeflatestatic.lib >/dev/null
install -D -m 0644 libdeflate-*/libdeflate.h "$prefix/include/libdeflate.h"
install -D -m 0644 libdeflate-*/libdeflatestatic.lib "$prefix/lib/libdeflate.a"

# GoogleTest from Debian's source package.
cmake -S /usr/src/googletest -B gtest-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build gtest-build -j"$jobs" >/dev/null
cmake --install gtest-build >/dev/null

touch "$prefix/.complete"
echo "Windows dependencies ready in $prefix"
