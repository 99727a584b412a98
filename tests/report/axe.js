// Runs axe-core on web pages in one headless Chromium, each page at a
// desktop's width and at a phone's 390 px, and prints every violation of
// its rules (WCAG 2 A and AA, and the best practices it runs by default).
// At 390 px a band of sketches wider than the screen is also scrolled the
// way a keyboard user does: focused, then the right arrow key pressed.
// Chromium is driven through the DevTools protocol on a pipe, so nothing
// listens on a port and nothing beyond Node itself is needed.
//   node axe.js PROFILE PAGE.html...   no violation: exit 0
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const [profile, ...pages] = process.argv.slice(2);
const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
const kWidths = [
  { width: 1280, height: 900, mobile: false },
  { width: 390, height: 844, mobile: true },
];

const chromium = spawn('chromium', [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-smooth-scrolling',
  `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
let log = '';
chromium.stderr.on('data', (d) => { log += d; });

// The protocol: JSON messages, each ended by a zero byte; fd 3 to
// Chromium, fd 4 from it.
let nextId = 1, input = '';
const waiting = new Map(), listeners = [];
function fail(message) {
  console.error(`FAIL: ${message}`);
  if (log) console.error(log.trim());
  chromium.kill();
  process.exit(1);
}
chromium.on('exit', (code, signal) => fail(`chromium ended (${signal || code})`));
chromium.on('error', (e) => fail(`cannot start chromium: ${e.message}; run scripts/setup-debian.sh`));
chromium.stdio[4].on('data', (d) => {
  input += d;
  let end;
  while ((end = input.indexOf('\0')) >= 0) {
    const message = JSON.parse(input.slice(0, end));
    input = input.slice(end + 1);
    if (message.id && waiting.has(message.id)) {
      const { resolve, reject } = waiting.get(message.id);
      waiting.delete(message.id);
      if (message.error) reject(new Error(message.error.message));
      else resolve(message.result);
    } else if (message.method) {
      for (const l of listeners.splice(0))
        if (l.method === message.method && l.sessionId === message.sessionId) l.resolve();
        else listeners.push(l);
    }
  }
});
function send(method, params = {}, sessionId) {
  const id = nextId++;
  chromium.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  return new Promise((resolve, reject) => waiting.set(id, { resolve, reject }));
}
const event = (method, sessionId) =>
  new Promise((resolve) => listeners.push({ method, sessionId, resolve }));

async function main() {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const s = (method, params) => send(method, params, sessionId);
  await s('Page.enable');
  let found = 0, scrolled = 0;
  for (const page of pages) {
    for (const screen of kWidths) {
      await s('Emulation.setDeviceMetricsOverride', { ...screen, deviceScaleFactor: 1 });
      const loaded = event('Page.loadEventFired', sessionId);
      await s('Page.navigate', { url: 'file://' + path.resolve(page) });
      await loaded;
      const { result, exceptionDetails } = await s('Runtime.evaluate', {
        expression: `${axeSource};
          axe.run(document).then((r) => JSON.stringify({
            violations: r.violations.map((v) => ({
              id: v.id, impact: v.impact, help: v.help,
              nodes: v.nodes.map((n) => n.target.join(' ') + ': ' + n.failureSummary),
            })),
            passes: r.passes.length,
          }))`,
        awaitPromise: true,
        returnByValue: true,
      });
      if (exceptionDetails) fail(`${page}: ${exceptionDetails.exception.description}`);
      const { violations, passes } = JSON.parse(result.value);
      // A page axe could not read passes nothing.
      if (passes === 0) fail(`${page}: axe passed no rule`);
      const where = `${page} at ${screen.width} px`;
      for (const v of violations) {
        ++found;
        console.error(`${where}: ${v.id} (${v.impact}): ${v.help}, ${v.nodes.length} places`);
        for (const n of v.nodes.slice(0, 3)) console.error(`  ${n.replace(/\n/g, ' ')}`);
      }
      if (!violations.length) console.log(`ok: ${where}, ${passes} rules passed`);
      if (screen.mobile) {
        const band = await scrollBand(s);
        if (band === 'scrolled') {
          ++scrolled;
          console.log(`ok: ${where}, a band scrolled by the keyboard`);
        } else if (band !== 'none') {
          ++found;
          console.error(`${where}: a band wider than the screen is ${band} by the keyboard`);
        }
      }
    }
  }
  if (!scrolled) {
    ++found;
    console.error('no band wider than the screen: the keyboard was not tried');
  }
  chromium.removeAllListeners('exit');
  await send('Browser.close').catch(() => {});
  chromium.kill();
  process.exit(found ? 1 : 0);
}
// The first band wider than the screen focused (its tab stop is what axe
// checks), the right arrow pressed: 'scrolled', 'not focused', 'not
// scrolled', or 'none' when no band is wider than the screen.
async function scrollBand(s) {
  const value = async (expression) => (await s('Runtime.evaluate', {
    expression, awaitPromise: true, returnByValue: true,
  })).result.value;
  const focused = await value(`(() => {
    const band = [...document.querySelectorAll('.band')]
      .find((b) => b.scrollWidth > b.clientWidth);
    if (!band) return 'none';
    band.focus();
    return document.activeElement === band && band.scrollLeft === 0 ?
      'focused' : 'not focused';
  })()`);
  if (focused !== 'focused') return focused;
  for (const type of ['keyDown', 'keyUp'])
    await s('Input.dispatchKeyEvent', {
      type, key: 'ArrowRight', code: 'ArrowRight', windowsVirtualKeyCode: 39,
    });
  // After two frames the scroll is drawn.
  const left = await value(`new Promise((done) => requestAnimationFrame(() =>
    requestAnimationFrame(() => done(document.activeElement.scrollLeft))))`);
  return left > 0 ? 'scrolled' : 'not scrolled';
}

main().catch((e) => fail(e.message));
