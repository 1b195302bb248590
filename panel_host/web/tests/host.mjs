// Starts and ends `panel_host --serve` for the browser tests and the
// screenshot and latency scripts, and launches Debian's chromium through
// Playwright with the flags every one of them uses.
import { spawn } from 'node:child_process';
import path from 'node:path';

export const source = process.env.ZELM_SOURCE_DIR ?? path.resolve(import.meta.dirname, '../../..');
export const panelHost = process.env.PANEL_HOST ?? path.join(source, 'build/default/bin/panel_host');
export const hostOptions = ['--installation', path.join(source, 'examples/installation'),
  '--layouts', path.join(source, 'panels/components/Tessaly_Q'), '--color', 'never',
  ...(process.env.PANEL_MODULE ? ['--module', process.env.PANEL_MODULE] : [])];
export const readyScenario = path.join(source, 'examples/scenarios/operate.scn');

// Playwright gives each launch a fresh, throw-away profile folder.
export function launchChromium(chromium) {
  return chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

const running = new Set();

// panel_host --serve on 127.0.0.1 (a port the system picks) with the ready
// facility; resolves with { child, url, token, output } once it printed its
// URL (`token`: the access key the URL carries, when the server asks for one).
export function startHost(extra = []) {
  const child = spawn(panelHost, [...hostOptions, '--serve', '127.0.0.1:0', ...extra, readyScenario],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const host = { child, output: '' };
  running.add(host);
  child.stderr.on('data', (chunk) => { host.output += chunk; });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('panel_host printed no URL:\n' + host.output)), 15000);
    child.stdout.on('data', (chunk) => {
      host.output += chunk;
      const found = /the browser view is at (http:\/\/127\.0\.0\.1:\d+)\/(?:\?token=([0-9a-f]+))?/.exec(host.output);
      if (found && !host.url) {
        clearTimeout(timer);
        host.url = found[1];
        host.token = found[2];
        resolve(host);
      }
    });
    child.on('exit', (code) => {
      running.delete(host);
      reject(new Error(`panel_host ended (${code}):\n${host.output}`));
    });
  });
}

// Ends panel_host as Ctrl-C would; resolves with its exit status.
export function stopHost(host) {
  const ended = new Promise((resolve) => host.child.on('exit', (code) => resolve(code)));
  host.child.kill('SIGTERM');
  running.delete(host);
  return ended;
}

export function killAllHosts() {
  for (const host of running) host.child.kill('SIGKILL');
  running.clear();
}

export async function step(host, line) {
  const response = await fetch(host.url + '/api/step', { method: 'POST', body: line });
  return { status: response.status, body: await response.json() };
}
