#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# With --bench, also the peers and clients of `make bench` (never needed by
# the build or the tests). Safe to run again: it does nothing when everything
# is present.
set -euo pipefail

packages=(
  g++ cmake make ninja-build pkg-config
  clang libclang-rt-14-dev
  libssl-dev libqrencode-dev libdeflate-dev libgtest-dev googletest libcurl4-openssl-dev
  libvips-dev libvips-tools
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 xvfb xauth
  chromium
  python3 curl unzip openssl zbar-tools librsvg2-bin ffmpeg
  zip dpkg-dev
)
if [ "${1:-}" = "--bench" ]; then
  # nginx-light carries the WebDAV module the upload peer needs; iperf3
  # measures the emulated link's own capacity.
  packages+=(nginx-light wrk iperf3)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The browser tests run on Node.js and npm, which these machines usually bring
# from outside Debian's archive; only their absence calls for Debian's.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
