#!/usr/bin/env bash
# Runs one Win32 program in the test run's Wine environment, bounded in time
# so that a stuck dialog fails the test instead of hanging the run.
#   run-wine.sh STATE_DIR PROGRAM.exe [ARGS...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 STATE_DIR PROGRAM.exe [ARGS...]" >&2; exit 2; }
state=$1
shift
if [ ! -f "$state/env" ]; then
  echo "run-wine: no Wine environment in $state (start it with wine-env.sh start)" >&2
  exit 1
fi
# shellcheck disable=SC1091
. "$state/env"
exec timeout --kill-after=10 "${ORBT_WINE_TIMEOUT:-600}" wine "$@"
