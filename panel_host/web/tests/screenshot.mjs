// Takes the README's picture of the browser view from the running demo:
// the ready facility, a source and a destination package selected, Audio 2
// taken out, Take flashing.
//
//   node panel_host/web/tests/screenshot.mjs [OUTPUT.png]     (scripts/screenshot)
import path from 'node:path';

import { chromium } from 'playwright-core';

import { launchChromium, source, startHost, step, stopHost } from './host.mjs';

const output = process.argv[2] ?? path.join(source, 'panel_host/web/screenshot.png');
const host = await startHost();
const browser = await launchChromium(chromium);
try {
  const page = await browser.newPage({ viewport: { width: 1400, height: 860 } });
  await page.goto(host.url + '/');
  await page.locator('#connection[data-state="open"]').waitFor();
  for (const line of ['set srcpkg 1', 'set destpkg 3', 'press Enable_L3', 'get srcpkg'])
    await step(host, line);
  await page.fill('#step-line', 'get all');
  await page.locator('[data-control="Take"][data-statesheet="take_high"]').waitFor();
  await page.screenshot({ path: output });
  console.log('screenshot: ' + output);
} finally {
  await browser.close();
  await stopHost(host);
}
