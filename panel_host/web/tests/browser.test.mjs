// The browser view in a real browser: Playwright drives Debian's chromium
// against `panel_host --serve` on 127.0.0.1 (a port the system picks). One
// browser serves every test; each test gets a fresh panel_host, so no test
// sees another's state. These prove the page and its API; the panel's own
// logic is pinned by the scenario and unit tests.
//
//   PANEL_HOST=build/default/bin/panel_host ZELM_SOURCE_DIR=. node panel_host/web/tests/browser.test.mjs
//
// Exit status 77 (skipped) when playwright-core is not installed
// (scripts/install-web-deps installs it). Run the file with node itself:
// `node --test` turns that 77 into a failure of its own.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

import { hostOptions, killAllHosts, launchChromium, panelHost, startHost, step, stopHost as endHost } from './host.mjs';

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.log('browser tests skipped: playwright-core is not installed (run scripts/install-web-deps)');
  process.exit(77);
}

let browser;
before(async () => { browser = await launchChromium(chromium); });
after(async () => {
  await browser?.close();
  killAllHosts();
});

// Ends panel_host as Ctrl-C would; it ends cleanly, with the status a
// scenario run would have (1 after a failed expectation).
async function stopHost(host, status = 0) {
  assert.equal(await endHost(host), status, host.output.slice(-2000));
}

async function openPage(host) {
  const page = await browser.newPage();
  await page.goto(host.url + '/');
  await page.locator('#connection[data-state="open"]').waitFor();
  await page.locator('[data-control="Take"]').waitFor();
  return page;
}

const control = (page, id) => page.locator(`.control[data-panel="1"][data-control="${id}"]`);
const crosspoint = (page, router, destination) =>
  page.locator(`tr[data-router="${router}"][data-destination="${destination}"]`);

async function setParameter(page, name, value) {
  await page.fill('#param-name', name);
  await page.fill('#param-value', value);
  await page.click('#param-form button[type="submit"]');
}

// A raw request, so that the path reaches the server as written.
function rawGet(host, target) {
  const { hostname, port } = new URL(host.url);
  return new Promise((resolve, reject) => {
    http.get({ hostname, port, path: target }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, body, type: response.headers['content-type'] }));
    }).on('error', reject);
  });
}

test('the whole road by clicks: select, Take, Undo, route by hand', async () => {
  const host = await startHost();
  const page = await openPage(host);
  await assert.doesNotReject(control(page, 'Take').waitFor());
  assert.equal(await control(page, 'Take').getAttribute('data-enabled'), 'false');
  assert.equal(await control(page, 'Take').isDisabled(), true);
  assert.equal(await control(page, 'ID_L1').textContent(), 'Video');

  await setParameter(page, 'srcpkg', '1');
  await setParameter(page, 'destpkg', '3');
  await page.locator('[data-control="Take"][data-enabled="true"]').waitFor();
  assert.equal(await control(page, 'Src_L1').textContent(), 'CAM 1');
  assert.equal(await control(page, 'Dst_L1').textContent(), 'MON 3');
  assert.equal(await crosspoint(page, 31, 3).getAttribute('data-source'), '5');

  await control(page, 'Take').click();
  await page.locator('tr[data-router="31"][data-destination="3"][data-source="1"]').waitFor();
  await page.locator('tr[data-router="32"][data-destination="3"][data-source="1"]').waitFor();
  await page.locator('[data-control="Undo"][data-enabled="true"]').waitFor();
  assert.equal(await control(page, 'Src_UL1').textContent(), 'VTR 1');
  assert.equal(await control(page, 'Take').getAttribute('data-enabled'), 'false');

  await control(page, 'Undo').click();
  await page.locator('tr[data-router="31"][data-destination="3"][data-source="5"]').waitFor();
  await page.locator('[data-control="Undo"][data-enabled="false"]').waitFor();

  // A level button: the tick becomes a cross.
  await control(page, 'Enable_L3').click();
  await page.locator('[data-control="Enable_L3"] img[src="/images/cross.png"]').waitFor();

  // Another controller routes: source 7 to destination 4 of router 31.
  await page.locator('.router[data-router="31"] .route-source').selectOption('7');
  await crosspoint(page, 31, 4).click();
  await page.locator('tr[data-router="31"][data-destination="4"][data-source="7"]').waitFor();
  assert.match(await page.locator('#transcript').textContent(), /another controller routes on 31: source 7 to destination 4/);
  await page.close();
  await stopHost(host);
});

