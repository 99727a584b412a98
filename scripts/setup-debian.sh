#!/usr/bin/env bash
# Installs what building and testing Orbitrace needs on Debian 12. Needs
# root only when something is missing; when every package is present it only
# checks and returns.
set -euo pipefail

packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth x11-apps
  libstb-dev libfast-float-dev libgtest-dev
  clang libclang-rt-14-dev
  libcairo2-dev libpng-dev fonts-dejavu-core
  libcsv-dev chromium poppler-utils
  libpango1.0-dev fonts-noto-cjk fonts-symbola
)

need_arch=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_arch=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Root is needed only for something to install.
if [ "$need_arch" -eq 0 ] && [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "setup-debian.sh: missing ${missing[*]:-the i386 architecture}; run as root to install" >&2
  exit 1
fi

if [ "$need_arch" -eq 1 ]; then
  dpkg --add-architecture i386
fi
echo "setup-debian.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
