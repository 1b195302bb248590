// Runs the browser test files under node's test runner, or exits 77
// (CTest's "skipped") when the npm packages they need are not installed:
// a test file's own exit status is lost inside `node --test`, which
// reports any such file as failed.
//
//   node panel_host/web/tests/run.mjs      (CTest: panel_host.browser)
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';

const require = createRequire(import.meta.url);
for (const name of ['playwright-core', 'axe-core/axe.min.js']) {
  try {
    require.resolve(name);
  } catch {
    console.log(`browser tests skipped: ${name} is not installed (run scripts/install-web-deps)`);
    process.exit(77);
  }
}
const files = ['browser.test.mjs', 'operator.test.mjs'].map((file) => path.join(import.meta.dirname, file));
const run = spawnSync(process.execPath, ['--test', ...files], { stdio: 'inherit' });
process.exit(run.status ?? 1);