test('Take flashes with the wall clock, and the page can speed the clock up', async () => {
  const host = await startHost();
  const page = await openPage(host);
  await page.selectOption('#clock-speed', '5');
  await step(host, 'set srcpkg 1');
  await step(host, 'set destpkg 3');
  // Five times faster: a flash every 200 ms of wall time.
  await page.locator('[data-control="Take"][data-statesheet="take_high"]').waitFor({ timeout: 5000 });
  await page.locator('[data-control="Take"][data-statesheet="take_low"]').waitFor({ timeout: 5000 });
  await page.locator('[data-control="Take"][data-statesheet="take_high"]').waitFor({ timeout: 5000 });
  // Paused, the clock stands still.
  await page.click('#clock-toggle');
  await page.locator('#clock-toggle[data-running="false"]').waitFor();
  const before = (await (await fetch(host.url + '/api/state')).json()).clock.now;
  await new Promise((resolve) => setTimeout(resolve, 300));
  const later = (await (await fetch(host.url + '/api/state')).json()).clock.now;
  assert.equal(later, before);
  await page.close();
  await stopHost(host);
});

test('two pages see the same state', async () => {
  const host = await startHost();
  const first = await openPage(host);
  const second = await openPage(host);
  await control(first, 'Enable_L2').click();
  await second.locator('[data-control="Enable_L2"] img[src="/images/cross.png"]').waitFor();
  await setParameter(second, 'srcpkg', '2');
  await setParameter(second, 'destpkg', '5');
  await first.locator('[data-control="Take"][data-enabled="true"]').waitFor();
  assert.equal(await control(first, 'Src_L1').textContent(), await control(second, 'Src_L1').textContent());
  await first.close();
  await second.close();
  await stopHost(host);
});

test('a second component\'s tallies follow the first one\'s Take', async () => {
  const host = await startHost();
  const page = await openPage(host);
  // The page creates it ("B: create"); its panel appears beside the first
  // one's, each labelled with its component.
  await page.fill('#component-name', 'B');
  await page.click('#component-form button[type="submit"]');
  const of = (component, id) => page.locator(`.control[data-component="${component}"][data-control="${id}"]`);
  await of('B', 'Take').waitFor();
  const titles = await page.locator('.panel-box h2').allTextContents();
  assert.equal(titles.length, 2, titles.join(', '));
  assert.match(titles[0], /^main · panel 1 · /);
  assert.match(titles[1], /^B · panel 1 · /);
  for (const line of ['B: set matrixobject MTX', 'B: set uselevels 1,2,3'])
    assert.equal((await step(host, line)).status, 200, line);
  // The first component routes CAM 1 to MON 3 ...
  await page.selectOption('#param-component', 'main');
  await setParameter(page, 'srcpkg', '1');
  await setParameter(page, 'destpkg', '3');
  await page.locator('.control[data-component="main"][data-control="Take"][data-enabled="true"]').waitFor();
  await of('main', 'Take').click();
  await page.locator('tr[data-router="31"][data-destination="3"][data-source="1"]').waitFor();
  // ... so the second one's Take on MON 3 records CAM 1 for its Undo.
  await page.selectOption('#param-component', 'B');
  await setParameter(page, 'srcpkg', '2');
  await setParameter(page, 'destpkg', '3');
  await page.locator('.control[data-component="B"][data-control="Take"][data-enabled="true"]').waitFor();
  await of('B', 'Take').click();
  await page.locator('tr[data-router="31"][data-destination="3"][data-source="2"]').waitFor();
  await page.locator('.control[data-component="B"][data-control="Src_UL1"]', { hasText: 'CAM 1' }).waitFor();
  assert.equal(await of('main', 'Src_UL1').textContent(), 'VTR 1');
  assert.match(await page.locator('#transcript').textContent(), /B: press "Take"/);
  await page.close();
  await stopHost(host);
});

test('a fault is shown on the page', async () => {
  const host = await startHost();
  const page = await openPage(host);
  await page.locator('#fault-devices input[data-device="33"]').uncheck();
  await page.locator('.router[data-router="33"][data-online="false"]').waitFor();
  assert.match(await page.locator('#fault-status').textContent(), /offline: 33/);
  await page.fill('#fault-delay', '500ms');
  await page.click('#fault-form button[type="submit"]');
  await page.locator('#fault-status', { hasText: 'revertives 0.500s late' }).waitFor();
  await page.click('#fault-clear');
  await page.locator('#fault-status', { hasText: 'no faults' }).waitFor();
  await page.close();
  await stopHost(host);
});

