#!/usr/bin/env bash
# Checks that the project's files include one another without a circle, so
# that its parts can be read in layers: the plug-in from the resources up to
# the entry, the stand-in host, and orbitrace-render (with history/) from
# the pure computations up to its command line.
# A header and its source are one unit (sketch/sketch_state.h and .cpp); a
# header that declares what several sources of its folder define is one
# unit with them (render/render.h with render/disc.cpp, cup.cpp ...). A unit
# that includes another's header depends on it. A folder holds units of
# more than one layer (sketch/ holds the Draw call above the dialog and the
# sketch state below it), so units, not folders, are ordered. tsort names
# the units of a circle.
#   check-includes.sh [SOURCE_ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
folders=(host resources sketch dialog render export stand-in-host orbitrace-render)

includes() {
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"
}

unit_of() {
  local file=$1 included
  if [[ $file == *.cpp && ! -f ${file%.*}.h ]]; then
    while IFS= read -r included; do
      if [[ ${included%/*} == "${file%/*}" && -f $included &&
        ! -f ${included%.*}.cpp ]]; then
        echo "${included%.*}"
        return
      fi
    done < <(includes "$file")
  fi
  echo "${file%.*}"
}

edges=$(
  find "${folders[@]}" -name '*.h' -o -name '*.cpp' -o -name '*.rc' |
    while IFS= read -r file; do
      from=$(unit_of "$file")
      includes "$file" | while IFS= read -r included; do
        to=${included%.*}
        # Only the project's own files; a unit's own header is no edge.
        if [[ " ${folders[*]} " == *" ${to%%/*} "* && $to != "$from" ]]; then
          echo "$from $to"
        fi
      done
    done | sort -u
)
if ! loop=$(tsort <<<"$edges" 2>&1 >/dev/null); then
  echo "FAIL: the project's files include one another in a circle:"
  echo "$loop"
  exit 1
fi
echo "ok: $(wc -l <<<"$edges") includes between the project's units, no circle"
