// The health-record export sent straight to a FHIR server over HTTP: each
// row starts server.js (Medplum's FHIR router over its in-memory
// repository, with the faults the row asks for), runs the renderer against
// it and asks the server, through its own search, what it holds.
//   node send.js WORKDIR RENDERER
'use strict';
const fs = require('fs');
const path = require('path');
const http = require('http');
const net = require('net');
const { spawn } = require('child_process');

const [workArg, rendererArg] = process.argv.slice(2);
if (!workArg || !rendererArg) {
  console.error('usage: node send.js WORKDIR RENDERER');
  process.exit(2);
}
// Both whole: the renderer runs in a folder of its own.
const work = path.resolve(workArg);
const renderer = path.resolve(rendererArg);

const kSystem = 'https://clinic.example/patients';
const kOurs = 'urn:ietf:rfc:3986|';
const kRight = 'http://loinc.org|71485-7';

// server.js as a child holding our pipe on its stdin: it stops when we do.
function startServer(args = []) {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(__dirname, 'server.js'), ...args],
      { stdio: ['pipe', 'pipe', 'inherit'] });
    // No clock: a server that cannot start exits and says why; one that
    // hangs is CTest's to stop, however busy the machine.
    let said = '';
    const exited = (code, signal) => {
      reject(new Error(`server.js stopped (${signal || code}) before listening: ${said}`));
    };
    child.on('exit', exited);
    child.on('error', exited);
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (d) => {
      said += d;
      const m = /^listening (http:\/\/127\.0\.0\.1:\d+\/fhir)\n/m.exec(said);
      if (!m) return;
      child.off('exit', exited);
      child.stdout.removeAllListeners('data');
      child.stdout.resume();
      const base = m[1];
      const stopped = new Promise((done) => child.once('exit', done));
      const at = args.indexOf('--token');
      resolve({
        base,
        token: at < 0 ? undefined : args[at + 1],
        control: base.replace(/\/fhir$/, ''),
        stop: async () => {
          child.stdin.end();
          const late = setTimeout(() => child.kill(), 10000);
          await stopped;
          clearTimeout(late);
        },
      });
    });
  });
}

function request(method, url, body, token) {
  return new Promise((resolve, reject) => {
    const data = body === undefined ? undefined : JSON.stringify(body);
    const headers = data === undefined ? {} : { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(data) };
    if (token) headers.Authorization = `Bearer ${token}`;
    const req = http.request(url, { method, headers }, (res) => {
      let text = '';
      res.setEncoding('utf8');
      res.on('data', (d) => { text += d; });
      res.on('end', () => resolve({ status: res.statusCode, json: text ? JSON.parse(text) : undefined }));
    });
    req.on('error', reject);
    req.end(data);
  });
}
async function fault(server, f) {
  const { status, json } = await request('POST', `${server.control}/$fault`, f);
  if (status !== 200) throw new Error(`fault ${JSON.stringify(f)} refused: ${JSON.stringify(json)}`);
}
const seen = async (server) => (await request('GET', `${server.control}/$requests`)).json;
async function get(server, query) {
  const { status, json } = await request('GET', `${server.base}/${query}`, undefined, server.token);
  if (status !== 200) throw new Error(`GET ${query}: ${status} ${JSON.stringify(json)}`);
  return json;
}
const count = async (server, query) =>
  (await get(server, `${query}${query.includes('?') ? '&' : '?'}_summary=count`)).total;
// What the server holds of ours, per type.
async function held(server) {
  const p = await count(server, `Patient?identifier=${encodeURIComponent(kSystem + '|')}`);
  const o = await count(server, `Observation?identifier=${encodeURIComponent(kOurs)}`);
  const m = await count(server, `Media?identifier=${encodeURIComponent(kOurs)}`);
  return `${p} Patient, ${o} Observation, ${m} Media`;
}
// A patient's id on the server; one that is not there, or not once,
// finds nothing, and the row's checks say so.
async function patientId(server, chartId) {
  const b = await get(server, `Patient?identifier=${encodeURIComponent(`${kSystem}|${chartId}`)}`);
  const ids = (b.entry || []).map((e) => e.resource.id);
  return ids.length === 1 ? ids[0] : `${ids.length}-patients-${chartId}`;
}
// The dates of a patient's right-eye visits, in order.
async function rightDates(server, id) {
  const b = await get(server, `Observation?subject=Patient/${id}&code=${encodeURIComponent(kRight)}&_sort=date&_count=100`);
  return (b.entry || []).map((e) => e.resource.effectiveDateTime).join(' ');
}

// A port nothing listens on: one the system gave us, closed again.
function closedPort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.on('error', reject);
    s.listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

