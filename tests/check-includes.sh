#!/usr/bin/env bash
# Checks that the project's files neither include nor call one another in a
# circle, so that its parts can be read in layers: the plug-in from the
# resources up to the entry, the stand-in host, and orbitrace-render (with
# history/) from the pure computations up to its command line.
# A header and its source are one unit (sketch/sketch_state.h and .cpp); a
# header that declares what several sources of its folder define is one
# unit with them (render/render.h with render/disc.cpp, cup.cpp ...). A unit
# that includes another's header depends on it. A folder holds units of
# more than one layer (sketch/ holds the Draw call above the dialog and the
# sketch state below it), so units, not folders, are ordered. tsort names
# the units of a circle.
# Calls are read from the objects of the builds given: a unit whose object
# uses a symbol that another unit's object alone defines calls it. A symbol
# defined by several units (an inline function, a template) is no edge.
# Native objects are read with nm, the cross build's with its own nm.
#   check-includes.sh [SOURCE_ROOT [BUILD_DIR...]]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
builds=()
for dir in "${@:2}"; do builds+=("$(realpath "$dir")"); done
cd "$root"
folders=()
for folder in host resources sketch dialog render export cli stand-in-host orbitrace-render; do
  [ -d "$folder" ] && folders+=("$folder")
done

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
echo "ok: $(grep -c . <<<"$edges" || true) includes between the project's units, no circle"
[ ${#builds[@]} -gt 0 ] || exit 0

# "unit D|U symbol" for each object of the project's folders with the given
# ending under the build folders, read with the given nm (symbols without the
# leading underscore of 32-bit Windows, so that c++filt reads them).
symbols() {
  local ending=$1 nm=$2 underscore=$3 object source
  find "${builds[@]}" -path '*/CMakeFiles/*.dir/*' -name "*.cpp$ending" |
    while IFS= read -r object; do
      source=${object#*/CMakeFiles/*.dir/}
      source=${source%"$ending"}
      [[ " ${folders[*]} " == *" ${source%%/*} "* && -f $source ]] || continue
      "$nm" -P "$object" | awk -v unit="$(unit_of "$source")" -v cut="$underscore" '
        cut { sub(/^_/, "", $1) }
        $2 == "U" { print unit, "U", $1 }
        $2 ~ /^[TDBRC]$/ { print unit, "D", $1 }'
    done
}

# "caller callee symbol" for each symbol used by one unit and defined by
# exactly one other.
calls_from() {
  awk '$2 == "D" { if (!($3 in owner)) owner[$3] = $1
                   else if (owner[$3] != $1) owner[$3] = "" }
       $2 == "U" { used[$1 " " $3] = 1 }
       END { for (u in used) { split(u, p, " ")
               if (owner[p[2]] != "" && owner[p[2]] != p[1])
                 print p[1], owner[p[2]], p[2] } }'
}

uses=$(
  {
    symbols .o nm 0 | calls_from
    symbols .obj i686-w64-mingw32-nm 1 | calls_from
  } | sort -u
)
calls=$(cut -d' ' -f1,2 <<<"$uses" | sort -u)
[ -z "${ORBT_SHOW_CALLS:-}" ] || echo "$calls"
if [ -z "$uses" ]; then
  echo "FAIL: no objects of the project's files under ${builds[*]}"
  exit 1
fi
if ! loop=$(tsort <<<"$calls" 2>&1 >/dev/null); then
  echo "FAIL: the project's files call one another in a circle:"
  echo "$loop"
  # What each unit of the circle uses of another unit of it.
  in_loop=" $(sed -n 's/^tsort: //p' <<<"$loop" | tr '\n' ' ') "
  while read -r from to symbol; do
    if [[ $in_loop == *" $from "* && $in_loop == *" $to "* ]]; then
      echo "  $from -> $to: $(c++filt "$symbol")"
    fi
  done <<<"$uses"
  exit 1
fi
echo "ok: $(wc -l <<<"$calls") calls between the project's units, no circle"
