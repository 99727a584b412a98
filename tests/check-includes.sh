#!/usr/bin/env bash
# Checks that the plug-in's files include one another without a circle, so
# that its parts can be read in layers from the resources up to the entry.
# A header and its source are one unit (render/cup.h and render/cup.cpp);
# a unit that includes another's header depends on it. A folder holds
# units of more than one layer (sketch/ holds the Draw function above the
# dialog and the sketch state below it), so units, not folders, are
# ordered. tsort names the units of a circle.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
folders="host resources sketch dialog render export"

edges=$(
  for file in $(find $folders -name '*.h' -o -name '*.cpp' -o -name '*.rc'); do
    from=${file%.*}
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' \
      "$file" | while read -r included; do
      to=${included%.*}
      folder=${to%%/*}
      # Only the plug-in's own files; a unit's own header is no edge.
      if [[ " $folders " == *" $folder "* && $to != "$from" ]]; then
        echo "$from $to"
      fi
    done
  done | sort -u
)
if ! loop=$(tsort <<<"$edges" 2>&1 >/dev/null); then
  echo "FAIL: the plug-in's files include one another in a circle:"
  echo "$loop"
  exit 1
fi
echo "ok: $(wc -l <<<"$edges") includes between the plug-in's units, no circle"
