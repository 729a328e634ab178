// Plays the page in headless chromium as if it were a program on this
// terminal, so that the terminal tests play it as they play the game built
// here: the bytes typed here become key presses in the page, and the
// emulator's screen and cursor, read from the text the page shows, are
// drawn here whenever they change. The page comes from file:// and every
// request for anything else is refused (and ends the run with status 1).
//   node page_in_browser.mjs PAGE.html
// The page's clocks, as the preloaded hooks set the game's: FAKE_CLOCK_SECONDS
// fixes Date (the deck's seed), FAKE_CLOCK_SPEED runs performance.now K times
// faster (0 stops it), FAKE_CLOCK_FILE moves it only as the test moves it.
// Exits with the game's status.
import { openSync, readSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

import { openBrowser } from './page_browser.mjs';

const env = process.env;
const number = (name) => (env[name] === undefined ? null : Number(env[name]));
const { browser, context, refused } = await openBrowser({
  seconds: number('FAKE_CLOCK_SECONDS'), speed: number('FAKE_CLOCK_SPEED'), controlled: !!env.FAKE_CLOCK_FILE });
const page = await context.newPage();
const failures = [];
page.on('pageerror', (error) => failures.push(String(error)));
page.on('crash', () => failures.push('the page crashed'));
await page.goto(pathToFileURL(process.argv[2]).href);

// The screen as the page shows it after its next frame: each row's text,
// the cursor's cell (counted from 1), and the notice of the game's end.
const look = () => page.evaluate(async () => {
  await new Promise((resolve) => requestAnimationFrame(resolve));
  const rows = [...document.querySelectorAll('.xterm-rows > div')];
  const cursor = document.querySelector('.xterm-rows .xterm-cursor');
  const ended = document.getElementById('ended');
  const cell = cursor && cursor.getBoundingClientRect();
  return {
    rows: rows.map((row) => row.textContent.replace(/\u00a0/g, ' ').trimEnd()),
    cell: cell && [cell.width, rows[0].getBoundingClientRect().height],
    cursor: cursor && [Math.round((cell.left - cursor.parentElement.getBoundingClientRect().left) / cell.width) + 1,
      rows.indexOf(cursor.parentElement) + 1],
    ended: ended.hidden ? null : ended.textContent,
  };
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const finish = (status) => {
  if (process.stdin.isTTY) {
    process.stdin.setRawMode(false);
  }
  for (const failure of [...failures, ...refused.map((url) => `the page asked for ${url}`)]) {
    process.stderr.write(`${failure}\n`);
  }
  process.exit(failures.length + refused.length > 0 ? 1 : status);
};
// Looks until the page shows what pred wants, or has failed.
const until = async (pred) => {
  for (let shown = await look(); !pred(shown); shown = await look()) {
    if (failures.length > 0) {
      await browser.close();
      finish(1);
    }
    await sleep(10);
  }
};
// The window that makes the page's terminal as large as this one: the fit
// add-on takes whole cells, after a scroll bar of 14 pixels.
let cell = null;
await until((shown) => (cell = shown.cell) !== null);
const fitToHere = async () => {
  const columns = process.stdout.columns || 80;
  const rows = process.stdout.rows || 24;
  await page.setViewportSize({ width: Math.ceil((columns + 0.5) * cell[0]) + 14, height: Math.ceil((rows + 0.5) * cell[1]) });
  await until((shown) => shown.rows.length === rows);
};
await fitToHere();

// Keys: the bytes typed here, as the keys that send them.
const keyNames = { '\r': 'Enter', '\x7f': 'Backspace', '\t': 'Tab', '\x1b': 'Escape', '\x1b[A': 'ArrowUp',
  '\x1b[B': 'ArrowDown', '\x1b[C': 'ArrowRight', '\x1b[D': 'ArrowLeft', '\x1b[H': 'Home', '\x1b[F': 'End',
  '\x1b[2~': 'Insert', '\x1b[3~': 'Delete', '\x1b[5~': 'PageUp', '\x1b[6~': 'PageDown' };
const keys = (text) => {
  const presses = [];
  for (const [found] of text.matchAll(/\x1b\[[0-9;]*[@-~]|\x1bO[A-D]|[\x00-\x1f\x7f]|[\x20-\x7e]+|[^\x00-\x7f]+/g)) {
    const name = keyNames[found.replace(/^\x1bO/, '\x1b[')];
    if (name) {
      presses.push(() => page.keyboard.press(name));
    } else if (found >= '\x01' && found <= '\x1a') {
      presses.push(() => page.keyboard.press(`Control+${String.fromCharCode(found.charCodeAt(0) + 96)}`));
    } else if (/^[\x20-\x7e]+$/.test(found)) {
      presses.push(() => page.keyboard.type(found));
    } else if (!found.startsWith('\x1b')) {
      presses.push(() => page.keyboard.insertText(found));  // as an input method hands it over
    }
  }
  return presses;
};

// One queue for keys, clock moves and resizes, in the order they came.
// A step still queued when the game has ended meets a closed page: only a
// failure before the end counts.
let queue = Promise.resolve();
let closing = false;
const then = (step) => {
  queue = queue.then(step).catch((error) => {
    if (!closing) {
      failures.push(String(error));
    }
  });
};
let redraw = true;
if (process.stdin.isTTY) {
  process.stdin.setRawMode(true);
}
process.stdin.on('data', (data) => {
  for (const press of keys(data.toString('utf8'))) {
    then(press);
  }
  then(() => { redraw = true; });  // a reprint key draws nothing new in the page
});
process.stdout.on('resize', () => then(async () => { await fitToHere(); redraw = true; }));

const clockFile = env.FAKE_CLOCK_FILE ? openSync(env.FAKE_CLOCK_FILE, 'r') : null;
const clockBytes = Buffer.alloc(8);
let clockMoved = 0n;

let drawn = '';
let looked = '';
for (;;) {
  if (clockFile !== null) {
    readSync(clockFile, clockBytes, 0, 8, 0);
    const moved = clockBytes.readBigInt64LE();
    if (moved !== clockMoved) {
      clockMoved = moved;
      then(() => page.evaluate((ns) => globalThis.moveTestClock(ns), Number(moved)));
    }
  }
  const shown = await look();
  const picture = shown.rows.map((row, y) => `\x1b[${y + 1};1H${row}\x1b[K`).join('') +
    (shown.cursor ? `\x1b[${shown.cursor[1]};${shown.cursor[0]}H` : '');
  // The emulator takes one write of the game's over several tasks and may
  // draw a frame between them: only a picture seen twice running, or the
  // last one, is the game's.
  const settled = picture === looked || shown.ended !== null;
  looked = picture;
  if (settled && (picture !== drawn || redraw)) {
    process.stdout.write(picture);
    drawn = picture;
    redraw = false;
  }
  if (shown.ended !== null || failures.length > 0) {
    closing = true;
    await browser.close();
    finish(Number((/status (\d+)/.exec(shown.ended || '') || [0, failures.length ? 1 : 0])[1]));
  }
  await sleep(15);
}
