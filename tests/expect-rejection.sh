#!/usr/bin/env bash
# A check must reject a stored input that has what it exists to catch, and
# say so: fails unless CHECK exits non-zero on INPUT (followed by each ARG
# given with -a) and its output matches every PATTERN (extended regular
# expressions).
#   expect-rejection.sh [-a ARG]... CHECK INPUT PATTERN...
set -uo pipefail
usage() { echo "usage: $0 [-a ARG]... CHECK INPUT PATTERN..." >&2; exit 2; }
extra=()
while getopts a: opt; do
  case $opt in
  a) extra+=("$OPTARG") ;;
  *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || usage
check=$1 input=$2
shift 2
out=$("$check" "$input" "${extra[@]}" 2>&1)
rc=$?
echo "$out"
fail=0
if [ "$rc" -eq 0 ]; then
  echo "FAIL: $(basename "$check") passed $(basename "$input"), which it must reject"
  fail=1
fi
for pattern in "$@"; do
  if ! grep -Eq -- "$pattern" <<<"$out"; then
    echo "FAIL: $(basename "$check") did not report /$pattern/ for $(basename "$input")"
    fail=1
  fi
done
[ "$fail" -eq 0 ] && echo "ok: $(basename "$check") rejected $(basename "$input") for what it holds"
exit "$fail"
