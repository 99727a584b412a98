#!/usr/bin/env bash
# Installs what building and testing Orbitrace needs on Debian 12, or with
# --build only what building it needs. Needs root only when something is
# missing; when every package is present it only checks and returns. What
# each package is for: docs/development.md.
#   setup-debian.sh [--build]
set -euo pipefail

# Building the plug-in, the stand-in host and orbitrace-render.
build_packages=(
  cmake make g++ pkg-config
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  libstb-dev libfast-float-dev
  libcairo2-dev libpng-dev fonts-dejavu-core
  libpango1.0-dev libutf8proc-dev
  rapidjson-dev uuid-dev libglib2.0-dev
)
# Building and running the tests besides; the fonts give the PDF report
# glyphs for names in any script.
test_packages=(
  googletest libgtest-dev
  wine wine32:i386 xvfb xauth x11-apps
  clang libclang-rt-14-dev
  chromium poppler-utils
  fonts-noto-cjk fonts-symbola
  nodejs npm
)

case "${1:-}" in
--build) packages=("${build_packages[@]}") build_only=1 ;;
"") packages=("${build_packages[@]}" "${test_packages[@]}") ;;
*) echo "usage: $0 [--build]" >&2; exit 2 ;;
esac

# Wine's 32-bit part needs the i386 architecture.
need_arch=0
if [[ " ${packages[*]} " == *":i386 "* ]] &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_arch=1
fi

missing=()
for p in "${packages[@]}"; do
  # A node with its own npm, from elsewhere, does for Debian's two (whose
  # npm would conflict with it).
  if [[ $p == nodejs || $p == npm ]] && command -v node >/dev/null &&
    command -v npm >/dev/null; then
    continue
  fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The FHIR validators of the tests, from the npm registry at the versions
# tests/fhir/package-lock.json pins.
install_validators() {
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/fhir"
  if [ -z "${build_only:-}" ] && ! (cd "$dir" && npm ls --depth=0 >/dev/null 2>&1); then
    echo "setup-debian.sh: installing the FHIR validators in $dir" >&2
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}

# Root is needed only for something to install.
if [ "$need_arch" -eq 0 ] && [ "${#missing[@]}" -eq 0 ]; then
  install_validators
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
install_validators
