#!/usr/bin/env bash
# Makes a small visit-history report and checks its pictures: the web page
# as headless chromium shows it (no script, no console message, nothing
# referred to outside the page), or the PDF's A4 pages as pdftoppm renders them;
# or, for split, an archive too large for one page: chromium follows the
# index's links to the first and last page and to a flagged patient; or,
# for phone, the page in a frame 390 px wide, measured by a script of the
# test's own page: nothing wider than the screen but a band of sketches,
# which scrolls inside its row with its first date and eye in view.
# Rows come out of date order and patients interleaved; one eye misses a
# visit, one patient has a single eye, one has more dates than fit a page.
#   history-pictures.sh html|pdf|split|phone WORKDIR RENDERER CHECKER
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

chromium_dom() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update \
    --disable-sync --user-data-dir="$work/profile" \
    --enable-logging=stderr --v=0 --dump-dom "$1" 2>>chromium.log
}

if [ "$mode" = split ]; then
  {
    echo patient,eye,date,values
    for ((p = 1; p <= 520; p++)); do
      if ((p % 100)); then v='.40|.40|2|0'; else v='.40|.75|2|0'; fi
      echo "P$p,R,2020-01-01,$v"
    done
  } >many.csv
  "$renderer" --history many.csv report.html
  # The links as chromium read the index.
  chromium_dom "file://$work/report.html" >index.dom
  grep -o 'href="report-pages/[^"]*"' index.dom | sed 's/^href="//; s/"$//' >links
  pages=$(grep -vc '#' links)
  [ "$pages" -ge 2 ] || { echo "expected two pages or more, got $pages" >&2; exit 1; }
  for link in "$(grep -v '#' links | head -n1)" "$(grep -v '#' links | tail -n1)" \
    "$(grep '#' links | head -n1)"; do
    chromium_dom "file://$work/$link" >target.dom
    grep -q '<section class="patient"' target.dom ||
      { echo "$link: no patient's section" >&2; exit 1; }
    if [[ $link == *#* ]] && ! grep -q "id=\"${link#*#}\"" target.dom; then
      echo "$link: no such section" >&2
      exit 1
    fi
    grep -q 'href="../report.html"' target.dom ||
      { echo "$link: no link back to the index" >&2; exit 1; }
  done
  if grep -E 'CONSOLE|Uncaught|ERR_FILE_NOT_FOUND' chromium.log; then
    echo "chromium logged errors" >&2
    exit 1
  fi
  echo "ok: $pages pages, links followed"
elif [ "$mode" = phone ]; then
  "$renderer" --history visits.csv report.html
  cat >phone.html <<'END'
<!DOCTYPE html><html><body style="margin:0">
<iframe id="f" src="report.html" style="width:390px;height:844px;border:0">
</iframe><pre id="out">not measured</pre><script>
document.getElementById('f').onload = function () {
  var d = this.contentDocument, width = d.documentElement.clientWidth;
  var out = [], bands = d.querySelectorAll('table.visits');
  function inView(e) {
    var r = e.getBoundingClientRect();
    return r.left >= 0 && r.right <= width;
  }
  if (d.documentElement.scrollWidth > width)
    out.push('the page is ' + d.documentElement.scrollWidth + ' px wide');
  var wide = 0;
  bands.forEach(function (t, i) {
    if (!inView(t.querySelector('.cap b, td.none')) ||
        !inView(t.querySelector('th')))
      out.push('band ' + i + ': its first date or eye is out of view');
    if (t.parentNode.scrollWidth > t.parentNode.clientWidth)
      ++wide;
  });
  if (!wide)
    out.push('no band wider than the screen: nothing was checked');
  document.getElementById('out').textContent =
      out.length ? out.join('; ') : 'fits: ' + bands.length + ' bands';
};
</script></body></html>
END
  chromium --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update \
    --disable-sync --user-data-dir="$work/profile" \
    --allow-file-access-from-files --virtual-time-budget=20000 \
    --dump-dom "file://$work/phone.html" 2>chromium.log >phone.dom
  result=$(sed -n 's/.*<pre id="out">\([^<]*\)<.*/\1/p' phone.dom)
  if [[ $result != fits:* ]]; then
    echo "at 390 px: ${result:-no measure}" >&2
    exit 1
  fi
  echo "ok: $result at 390 px"
elif [ "$mode" = html ]; then
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
