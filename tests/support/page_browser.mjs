// Headless chromium for the page's tests and benchmark: offline, every
// request but the page's own file refused and listed, and the page's clocks
// set as the preloaded hooks set the game's (see page_in_browser.mjs).
import { existsSync } from 'node:fs';
import { createRequire } from 'node:module';
import { delimiter, join } from 'node:path';

const { chromium } = createRequire(new URL('../../web/package.json', import.meta.url))('playwright-core');

// clock: { seconds, speed, controlled } as FAKE_CLOCK_SECONDS, _SPEED and
// _FILE give them; null where not given. A controlled clock moves by
// moveTestClock(nanoseconds) only.
export async function openBrowser(clock, viewport = { width: 1280, height: 800 }) {
  const executable = (process.env.PATH || '').split(delimiter).map((dir) => join(dir, 'chromium')).find(existsSync);
  const browser = await chromium.launch({ executablePath: executable, args: process.getuid() === 0 ? ['--no-sandbox'] : [] });
  const context = await browser.newContext({ viewport });
  await context.setOffline(true);
  const refused = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    return url.startsWith('file:') ? route.continue() : (refused.push(url), route.abort());
  });
  await context.addInitScript(({ seconds, speed, controlled }) => {
    if (seconds !== null) {
      const RealDate = Date;
      globalThis.Date = class extends RealDate {
        constructor(...args) { super(...(args.length ? args : [seconds * 1000])); }
        static now() { return seconds * 1000; }
      };
    }
    const realNow = performance.now.bind(performance);
    const start = realNow();
    let moved = 0;
    globalThis.moveTestClock = (ns) => { moved = ns / 1e6; };
    if (controlled) {
      performance.now = () => start + moved;
    } else if (speed !== null) {
      performance.now = () => start + (realNow() - start) * speed;
    }
  }, { seconds: null, speed: null, controlled: false, ...clock });
  return { browser, context, refused };
}
