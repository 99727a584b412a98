#!/usr/bin/env bash
# Writes a made-up visit export for trying and timing the visit-history
# report: PATIENTS patients, both eyes, VISITS visits each (six unless
# told), rows grouped by patient as an export sorted by patient gives them. Some names hold commas
# and quotes; the ratios drift upwards over the years, so some patients are
# flagged. Deterministic for a given SEED.
#   scripts/make-visits.sh PATIENTS [SEED [VISITS]] > visits.csv
set -euo pipefail
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/make-visits.sh PATIENTS [SEED [VISITS]] > visits.csv" >&2
  exit 2
fi
awk -v patients="$1" -v seed="${2:-12}" -v visits="${3:-6}" '
function ratio(x) {
  x = int(x * 20 + 0.5) / 20
  if (x <= 0) return "0"
  if (x >= 1) return "1"
  return sprintf(".%02d", x * 100 + 0.5)
}
# Days since 1970-01-01 to YYYY-MM-DD (the civil calendar).
function iso(z,    era, doe, yoe, doy, mp, d, m, y) {
  z += 719468
  era = int(z / 146097)
  doe = z - era * 146097
  yoe = int((doe - int(doe / 1460) + int(doe / 36524) - int(doe / 146096)) / 365)
  y = yoe + era * 400
  doy = doe - (365 * yoe + int(yoe / 4) - int(yoe / 100))
  mp = int((5 * doy + 2) / 153)
  d = doy - int((153 * mp + 2) / 5) + 1
  m = mp < 10 ? mp + 3 : mp - 9
  return sprintf("%04d-%02d-%02d", y + (m <= 2), m, d)
}
BEGIN {
  srand(seed)
  split("1 .80 .60 .40 .20 0 -.10 -.20", rims, " ")
  print "patient,eye,date,values,clinic"
  for (p = 1; p <= patients; p++) {
    name = sprintf("Patient %05d", p)
    if (p % 7 == 0) name = sprintf("\"Doe, Jane %05d\"", p)
    if (p % 11 == 0) name = sprintf("\"Jan \"\"JJ\"\" Smit %05d\"", p)
    day = 16436 + int(rand() * 1500) # from 2015
    for (e = 1; e <= 2; e++) {
      h[e] = 0.2 + rand() * 0.3
      v[e] = h[e] + rand() * 0.1
      hour[e] = e == 1 ? 6 + int(rand() * 3) : 4 + int(rand() * 3)
      rim[e] = 1 + int(rand() * 5)
    }
    for (visit = 1; visit <= visits; visit++) {
      for (e = 1; e <= 2; e++) {
        printf "%s,%s,%s,%s|%s|%d|%s,North\n", name, e == 1 ? "R" : "L",
          iso(day), ratio(h[e]), ratio(v[e]), hour[e], rims[rim[e]]
        h[e] += rand() * 0.03
        v[e] += rand() * 0.05
        if (rim[e] < 8 && rand() < 0.3) rim[e]++
      }
      day += 150 + int(rand() * 300)
    }
  }
}'
