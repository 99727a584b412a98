#!/usr/bin/env bash
# Draws the same values with the plug-in under Wine (its clipboard picture)
# and with orbitrace-render (antialiasing off), and requires the two PNGs to
# agree on at least 99% of the pixels outside the hour labels' cells.
#   compare-with-dll.sh WINE_STATE WORK_DIR ORBITRACE_RENDER COMPARE_PICTURES
# Needs ORBT_HOST (fmhost.exe), ORBT_PLUGIN (its Z: path) and ORBT_RUN_WINE.
set -uo pipefail
[ $# -eq 4 ] || {
  echo "usage: $0 WINE_STATE WORK_DIR ORBITRACE_RENDER COMPARE_PICTURES" >&2
  exit 2
}
state=$1 work=$2 render=$3 compare=$4
for v in ORBT_HOST ORBT_PLUGIN ORBT_RUN_WINE; do
  [ -n "${!v:-}" ] || { echo "compare-with-dll: $v is not set" >&2; exit 2; }
done
mkdir -p "$work"
work=$(realpath "$work")

# The sketch area's size and the dialog's font metrics (tmHeight and
# tmAveCharWidth, which place the DLL's labels) differ with the display's
# dpi, so they are measured in this environment, not assumed.
measured=$("$ORBT_RUN_WINE" "$state" "$ORBT_HOST" "$ORBT_PLUGIN" \
  --call ORBT_Draw "1" --measure 124 --ok 2>&1 | sed -n 's/^measure 124: //p')
size=$(sed -n 's/^client \([0-9]*x[0-9]*\),.*/\1/p' <<<"$measured")
dll_metrics=$(sed -n 's/.*, text \([0-9]*x[0-9]*\)$/\1/p' <<<"$measured")
if [ -z "$size" ] || [ -z "$dll_metrics" ]; then
  echo "FAIL: could not measure the dialog (got '$measured')" >&2
  exit 1
fi
echo "sketch area $size, dialog font $dll_metrics"

# Centred, at each axis, between the axes, breaking through the edge, and
# an empty cup.
cases=(".30|.40|3|-.20" "1|1|1|1" ".50|.50|12|-.95" ".50|.25|8|0"
       ".05|.05|7|.50" "0|.50|3|0" ".75|.60|5|-.45")
failed=0
for i in "${!cases[@]}"; do
  values=${cases[$i]}
  dll=$work/dll-$i.png ours=$work/rendered-$i.png
  rm -f "$dll" "$ours"
  # The wait lets the dialog finish painting before OK captures it.
  if ! "$ORBT_RUN_WINE" "$state" "$ORBT_HOST" "$ORBT_PLUGIN" \
      --call ORBT_Draw "$values" --wait 300 --ok --picture "Z:$dll" >"$work/fmhost-$i.log" 2>&1; then
    echo "FAIL $values: the plug-in's run failed:" >&2
    cat "$work/fmhost-$i.log" >&2
    failed=1
    continue
  fi
  if ! "$render" --size "$size" "$values" "$ours"; then
    echo "FAIL $values: orbitrace-render failed" >&2
    failed=1
    continue
  fi
  if out=$("$compare" "$dll" "$ours" --size "$size" --dll-metrics "$dll_metrics" \
      --min 99 --diff "$work/diff-$i.png"); then
    echo "ok   $values: $out"
  else
    echo "FAIL $values: $out (see $work/diff-$i.png)" >&2
    failed=1
  fi
done
exit "$failed"