test('a bad step is answered with its message; malformed requests get a 4xx', async () => {
  const host = await startHost();
  const page = await openPage(host);
  await page.fill('#step-line', 'frobnicate 3');
  await page.press('#step-line', 'Enter');
  await page.locator('#step-result.error', { hasText: 'unknown line "frobnicate"' }).waitFor();
  await page.fill('#step-line', 'wait soon');
  await page.press('#step-line', 'Enter');
  await page.locator('#step-result.error', { hasText: '"soon" is not a time' }).waitFor();
  // A failed expectation runs and is reported as such.
  const failed = await step(host, 'expect enabled Take');
  assert.equal(failed.status, 200);
  assert.equal(failed.body.ok, false);
  assert.match(failed.body.failures[0], /<browser>:1: Take: expected enabled, is disabled/);

  const post = async (target, body) => {
    const response = await fetch(host.url + target, { method: 'POST', body });
    return { status: response.status, text: await response.text() };
  };
  const cases = [
    [await post('/api/step', 'say ' + 'x'.repeat(20000)), 413, /larger than 16384 bytes/],
    [await post('/api/clock', 'speed 1000'), 400, /not a speed from 0.1 to 100/],
    [await post('/api/record', 'stop'), 400, /send an empty body/],
    [await post('/api/nothing', ''), 404, /no such API/],
    [await rawGet(host, '/api/step'), 405, /POST \/api\/step/],
  ];
  for (const [answer, status, message] of cases) {
    assert.equal(answer.status, status, answer.text ?? answer.body);
    assert.match(answer.text ?? answer.body, message);
  }
  await page.close();
  await stopHost(host, 1);  // the failed expectation counts as at the end of a scenario
});

test('a path-traversal request is refused', async () => {
  const host = await startHost();
  for (const target of ['/images/../../../../etc/passwd', '/images/..%2f..%2f..%2fetc%2fpasswd',
    '/images/%2e%2e/%2e%2e/%2e%2e/etc/passwd', '/images/%2fetc%2fpasswd', '/../../etc/passwd',
    '/images/..\\..\\etc\\passwd']) {
    const answer = await rawGet(host, target);
    assert.ok(answer.status === 400 || answer.status === 404, `${target}: ${answer.status}`);
    assert.doesNotMatch(answer.body, /root:/, target);
  }
  const tick = await rawGet(host, '/images/tick.png');
  assert.equal(tick.status, 200);
  assert.equal(tick.type, 'image/png');
  await stopHost(host);
});

test('a session recorded in the browser replays green', async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'panel-host-record-'));
  const file = path.join(folder, 'recorded.scn');
  const host = await startHost(['--record', file]);
  const page = await openPage(host);
  await setParameter(page, 'srcpkg', '1');
  await setParameter(page, 'destpkg', '3');
  await page.locator('[data-control="Take"][data-enabled="true"]').waitFor();
  await new Promise((resolve) => setTimeout(resolve, 1200));  // a flash or so
  await control(page, 'Enable_L2').click();
  await control(page, 'Take').click();
  await page.locator('[data-control="Undo"][data-enabled="true"]').waitFor();
  // The button shows the session so far and writes it to the --record file.
  await page.click('#record');
  await page.locator('#recording', { hasText: 'expect crosspoint 31 3 1' }).waitFor();
  assert.match(fs.readFileSync(file, 'utf8'), /^press Take$/m);
  await page.close();
  // At the end panel_host writes the session once more, as served.
  await stopHost(host);

  const recorded = fs.readFileSync(file, 'utf8');
  assert.match(recorded, /^set matrixobject MTX$/m);  // the scenario file it served first
  assert.match(recorded, /^press Take$/m);
  assert.match(recorded, /^wait \d+ms$/m);
  const replay = spawnSync(panelHost, [...hostOptions, '--strict', file], { encoding: 'utf8', timeout: 30000 });
  assert.equal(replay.status, 0, replay.stdout.slice(-3000) + replay.stderr);
  assert.match(replay.stdout, /all \d+ expectations met/);
  fs.rmSync(folder, { recursive: true, force: true });
});
