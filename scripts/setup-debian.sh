#!/usr/bin/env bash
# Installs what Orbitrace needs on Debian 12: with --build what building the
# programs needs, with --run what the main job needs (the plug-in, the
# stand-in host and Wine), with nothing everything, the tests included.
# Needs root only when something is missing; when every package is present
# it only checks and returns. What each package is for: docs/development.md.
#   setup-debian.sh [--build | --run]
set -euo pipefail

# One row a package: who needs it (build: the programs; run: the main job;
# test: the test run, which needs every row), then the package.
table='
build,run  cmake
build,run  make
build,run  g++
build      pkg-config
build,run  g++-mingw-w64-i686
build,run  mingw-w64-i686-dev
build,run  binutils-mingw-w64-i686
build,run  libstb-dev
build,run  libfast-float-dev
build      libcairo2-dev
build      libpng-dev
build      fonts-dejavu-core
build      libpango1.0-dev
build      libutf8proc-dev
build      rapidjson-dev
build      uuid-dev
build      libglib2.0-dev
build      libcurl4-openssl-dev
run        wine
run        wine32:i386
run        xvfb
test       xauth
test       x11-apps
test       locales
test       googletest
test       libgtest-dev
test       clang
test       libclang-rt-14-dev
test       chromium
test       poppler-utils
test       qpdf
test       fonts-noto-cjk
test       fonts-symbola
test       curl
test       jq
test       nodejs
test       npm
'

case "${1:-}" in
--build) who=build ;;
--run) who=run ;;
"") who=test ;;
*) echo "usage: $0 [--build | --run]" >&2; exit 2 ;;
esac

packages=()
while read -r users package; do
  [ -n "${package:-}" ] || continue
  if [ "$who" = test ] || [[ ",$users," == *",$who,"* ]]; then
    packages+=("$package")
  fi
done <<<"$table"

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

# The tests' npm packages, from the npm registry at the versions each
# folder's package-lock.json pins: FHIR's validators (tests/fhir), axe-core
# and html-validate (tests/report).
install_validators() {
  local dir
  for dir in tests/fhir tests/report; do
    install_npm_folder "$(cd "$(dirname "$0")/.." && pwd)/$dir"
  done
}

install_npm_folder() {
  local dir=$1
  if [ "$who" = test ] && ! (cd "$dir" && npm ls --depth=0 >/dev/null 2>&1); then
    echo "setup-debian.sh: installing the tests' npm packages in $dir" >&2
    # Node.js trusts only its own list of authorities; the system's also
    # holds those a site adds for its own proxy.
    local system_cas=/etc/ssl/certs/ca-certificates.crt
    if [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$system_cas" ]; then
      export NODE_EXTRA_CA_CERTS=$system_cas
    fi
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
