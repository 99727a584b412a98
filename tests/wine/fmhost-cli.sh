#!/usr/bin/env bash
# The stand-in host's command line as a user meets it: its answers, its
# errors and its exit codes.
#   fmhost-cli.sh STATE_DIR WIN32_DIR
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 STATE_DIR WIN32_DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
state=$1 win32=$(realpath "$2")
plugin="Z:$win32/Orbitrace.fmx"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

fmhost() { "$here/run-wine.sh" "$state" "$win32/fmhost.exe" "$@"; }

# expect NAME EXIT_CODE PATTERN... -- ARGS: runs fmhost, checks the exit
# code and that some line of its output begins with each pattern.
expect() {
  local name=$1 code=$2
  shift 2
  local patterns=()
  while [ "$1" != "--" ]; do patterns+=("$1"); shift; done
  shift
  local out rc ok=1
  out=$(fmhost "$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$code" ]; then
    echo "FAIL: $name: exit code $rc, expected $code"
    ok=0
  fi
  for p in "${patterns[@]}"; do
    if ! awk -v p="$p" 'index($0, p) == 1 { found = 1 } END { exit !found }' <<<"$out"; then
      echo "FAIL: $name: no line '$p' in:"
      sed 's/^/    /' <<<"$out"
      ok=0
    fi
  done
  if [ "$ok" -eq 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

expect "bad option" 2 "fmhost: unknown option '--bogus'" -- --bogus
expect "mistyped option" 2 \
  "fmhost: unknown option '--lsit', did you mean '--list'?" \
  "Try 'fmhost --help'." -- "$plugin" --lsit
expect "mistyped function" 2 \
  "fmhost: the plug-in lists no function 'ORBT_Drwa', did you mean 'ORBT_Draw'?" \
  -- "$plugin" --call ORBT_Drwa
# Whole names only: a shortened one is a mistyped one.
expect "shortened option" 2 \
  "fmhost: unknown option '--lis', did you mean '--list'?" -- "$plugin" --lis
expect "no plug-in" 2 -- --list
expect "missing plug-in" 1 -- "Z:$win32/nothing.fmx" --list
expect "listing" 0 "name: Orbitrace" 'description: "Orbitrace Plug-in "' \
  "options: QNTX1nYYYnn" "function 0: ORBT_Version" "function 2: ORBT_Draw" \
  "init: 4" -- "$plugin" --list --init
# A number after --init is its version, a sign and all.
expect "version below zero" 0 "init: 4" -- "$plugin" --init -1
expect "version" 0 "result (14): Orbitrace v1.3" "memory: ok" -- \
  "$plugin" --call ORBT_Version
expect "version by ID" 0 "result (14): Orbitrace v1.3" -- "$plugin" --call 0
expect "unknown function" 0 "result: untouched" -- "$plugin" --call 7 "x"
expect "failed resize" 0 "result: untouched" "memory: ok" -- \
  "$plugin" --call ORBT_Version --fail-resize 1
expect "draw" 0 "result (14): .30|.40|2|-.25" "memory: ok" "script: ok" \
  "formats: CF_DIB CF_BITMAP CF_PALETTE" -- \
  "$plugin" --call ORBT_Draw ".35|.40|3|-.20|Right eye" --click 113 \
  --click 122 --click 118 --ok --formats --picture "Z:$work/sketch.bmp"
expect "draw error" 0 'result (7): $$002$$' -- "$plugin" --call ORBT_Draw ""
expect "picture kind" 2 -- "$plugin" --call ORBT_Draw "1" --picture "Z:$work/x.gif"

# An error is one line and the way to the usage, not the usage itself.
lines=$(fmhost "$plugin" --timeout 0 2>&1 | wc -l)
if [ "$lines" -eq 2 ]; then
  passed=$((passed + 1))
else
  echo "FAIL: an argument error printed $lines lines, expected 2"
  failed=$((failed + 1))
fi

if [ "$(head -c 2 "$work/sketch.bmp" 2>/dev/null)" = "BM" ]; then
  passed=$((passed + 1))
else
  echo "FAIL: the picture was not written as a .bmp file"
  failed=$((failed + 1))
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
