// What only the page does: Ctrl+Z is a key like any other, and after the
// farewell the page says the game has ended and a key starts a new one.
// Its screens are the terminal tests' (doc/web.md).
//   node --test tests/page_test.mjs   (BLACKJACK_PAGE: the page, else build-web/blackjack.html)
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { openBrowser } from './support/page_browser.mjs';

const page = process.env.BLACKJACK_PAGE || fileURLToPath(new URL('../build-web/blackjack.html', import.meta.url));

test('Ctrl+Z is a key; after the farewell a key plays again', async () => {
  const { browser, context, refused } = await openBrowser({ seconds: 0, speed: 50 });
  try {
    const tab = await context.newPage();
    await tab.goto(pathToFileURL(page).href);
    const shows = (text) => tab.waitForFunction((t) => document.querySelector('.xterm-rows').textContent
      .replace(/\u00a0/g, ' ').includes(t), text, { timeout: 10000 });
    await shows('Welcome to Pellimo Blackjack!');
    await tab.keyboard.type('xn');
    await tab.keyboard.press('Enter');
    await shows('How much do you want to bet?');
    await tab.keyboard.press('Control+z');
    await tab.keyboard.type('5');
    await shows('How much do you want to bet? 5');
    await tab.keyboard.press('Control+c');
    await shows('Thank you for playing pellimo blackjack.');
    const ended = await tab.waitForSelector('#ended:not([hidden])', { timeout: 10000 });
    assert.equal(await ended.textContent(), 'The game has ended. Press a key, or reload the page, to play again.');
    await tab.keyboard.press('k');
    await shows('Welcome to Pellimo Blackjack!');
    assert.equal(await tab.$eval('#ended', (e) => e.hidden), true);
    assert.deepEqual(refused, []);
  } finally {
    await browser.close();
  }
});
