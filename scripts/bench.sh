#!/usr/bin/env bash
# Builds the plug-in, the benchmark and the renderer, then runs the
# renderer's benchmarks natively (its pictures, the visit history of
# one-visit patients and the health-record export of a made-up archive)
# and the plug-in's under Wine in an
# environment of its own, and prints the machine, the load and the figures.
#   scripts/bench.sh [--reps N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBT_BUILD_DIR:-$root/build}

for arg in "$@"; do
  case "$arg" in
  --reps | [0-9]*) ;;
  *) echo "usage: $0 [--reps N]" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

echo "machine: $(uname -m), $(nproc) CPUs," \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
echo "wine: $(wine --version)"
echo "load before the run:$(uptime | sed 's/.*load average: / /')"
echo

# Its files go to the build folder: /tmp on this kind of machine can cost
# more per file created than the renderer spends on a picture.
echo "orbitrace-render --bench 1000 (files in $build):"
TMPDIR=$build "$build/orbitrace-render" --bench 1000
echo

# The health-record export at archive scale: 20,000 patients, ten visits
# each, as bulk files, against the reader alone and --batch.
archive=$build/visits-20000x10.csv
[ -s "$archive" ] || "$root/scripts/make-visits.sh" 20000 12 10 >"$archive"
echo "orbitrace-render --bench-fhir (files in $build):"
TMPDIR=$build "$build/orbitrace-render" --bench-fhir "$archive"
echo

# The visit history where each patient costs most beside their sketches:
# one visit each (ORBT_BENCH_ONE_VISIT patients, 200,000 unless told).
patients=${ORBT_BENCH_ONE_VISIT:-200000}
one_visit=$build/visits-${patients}x1.csv
[ -s "$one_visit" ] || "$root/scripts/make-visits.sh" "$patients" 12 1 >"$one_visit"
echo "orbitrace-render --bench-history (files in $build):"
TMPDIR=$build "$build/orbitrace-render" --bench-history "$one_visit"
echo

echo "orbitrace_bench.exe under Wine:"
state=$build/wine-bench
"$root/tests/wine/wine-env.sh" start "$state" >/dev/null
trap '"$root/tests/wine/wine-env.sh" stop "$state"' EXIT
"$root/tests/wine/run-wine.sh" "$state" "$build/win32/orbitrace_bench.exe" "$@"
"$root/tests/wine/wine-env.sh" stop "$state" >/dev/null
trap - EXIT
echo
echo "load after the run:$(uptime | sed 's/.*load average: / /')"
