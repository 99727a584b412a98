#!/usr/bin/env bash
# Makes a small visit-history report and checks its pictures: the web page
# as headless chromium shows it (no script, no console message, nothing
# referred to outside the page), or the PDF's A4 pages as pdftoppm renders them.
# Rows come out of date order and patients interleaved; one eye misses a
# visit, one patient has a single eye, one has more dates than fit a page.
#   history-pictures.sh html|pdf WORKDIR RENDERER CHECKER
set -euo pipefail
mode=$1 work=$2 renderer=$3 checker=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"

ratios=(.30 .35 .40 .45 .50 .55 .60)
hours=(1 2 4 5 7 8 10 11)
rows=() # "patient<TAB>eye<TAB>date<TAB>values"
n=0
# patient, eyes, number of dates, the date (1-based) the left eye missed
add_patient() {
  local name=$1 eyes=$2 dates=$3 missed=${4:-0}
  local right=() left=() expected=expected-${#rows[@]}.txt
  for ((d = 1; d <= dates; d++)); do
    local date
    date=$(printf '20%02d-%02d-15' $((10 + d / 12)) $((d % 12 + 1)))
    for eye in R L; do
      [[ $eyes == *$eye* ]] || { [[ $eye == R ]] && right+=(-) || left+=(-); continue; }
      if [[ $eye == L && $d == "$missed" ]]; then left+=(-); continue; fi
      local v="${ratios[n % 7]}|${ratios[(n * 3) % 7]}|${hours[n % 8]}|.20"
      n=$((n + 1))
      rows+=("$name"$'\t'"$eye"$'\t'"$date"$'\t'"$v")
      [[ $eye == R ]] && right+=("$v") || left+=("$v")
    done
  done
  {
    echo patient
    for ((b = 0; b < dates; b += 6)); do
      echo "R ${right[*]:b:6}"
      echo "L ${left[*]:b:6}"
    done
    echo "chart$([[ $eyes == *R* ]] && echo " R")$([[ $eyes == *L* ]] && echo " L")"
  } >"$expected"
}
add_patient '"Doe, Jane"' RL 7 3
add_patient "\"O'Brien \"\"Pat\"\"\"" L 2
add_patient 'P-30' RL 30

# The header in another order with a column the report leaves; rows from
# the end backwards, so dates and patients come out of order.
{
  printf '\xEF\xBB\xBFdate,values,Eye,Patient,note\r\n'
  for ((i = ${#rows[@]} - 1; i >= 0; i--)); do
    IFS=$'\t' read -r name eye date values <<<"${rows[i]}"
    printf '%s,%s,%s,%s,"row\r\n%d"\r\n' "$date" "$values" "$eye" "$name" "$i"
  done
} >visits.csv
# Sections come in the order the file first names the patients.
ls expected-*.txt | sort -t- -k2 -n -r | xargs cat >expected.txt

if [ "$mode" = html ]; then
  "$renderer" --history visits.csv report.html
  if grep -Eo '(href|src)="[^#"][^"]*"|<script|<link|@import|url\([^#]' \
    report.html; then
    echo "the page refers to something outside itself" >&2
    exit 1
  fi
  chromium --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update \
    --disable-sync --user-data-dir="$work/profile" \
    --enable-logging=stderr --v=0 \
    --hide-scrollbars --window-size=1200,7000 --screenshot="$work/page.png" \
    "file://$work/report.html" 2>chromium.log
  if grep -E 'CONSOLE|Uncaught' chromium.log; then
    echo "chromium logged console messages" >&2
    exit 1
  fi
  "$checker" expected.txt page.png
else
  "$renderer" --history visits.csv report.pdf
  pdfinfo report.pdf | grep -q 'Page size: *595.276 x 841.89 pts (A4)'
  pdftoppm -r 100 -png report.pdf page
  "$checker" expected.txt page-*.png
fi
