#!/usr/bin/env bash
# Runs one Win32 program in the test run's Wine environment, bounded in time
# so that a stuck dialog fails the test instead of hanging the run.
#   run-wine.sh STATE_DIR PROGRAM.exe [ARGS...]
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: $0 STATE_DIR PROGRAM.exe [ARGS...]" >&2; exit 2; }
state=$(realpath -m "$1")
shift
if [ ! -f "$state/env" ]; then
  echo "run-wine: no Wine environment in $state (start it with wine-env.sh start)" >&2
  exit 1
fi
# shellcheck disable=SC1091
. "$state/env"
# Wine's helper processes (services, explorer) outlive the program and
# inherit its output: through a file, not the caller's pipe, which would
# otherwise stay open after the program has ended.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
timeout --kill-after=10 "${ORBT_WINE_TIMEOUT:-600}" wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
[ "$rc" -eq 124 ] && echo "run-wine: $1 did not finish within ${ORBT_WINE_TIMEOUT:-600} s" >&2
exit "$rc"
