// The page around the game: a terminal emulator filling the window, the
// keys it sends queued in order for the game, and what the game's console
// (console/web/) asks of the page through Module. Runs before the game's
// script, which takes Module from here.
'use strict';

var Module = (() => {
  const term = new Terminal({ convertEol: true, cursorBlink: false, allowProposedApi: true });
  // Columns as the game counts them (its table, exported by its console),
  // not by the emulator's older Unicode: a wide emoji then takes the two
  // cells the game erases. A character of no width joins the one before.
  term.unicode.register({
    version: 'game',
    wcwidth: (c) => page.columnWidth(c),
    charProperties(c, preceding) {
      let width = this.wcwidth(c);
      const before = (preceding >> 1) & 3;
      const joins = width === 0 && preceding !== 0 && before !== 0;
      if (joins) {
        width = Math.max(width, before);
      }
      return (width << 1) | (joins ? 1 : 0);
    },
  });
  term.unicode.activeVersion = 'game';
  const fit = new FitAddon();
  term.loadAddon(fit);
  term.open(document.getElementById('terminal'));
  fit.fit();
  term.focus();

  const encoder = new TextEncoder();
  let wake = null;  // resolves the game's wait, when it waits
  let ended = false;

  const tell = () => {
    if (wake) {
      const resume = wake;
      wake = null;
      resume(1);
    }
  };

  const page = {
    keys: [],           // bytes typed and not yet taken by the game, oldest first
    resized: false,     // the terminal changed size since the game last asked
    inputEnded: false,  // the game reads no more keys
    interrupted: false, // Ctrl+C came after that
    write: (bytes) => term.write(bytes),
    size: () => [term.cols, term.rows],
    // The game's count; one for what it never shows (control characters).
    columnWidth: (c) => {
      const width = page._blackjack_column_width ? page._blackjack_column_width(c) : 1;
      return width < 0 ? 1 : width;
    },
    // Resolves with 1 at the next key or size change, with 0 after
    // timeoutMs (-1: no limit).
    news: (timeoutMs) => new Promise((resolve) => {
      wake = resolve;
      if (timeoutMs >= 0) {
        setTimeout(() => {
          if (wake === resolve) {
            wake = null;
            resolve(0);
          }
        }, timeoutMs);
      }
    }),
    print: (text) => term.write(text + '\n'),
    printErr: (text) => term.write(text + '\n'),
    onExit: (status) => end(status === 0 ? '' : ' (status ' + status + ')'),
    onAbort: () => end(' (it stopped on an error)'),
  };

  const end = (how) => {
    if (ended) {
      return;
    }
    ended = true;
    const notice = document.getElementById('ended');
    notice.textContent = 'The game has ended' + how + '. Press a key, or reload the page, to play again.';
    notice.hidden = false;
    document.title = 'Blackjack (ended)';
  };

  term.onData((data) => {
    if (ended) {
      location.reload();
    } else if (page.inputEnded) {
      // The farewell: only Ctrl+C counts, cutting it short.
      page.interrupted = page.interrupted || data.includes('\x03');
    } else {
      page.keys.push(...encoder.encode(data));
    }
    tell();
  });
  term.onResize(() => {
    page.resized = true;
    tell();
  });
  window.addEventListener('resize', () => fit.fit());
  return page;
})();
