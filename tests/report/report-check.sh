#!/usr/bin/env bash
# The visit-history report checked by the tools its readers' world uses
# (installed by the set-up): axe-core in headless Chromium (axe.js) and
# html-validate's recommended rules on the web report of the example, of
# an archive split into pages (the index and a page) and of patients with
# every kind of flag, a missing sketch and a row left out; qpdf --check on
# the PDF of the example and of patients whose pages repeat the same
# sketches, charts and texts, one of them over several pages, with each
# page still read by poppler.
#   report-check.sh WORKDIR RENDERER
set -euo pipefail
work=$1 renderer=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
for tool in node chromium qpdf pdfinfo pdftotext pdftoppm; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing; run scripts/setup-debian.sh" >&2
    exit 1
  fi
done
if [ ! -d "$here/node_modules/axe-core" ] ||
  [ ! -d "$here/node_modules/html-validate" ]; then
  echo "FAIL: axe-core and html-validate are not installed; run scripts/setup-debian.sh" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"

report() { # expected status, then the arguments
  local want=$1 status=0
  shift
  "$renderer" --quiet --history "$@" 2>>errors.txt || status=$?
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: exit status $status, not $want: $*" >&2
    cat errors.txt >&2
    exit 1
  fi
}

# The example's patients and one seen by a single eye, whose impossible
# date is left out: every flag, a missing sketch, the rows left out.
{
  cat "$root/docs/visits-example.csv"
  echo 'Solo,L,2020-02-30,.30|.30|3|.20,A'
  echo 'Solo,L,2020-03-01,.30|.30|3|.20,A'
  echo 'Solo,L,2021-03-01,.35|.30|4|.20,A'
} >flags.csv
"$root/scripts/make-visits.sh" 501 12 1 >archive.csv
# 80 patients flagged on the same values, and one with 40 visits of the
# same values both eyes: pages that paint each drawing many times, a
# flagged list and a patient over more than one page.
{
  echo patient,eye,date,values
  for ((p = 1; p <= 80; p++)); do echo "P$p,R,2020-01-01,.40|.75|2|0"; done
  for ((y = 1981; y <= 2020; y++)); do
    echo "Same,R,$y-01-01,.40|.40|2|0"
    echo "Same,L,$y-01-01,.40|.40|2|0"
  done
} >repeats.csv

report 0 "$root/docs/visits-example.csv" example.html
report 1 flags.csv flags.html
report 0 archive.csv archive.html
report 0 "$root/docs/visits-example.csv" example.pdf
report 0 repeats.csv repeats.pdf

# The index and the archive's last page, the smallest.
[ -f archive-pages/page-0002.html ] ||
  { echo "FAIL: the archive was not split into pages" >&2; exit 1; }
pages=(example.html flags.html archive.html
  "$(find archive-pages -name 'page-*.html' | sort | tail -n1)")
node "$here/axe.js" "$work/profile" "${pages[@]}"
"$here/node_modules/.bin/html-validate" --config "$here/htmlvalidate.json" \
  "${pages[@]}"
echo "ok: html-validate"

for pdf in example.pdf repeats.pdf; do
  # Exit status 3 is a warning; qpdf names each.
  if ! qpdf --check "$pdf" >qpdf.txt 2>&1 || grep -q WARNING qpdf.txt; then
    echo "FAIL: qpdf --check $pdf" >&2
    cat qpdf.txt >&2
    exit 1
  fi
  # Every page read: its footer's number in the text, and a picture each.
  count=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
  pdftotext "$pdf" text.txt 2>poppler.txt
  rm -f page-*.ppm
  pdftoppm -r 20 "$pdf" page 2>>poppler.txt
  numbered=$(grep -c '^page [0-9]*$' text.txt || true)
  pictures=$(find . -maxdepth 1 -name 'page-*.ppm' | wc -l)
  if [ -s poppler.txt ] || [ "$numbered" -ne "$count" ] ||
    [ "$pictures" -ne "$count" ]; then
    echo "FAIL: $pdf: $count pages, $numbered numbered in the text, $pictures drawn" >&2
    cat poppler.txt >&2
    exit 1
  fi
  echo "ok: $pdf, $count pages"
done
# The repeated patient's section goes on over pages: each footer names it.
same=$(grep -c ': Same$' text.txt || true)
[ "$same" -ge 2 ] ||
  { echo "FAIL: the patient of 40 visits is on $same pages, not over several" >&2; exit 1; }
