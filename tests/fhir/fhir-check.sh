#!/usr/bin/env bash
# The health-record export end to end, checked by FHIR's own tools
# (validate.js): a made-up export with bad and repeated rows as a
# transaction Bundle and as bulk files, each valid; the same bytes on every
# run and whatever --threads; every row in one Observation or told as left
# out; the Media the renderer's own PNG; and faults planted in a copy
# refused by the validators.
#   fhir-check.sh WORKDIR RENDERER
set -euo pipefail
work=$1 renderer=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [ ! -d "$here/node_modules/fhir" ] ||
  [ ! -d "$here/node_modules/@asymmetrik/fhir-json-schema-validator" ]; then
  echo "FAIL: the validators are not installed; run scripts/setup-debian.sh" >&2
  exit 1
fi
validate() { node "$here/validate.js" "$@"; }
system=https://clinic.example/patients
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# 40 patients, names with commas and quotes, a note to every visit and one
# cut at 64 KiB, one with control characters that FHIR's text cannot hold,
# and four bad rows: a date off the calendar, an eye that is none, values
# not in the lists, and a repeat of the first visit.
"$root/scripts/make-visits.sh" 40 7 3 | sed '1s/,clinic$/,note/' >visits.csv
first=$(sed -n 2p visits.csv)
{
  printf 'Patient 00004,L,2024-01-02,.30|.40|3|.20,"tilted\f disc\033[0m\a"\n'
  printf 'Patient 00003,R,2024-01-02,.30|.40|3|.20,"Rim ""pale"", '
  head -c 70000 /dev/zero | tr '\0' n
  echo '"'
  echo 'Patient 00001,R,2021-02-30,.30|.40|3|.20,X'
  echo 'Patient 00001,X,2021-03-01,.30|.40|3|.20,X'
  echo 'Patient 00002,L,2021-03-01,.33|.40|3|.20,X'
  echo "$first"
} >>visits.csv

run() { # expected status, then the arguments
  local want=$1 status=0
  shift
  "$renderer" --quiet --patient-system "$system" "$@" 2>>errors.txt || status=$?
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: exit status $status, not $want: $*" >&2
    cat errors.txt >&2
    exit 1
  fi
}

# One row per output form: each valid, with its links and conditional
# updates, and each planted fault refused.
run 1 --fhir visits.csv bundle.json
run 1 --threads 1 --fhir - bulk/ <visits.csv
for output in bundle.json bulk; do
  validate "$output"
  validate --broken "$output"
done

# The notes in their Observations, the cut one marked.
[ "$(grep -c '"note":\[{"text":"North"}\]' bulk/Observation.ndjson)" -eq 240 ] &&
  grep -q '"note":\[{"text":"Rim \\"pale\\", nnnn*n \[note cut: [^]]*\]"}\]' \
    bulk/Observation.ndjson ||
  { echo "FAIL: the notes not in their Observations" >&2; exit 1; }

# Control characters dropped and counted; the note's text kept.
grep -q '"note":\[{"text":"tilted disc\[0m"}\]' bulk/Observation.ndjson &&
  grep -q '^orbitrace-render: 3 control characters' errors.txt ||
  { echo "FAIL: control characters not dropped and counted" >&2; exit 1; }

# An export without a visit writes nothing: a server refuses an empty
# Bundle, and an empty file would pass for an export.
echo 'patient,eye,date,values' >empty.csv
run 3 --fhir empty.csv empty.json
[ ! -e empty.json ] && grep -q 'no visit to write; nothing written' errors.txt ||
  { echo "FAIL: an export without a visit written" >&2; exit 1; }

# Every row accounted for, on the bulk files.
: >errors.txt
run 1 --threads 3 --fhir visits.csv again/
validate --accounting visits.csv errors.txt again

# Loaded twice, the same resources: the same bytes on every run and thread
# count.
run 1 --threads 2 --fhir visits.csv bundle-2.json
cmp bundle.json bundle-2.json
for f in Patient Observation Media; do cmp "bulk/$f.ndjson" "again/$f.ndjson"; done
# Likewise over many chunks, each written while the next is made, with
# repeats told in the first and a later one: the same files and messages.
"$root/scripts/make-visits.sh" 600 7 10 >archive.csv
sed -n '2p;9000p' archive.csv >>archive.csv
for threads in 1 3; do
  # (the made-up visits after the day of the run are left out: 0 or 1)
  "$renderer" --quiet --patient-system "$system" --threads $threads --no-pictures --fhir archive.csv \
    "chunks-$threads/" 2>"chunks-$threads.txt" || [ $? -eq 1 ]
done
grep -q "line 9000" chunks-1.txt
cmp chunks-1.txt chunks-3.txt
for f in Patient Observation; do cmp "chunks-1/$f.ndjson" "chunks-3/$f.ndjson"; done

# The picture is the renderer's own PNG of the Observation's values.
# The values are taken from the line's own text, as JSON's parsers drop the
# digits a number does not need.
node -e '
const fs = require("fs");
const lines = (f) => fs.readFileSync(f, "utf8").split("\n").filter((l) => l);
const line = lines("bulk/Observation.ndjson")[5];
const o = JSON.parse(line);
const m = lines("bulk/Media.ndjson").map(JSON.parse)
  .find((x) => x.partOf[0].reference === "Observation/" + o.id);
const raw = (code) => new RegExp(`"code":"${code}"[^}]*}\\]},"valueQuantity":\\{"value":(-?[0-9.]+),`).exec(line)[1];
const hour = o.component.find((c) => c.code.coding[0].code === "clock-hour");
fs.writeFileSync("media.png", Buffer.from(m.content.data, "base64"));
fs.writeFileSync("values.txt", [raw("horizontal-ratio"), raw("vertical-ratio"),
  hour.valueCodeableConcept.text.split(" ")[0], raw("rim")].join("|"));
'
values=$(sed -E 's/(^|\|)(-?)0\./\1\2./g' values.txt)
"$renderer" "$values" own.png
cmp media.png own.png

# Without pictures: no Media, still valid.
run 1 --no-pictures --fhir visits.csv plain/
[ ! -s plain/Media.ndjson ] || { echo "FAIL: Media without pictures" >&2; exit 1; }
validate plain
# A Bundle past what servers commonly take says so and names the folder
# form; a smaller one does not.
grep -q "bulk form" errors.txt && { echo "FAIL: a small Bundle called large" >&2; exit 1; }
: >errors.txt
# (the made-up visits after the day of the run are left out: 0 or 1)
"$renderer" --quiet --patient-system "$system" --fhir archive.csv archive.json 2>>errors.txt || [ $? -eq 1 ]
grep -q 'MB, more than many servers take in one request; a folder of smaller Bundles (--bundle-entries N or --bundle-bytes SIZE with an OUTPUT folder, e.g. archive/)' errors.txt ||
  { echo "FAIL: a large Bundle not called large" >&2; cat errors.txt >&2; exit 1; }
rm archive.json
echo "fhir-check: passed"
