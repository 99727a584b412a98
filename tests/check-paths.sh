#!/usr/bin/env bash
# Checks that the plug-in's code calls, between BeginPath and EndPath, only
# what Windows 95, 98 and ME record in a path: CloseFigure, ExtTextOut,
# LineTo, MoveToEx, PolyBezier, PolyBezierTo, Polygon, Polyline,
# PolylineTo, PolyPolygon, PolyPolyline and TextOut. Anything else (an
# Ellipse, a function of our own that might draw one) records nothing
# there, and the clip or fill made from the path silently lacks it.
#   check-paths.sh SOURCE_FILE_OR_FOLDER...
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 SOURCE_FILE_OR_FOLDER..." >&2; exit 2; }
mapfile -t files < <(find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
[ ${#files[@]} -gt 0 ] || { echo "FAIL: no sources in $*"; exit 1; }
recorded='^(CloseFigure|ExtTextOut[AW]?|LineTo|MoveToEx|PolyBezier|PolyBezierTo|Polygon|Polyline|PolylineTo|PolyPolygon|PolyPolyline|TextOut[AW]?)$'
# Calls are names followed by "(", comments and strings left out; a
# bracket runs from the line with BeginPath( to the line with EndPath(.
report=$(awk -v ok="$recorded" '
  FNR == 1 { inside = 0 }
  {
    line = $0
    sub(/\/\/.*/, "", line)
    gsub(/"([^"\\]|\\.)*"/, "\"\"", line)
    if (line ~ /BeginPath[ \t]*\(/) { inside = 1; ++brackets; sub(/.*BeginPath[ \t]*\(/, "", line) }
    ends = line ~ /EndPath[ \t]*\(/
    if (ends) sub(/EndPath[ \t]*\(.*/, "", line)
    while (inside && match(line, /[A-Za-z_][A-Za-z_0-9]*[ \t]*\(/)) {
      name = substr(line, RSTART, RLENGTH)
      sub(/[ \t]*\($/, "", name)
      line = substr(line, RSTART + RLENGTH)
      if (name ~ /^(if|for|while|switch|return|sizeof)$/ || name ~ ok) continue
      printf "%s:%d: %s\n", FILENAME, FNR, name
    }
    if (ends) inside = 0
  }
  END { printf "brackets %d\n", brackets > "/dev/stderr" }
' "${files[@]}" 2>/tmp/check-paths.$$)
brackets=$(sed -n 's/^brackets //p' /tmp/check-paths.$$)
rm -f /tmp/check-paths.$$
if [ -n "$report" ]; then
  echo "FAIL: calls inside a path bracket that Windows 95, 98 and ME do not record:"
  echo "$report"
  exit 1
fi
echo "ok: ${brackets:-0} path brackets in ${#files[@]} files, each recording only what every Windows records"
