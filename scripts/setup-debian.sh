#!/usr/bin/env bash
# Installs what building and testing Orbitrace needs on Debian 12, as root.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth x11-apps
  libstb-dev
  clang libclang-rt-14-dev
  libcairo2-dev libpng-dev fonts-dejavu-core
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup-debian.sh: run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup-debian.sh: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
