// What the page costs, measured, not judged: its size, the time from
// navigation to the welcome in headless chromium, and a whole game's time,
// its keys typed ahead, beside the Linux build's on a terminal.
//   node bench/page_bench.mjs build-web/blackjack.html build/blackjack build/tests/libpreload_hooks.so
import { spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync, mkdtempSync, rmSync, symlinkSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { gzipSync } from 'node:zlib';

import { openBrowser } from '../tests/support/page_browser.mjs';

const [pagePath, linuxGame, hooks] = process.argv.slice(2);
const url = pathToFileURL(pagePath).href;
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
const kib = (bytes) => `${bytes} bytes (${(bytes / 1024).toFixed(0)} KiB)`;

const page = readFileSync(pagePath);
console.log(`page: ${kib(page.length)}, gzipped ${kib(gzipSync(page, { level: 9 }).length)}`);

const welcomeShown = () => document.querySelector('.xterm-rows')?.textContent.includes('Welcome to Pellimo');
{
  const { browser } = await openBrowser({});
  const times = [];
  for (let run = 0; run < 7; run++) {
    const tab = await browser.contexts()[0].newPage();
    await tab.goto(url, { waitUntil: 'commit' });
    await tab.waitForFunction(welcomeShown, null, { polling: 'raf' });
    times.push(await tab.evaluate(() => performance.now()));
    await tab.close();
  }
  await browser.close();
  console.log(`navigation to the welcome on screen: median ${median(times).toFixed(0)} ms of ${times.length}` +
    ` (${times.map((t) => t.toFixed(0)).join(', ')})`);
}

// Seed 57: a hand lost by a hit that busts, then one won when the dealer
// busts; the clock 1000 times faster, so that the game's own waits count
// for little.
const answers = ['xy', 'k100', 'kh', 'y', '50', 'ks', 'n'];
const clock = { FAKE_CLOCK_SECONDS: '57', FAKE_CLOCK_SPEED: '1000' };
{
  const { browser, context } = await openBrowser({ seconds: 57, speed: 1000 });
  const times = [];
  for (let run = 0; run < 3; run++) {
    const tab = await context.newPage();
    const started = Date.now();
    await tab.goto(url);
    for (const answer of answers) {
      await tab.keyboard.type(answer);
      await tab.keyboard.press('Enter');
    }
    const ended = await tab.waitForSelector('#ended:not([hidden])');
    times.push(Date.now() - started);
    if ((await ended.textContent()).includes('status')) {
      throw new Error(`the page's game did not end as it should: ${await ended.textContent()}`);
    }
    await tab.close();
  }
  await browser.close();

  const dir = mkdtempSync(join(tmpdir(), 'blackjack-bench-'));
  writeFileSync(join(dir, 'keys'), answers.join('\r') + '\r');
  // LD_PRELOAD splits at blanks and colons: the hooks by a path without.
  symlinkSync(resolve(hooks), join(dir, 'hooks.so'));
  const linuxTimes = [];
  for (let run = 0; run < 3; run++) {
    const started = process.hrtime.bigint();
    const played = spawnSync('script', ['-qefc', `'${linuxGame.replace(/'/g, "'\\''")}'`, '/dev/null'], {
      input: readFileSync(join(dir, 'keys')), env: { ...process.env, ...clock, LD_PRELOAD: join(dir, 'hooks.so') }, timeout: 60000 });
    if (!String(played.stdout).includes('Thank you for playing')) {
      throw new Error(`the Linux game did not end as it should:\n${played.stdout}${played.stderr}`);
    }
    linuxTimes.push(Number(process.hrtime.bigint() - started) / 1e6);
  }
  rmSync(dir, { recursive: true });
  console.log(`a whole game, keys typed ahead: the page ${median(times)} ms from navigation to its end` +
    ` (${times.join(', ')}); the Linux build ${median(linuxTimes).toFixed(0)} ms on a terminal`);
}