// The renderer sending an export to the server: its exit status and all it
// said. Credentials only from what the row gives, never the caller's, and
// no proxy between it and the local server.
function send(base, name, csv, args = [], env = {}) {
  const dir = path.join(work, name);
  fs.mkdirSync(dir, { recursive: true });
  const input = path.join(dir, 'visits.csv');
  fs.writeFileSync(input, csv);
  const clean = Object.fromEntries(Object.entries(process.env).filter(([k]) => !k.startsWith('ORBITRACE_FHIR_')));
  return new Promise((resolve) => {
    const child = spawn(renderer, ['--quiet', '--patient-system', kSystem, ...args, '--fhir', input, base], {
      cwd: dir, // anything it writes stays in the work folder
      env: { ...clean, NO_PROXY: '127.0.0.1', no_proxy: '127.0.0.1', ...env },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    let said = '';
    child.stdout.on('data', (d) => { said += d; });
    child.stderr.on('data', (d) => { said += d; });
    child.on('error', (e) => resolve({ status: `not run: ${e.message}`, said }));
    child.on('close', (code, signal) => resolve({ status: signal ? `killed by ${signal}` : code, said }));
  });
}

// One patient by ID with its visits, as engine.js's charts.
function chart(...patients) {
  return 'id,patient,eye,date,values,note\n' + patients.flatMap(([id, name, rows]) =>
    rows.map((r) => `${id},"${name}",${r}\n`)).join('');
}
const kHuber = [10234, 'Huber, Karl',
  ['R,2019-03-01,.35|.40|2|.20,', 'L,2019-03-01,.30|.35|10|.50,', 'R,2021-06-15,.45|.50|2|.10,first']];
const kMeier = [20871, 'Meier, Anna', ['R,2020-01-02,.30|.40|3|.20,', 'L,2020-01-02,.30|.40|10|.50,']];
const kKeller = [31005, 'Keller, Paul',
  ['R,2018-11-20,.25|.30|1|.20,', 'L,2018-11-20,.25|.30|11|.20,', 'L,2022-02-02,.30|.35|11|.30,']];
const kTwo = chart(kHuber, kMeier); // 12 entries: over the engine's cap of 8
const kTwoHeld = '2 Patient, 5 Observation, 5 Media';
const kCap = ['--bundle-entries', '8'];

const exited = (run, want) => [run.status, want, `exit status; it said: ${run.said.trim()}`];

const rows = [];
const row = (name, serverArgs, run) => rows.push({ name, serverArgs, run });

row('the export sent twice: nothing doubled', [], async (server) => {
  const first = await send(server.base, 'twice-1', kTwo, kCap);
  const once = await held(server);
  const again = await send(server.base, 'twice-2', kTwo, kCap);
  const huber = await patientId(server, 10234);
  const meier = await patientId(server, 20871);
  return [exited(first, 0), [once, kTwoHeld, 'held after the first run'], exited(again, 0),
    [await held(server), kTwoHeld, 'held after the second run'],
    [await count(server, `Observation?subject=Patient/${huber}`), 3, 'Huber\'s Observations'],
    [await count(server, `Media?subject=Patient/${meier}`), 2, 'Meier\'s Media']];
});

row('interrupted after one Bundle, then run again: all there, nothing doubled', ['--fault', '{"downAfter":1}'],
  async (server) => {
    const csv = chart(kHuber, kMeier, kKeller); // 3 Bundles of at most 8 entries
    const cut = await send(server.base, 'cut-1', csv, [...kCap, '--retries', '1']);
    await fault(server, { clear: true });
    const part = await held(server);
    const [, observations] = /(\d+) Observation/.exec(part);
    const again = await send(server.base, 'cut-2', csv, kCap);
    return [exited(cut, 3), [observations > 0 && observations < 8, true, `some but not all sent before the cut: ${part}`],
      exited(again, 0), [await held(server), '3 Patient, 8 Observation, 8 Media', 'held after the second run']];
  });

// The right eye's first visit was typed 2019-03-01 and is 2019-03-10;
// the visit of 2021-06-15 was deleted from the clinic's database.
const kCorrected = chart([10234, 'Huber, Karl', ['R,2019-03-10,.35|.40|2|.20,', 'L,2019-03-01,.30|.35|10|.50,']]);
// Another system's result for the same patient, which no export of ours
// may touch.
async function plantForeign(server, id) {
  const body = {
    resourceType: 'Observation', status: 'final', identifier: [{ system: 'https://lab.example/results', value: '77' }],
    code: { coding: [{ system: 'http://loinc.org', code: '2345-7' }] }, subject: { reference: `Patient/${id}` },
    effectiveDateTime: '2019-03-01', valueQuantity: { value: 5.4, unit: 'mmol/L' },
  };
  const { status, json } = await request('POST', `${server.base}/Observation`, body, server.token);
  if (status !== 201) throw new Error(`the lab's Observation not created: ${status} ${JSON.stringify(json)}`);
}
const foreign = (server) => count(server, `Observation?identifier=${encodeURIComponent('https://lab.example/results|77')}`);

row('a corrected export without --replace: both dates on the server, and told', [], async (server) => {
  const first = await send(server.base, 'fix-1', kTwo, kCap);
  const huber = await patientId(server, 10234);
  const fixed = await send(server.base, 'fix-2', kCorrected, kCap);
  // Sent, with what an earlier load left behind told: status 1.
  return [exited(first, 0), exited(fixed, 1), [fixed.said.includes('--replace'), true, 'names --replace'],
    [await rightDates(server, huber), '2019-03-01 2019-03-10 2021-06-15', 'Huber\'s right-eye visits'],
    [await held(server), '2 Patient, 6 Observation, 6 Media', 'held']];
});

row('a corrected export with --replace: only the new, the rest of the server untouched, the removed counted', [],
  async (server) => {
    const first = await send(server.base, 'replace-1', kTwo, kCap);
    const huber = await patientId(server, 10234);
    await plantForeign(server, huber);
    const fixed = await send(server.base, 'replace-2', kCorrected, [...kCap, '--replace']);
    const meier = await patientId(server, 20871);
    // 2019-03-01 right and 2021-06-15: each an Observation and its Media.
    const told = fixed.said.split('\n').filter((l) => /remov/i.test(l));
    return [exited(first, 0), exited(fixed, 0),
      [await rightDates(server, huber), '2019-03-10', 'Huber\'s right-eye visits'],
      [await count(server, `Media?subject=Patient/${huber}&identifier=${encodeURIComponent(kOurs)}`), 2, 'Huber\'s Media'],
      [await count(server, `Observation?subject=Patient/${meier}`), 2, 'Meier\'s Observations, not in the later export'],
      [await foreign(server), 1, 'the lab\'s Observation of the same patient'],
      [told.some((l) => /\b4\b/.test(l) || (/\b2 Observations?\b/.test(l) && /\b2 Media\b/.test(l))), true,
        `says it removed 4 (2 Observation, 2 Media): ${JSON.stringify(told)}`]];
  });

const kGoodToken = 'good-7c1e0b9a44d2';
const kWrongToken = 'wrong-5f3a9d0e81bc';
row('a wrong token: refused, nothing sent, the token printed nowhere; the right one taken', ['--token', kGoodToken],
  async (server) => {
    const wrong = await send(server.base, 'wrong-token', kTwo, kCap, { ORBITRACE_FHIR_TOKEN: kWrongToken });
    const after = await held(server);
    const refused = (await seen(server)).unauthorized;
    const right = await send(server.base, 'right-token', kTwo, kCap, { ORBITRACE_FHIR_TOKEN: kGoodToken });
    const file = path.join(work, 'auth.txt');
    fs.writeFileSync(file, `Bearer ${kGoodToken}\n`, { mode: 0o600 });
    const fromFile = await send(server.base, 'auth-file', kTwo, [...kCap, '--auth-file', file]);
    return [exited(wrong, 3), [refused > 0, true, `the server refused ${refused} requests`],
      [wrong.said.includes(kWrongToken) || wrong.said.includes(kWrongToken.slice(6)), false,
        `the token in what it said: ${wrong.said.trim()}`],
      [after, '0 Patient, 0 Observation, 0 Media', 'held after the wrong token'],
      exited(right, 0), [right.said.includes(kGoodToken), false, 'the right token in what it said'],
      [await held(server), kTwoHeld, 'held after the right token'],
      exited(fromFile, 0), [fromFile.said.includes(kGoodToken), false, 'the token of --auth-file in what it said']];
  });

row('a server that is not there: a clear message, nothing sent', null, async () => {
  const port = await closedPort();
  const run = await send(`http://127.0.0.1:${port}/fhir`, 'not-there', kTwo, [...kCap, '--retries', '1']);
  return [exited(run, 3),
    [run.said.includes(`127.0.0.1:${port}`) && /connect|refused|reach/i.test(run.said), true,
      `names the server and that it could not reach it: ${run.said.trim()}`]];
});

for (const [what, f] of [['a 503 then success', { status: 503, times: 1 }],
  // 2 s, as the first backoff is 1 s: honoured or not is then told apart.
  ['a 429 with Retry-After 2', { status: 429, times: 1, retryAfter: 2 }],
  ['a connection dropped mid-request', { drop: true, times: 1, method: 'POST' }],
  ['a connection dropped after the server took the Bundle', { drop: 'response', times: 1, method: 'POST' }]]) {
  row(`${what}: sent again, all there, nothing doubled`, ['--fault', JSON.stringify(f)], async (server) => {
    const run = await send(server.base, 'fault', kTwo, kCap);
    const s = await seen(server);
    await fault(server, { clear: true }); // one the renderer did not meet is not for our searches
    return [exited(run, 0), [s.faulted + s.dropped, 1, 'faults met'],
      [s.early, 0, 'requests sent before the Retry-After had passed'], [await held(server), kTwoHeld, 'held']];
  });
}

row('a 400 on one entry: stopped, naming the patient, the visit and the server\'s text',
  ['--fault', '{"rejectText":"2021-06-15"}'], async (server) => {
    const run = await send(server.base, 'refused', kTwo, kCap);
    return [exited(run, 3),
      [/10234|Huber, Karl/.test(run.said), true, `names the patient: ${run.said.trim()}`],
      [run.said.includes('2021-06-15'), true, 'names the visit'],
      [run.said.includes('value refused by the test server'), true, 'gives the server\'s text']];
  });

row('the engine\'s cap: a Bundle of 12 refused naming --bundle-entries, one of 8 taken', [], async (server) => {
  const whole = await send(server.base, 'cap-whole', kTwo);
  const before = await held(server);
  const split = await send(server.base, 'cap-8', kTwo, kCap);
  return [exited(whole, 3), [whole.said.includes('--bundle-entries'), true, `names --bundle-entries: ${whole.said.trim()}`],
    [before, '0 Patient, 0 Observation, 0 Media', 'held after the refused run'],
    exited(split, 0), [await held(server), kTwoHeld, 'held']];
});

// The manual's migration, each of its commands run as written: a trial
// load, the checks after it, and the final load of corrected data.
row('the manual\'s migration, run as written', ['--token', 'manual-6b0d'], async (server) => {
  const manual = fs.readFileSync(path.join(__dirname, '../../docs/renderer.md'), 'utf8');
  const section = manual.split('### Moving the records step by step')[1].split('\n## ')[0];
  const blocks = [...section.matchAll(/```sh\n([^]*?)```/g)].map((m) => m[1].replace(/^ {3}/gm, ''));
  const dir = path.join(work, 'manual');
  const bin = path.join(dir, 'bin');
  fs.mkdirSync(bin, { recursive: true });
  fs.symlinkSync(renderer, path.join(bin, 'orbitrace-render'));
  fs.writeFileSync(path.join(dir, 'visits-trial.csv'), chart(kHuber, kMeier));
  fs.writeFileSync(path.join(dir, 'visits-final.csv'),
    chart([10234, 'Huber, Karl', ['R,2019-03-10,.35|.40|2|.20,', 'L,2019-03-01,.30|.35|10|.50,']], kMeier));
  const env = { ...process.env, PATH: `${bin}:${process.env.PATH}`, FHIR_BASE: server.base,
    ORBITRACE_FHIR_TOKEN: server.token, NO_PROXY: '127.0.0.1', no_proxy: '127.0.0.1' };
  const runs = blocks.map((block) => {
    const r = require('child_process').spawnSync('bash', ['-euo', 'pipefail', '-c', block],
      { cwd: dir, env, encoding: 'utf8' });
    return { status: r.status, said: `${r.stdout}${r.stderr}` };
  });
  return [[blocks.length, 4, 'commands in the section'],
    ...runs.map((r, i) => [r.status, 0, `command ${i + 1} exit status; it said: ${r.said.trim()}`]),
    [/"total":5/.test(runs[1].said), true, `the count after the trial: ${runs[1].said}`],
    [runs[2].said.trim().split('\n').join(' '), '2019-03-01 2019-03-01 2021-06-15', 'Huber\'s visits after the trial'],
    [/removed 2 Observation and 2 Media/.test(runs[3].said), true, 'the final load says what it removed'],
    [await held(server), '2 Patient, 4 Observation, 4 Media', 'held after the final load']];
});

(async () => {
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  let failed = 0;
  for (const { name, serverArgs, run } of rows) {
    let checks;
    let server;
    try {
      if (serverArgs) server = await startServer(serverArgs);
      checks = await run(server);
    } catch (e) {
      checks = [[String(e.message), 'no error', 'running']];
    }
    if (server) await server.stop();
    const bad = checks.filter(([got, want]) => got !== want);
    for (const [got, want, what] of bad)
      console.log(`FAIL: ${name}: ${what}: got ${JSON.stringify(got)}, expected ${JSON.stringify(want)}`);
    if (!bad.length) console.log(`ok: ${name}`);
    failed += bad.length ? 1 : 0;
  }
  console.log(failed ? `send: ${failed} of ${rows.length} rows failed` : `send: ${rows.length} rows passed`);
  process.exit(failed ? 1 : 0);
})();
