#!/usr/bin/env bash
# Makes the renderer manual's picture of one patient's section of a visit-history
# report: the report of docs/visits-example.csv, opened in headless
# chromium inside a frame scrolled to the first patient.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBT_BUILD_DIR:-$root/build}
cmake --build "$build" -j2 --target orbitrace-render >/dev/null
"$build/orbitrace-render" --history "$root/docs/visits-example.csv" \
  "$build/visits-example.html"
printf '<!DOCTYPE html><body style="margin:0"><iframe src="visits-example.html#p1" style="border:0;width:1000px;height:760px"></iframe>' \
  >"$build/visits-example-frame.html"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --hide-scrollbars --window-size=1000,760 \
  --screenshot="$root/docs/history-section.png" \
  "file://$build/visits-example-frame.html" 2>/dev/null
echo "docs/history-section.png"
