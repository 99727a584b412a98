#!/usr/bin/env bash
# The main job: installs and builds only what it runs (the plug-in, the
# stand-in host, Wine), then makes one Draw call through the stand-in host
# under Wine, with a few scripted steps, prints the result text and writes
# the clipboard picture.
#   scripts/run.sh [fmhost options...]   (default: the Draw call below)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBT_BUILD_DIR:-$root/build}
picture=${ORBT_PICTURE:-$build/sketch.png}

"$root/scripts/setup-debian.sh" --run
# Only the plug-in and the stand-in host; a build folder the test command
# configured keeps its settings, and only these targets are built from it.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF -DORBT_RENDERER=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target win32 >/dev/null

state=$build/wine-main
"$root/tests/wine/wine-env.sh" start "$state" >/dev/null
trap '"$root/tests/wine/wine-env.sh" stop "$state"' EXIT

# A control's ID by its IDC_ name, from the one header that numbers them.
id() {
  awk -v name="$1" '$1 == "#define" && $2 == name { print $3 }' \
    "$root/resources/orbitrace_res.h"
}

default=0
if [ $# -eq 0 ]; then
  default=1
  rm -f "$picture"
  set -- --call ORBT_Draw ".35|.40|3|-.20|Right eye" \
    --click "$(id IDC_HORIZONTAL_DOWN)" --click "$(id IDC_LOCATION_UP)" \
    --select "$(id IDC_HORIZONTAL)=.30" --click "$(id IDC_RIM_DOWN)" --ok \
    --picture "Z:$picture"
fi
"$root/tests/wine/run-wine.sh" "$state" "$build/win32/fmhost.exe" \
  "Z:$build/win32/Orbitrace.fmx" "$@"
rc=$?
[ "$default" -eq 1 ] && [ -f "$picture" ] && echo "The clipboard picture is in $picture"
exit "$rc"
