#!/usr/bin/env bash
# Installs what is missing, builds the native and the Win32 builds, and runs
# every test: the native unit tests and the Win32 tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBT_BUILD_DIR:-$root/build}

"$root/scripts/setup-debian.sh"
# Everything on, also in a build folder the main command configured.
cmake -S "$root" -B "$build" -DBUILD_TESTING=ON -DORBT_RENDERER=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure "$@"
