// Takes the README's picture of the browser view from the running demo:
// the ready facility, a source and a destination package chosen in the
// picker, Audio 2 taken out, Take flashing. It waits for the page's
// data-ready mark (the first state drawn) before it does anything.
//
//   node panel_host/web/tests/screenshot.mjs [OUTPUT.png]     (scripts/screenshot)
import path from 'node:path';

import { chromium } from 'playwright-core';

import { launchChromium, source, startHost, stopHost } from './host.mjs';

const output = process.argv[2] ?? path.join(source, 'panel_host/web/screenshot.png');
const host = await startHost();
const browser = await launchChromium(chromium);
try {
  const page = await browser.newPage({ viewport: { width: 1400, height: 860 } });
  await page.goto(host.url + '/');
  await page.locator('body[data-ready="true"]').waitFor();
  await page.click('[data-package-source="1"]');
  await page.click('[data-package-destination="3"]');
  await page.locator('[data-control="Take"][data-enabled="true"]').waitFor();
  await page.click('.control[data-control="Enable_L3"]');
  await page.locator('[data-control="Enable_L3"] img[src="/images/cross.png"]').waitFor();
  await page.locator('[data-control="Take"][data-statesheet="take_high"]').waitFor();
  // The mouse away from the buttons, so no hover shows in the picture.
  await page.mouse.move(0, 0);
  await page.screenshot({ path: output });
  console.log('screenshot: ' + output);
} finally {
  await browser.close();
  await stopHost(host);
}
