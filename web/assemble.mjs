// Puts the page together as one file: the page, the terminal emulator's
// style and script, and the game's script with its WebAssembly inside.
//   node assemble.mjs PAGE_HTML PAGE_JS GAME_JS XTERM_DIR FIT_DIR OUT_HTML
import { readFileSync, writeFileSync } from 'node:fs';

const [pageHtml, pageJs, gameJs, xtermDir, fitDir, out] = process.argv.slice(2);
const read = (file) => readFileSync(file, 'utf8');

// An ES module's code as a classic script's value: its exports become the
// result of a function around it, so that no name of it leaks.
function moduleValue(file, name) {
  const code = read(file).replace(/\n\/\/# sourceMappingURL=.*\s*$/, '\n');
  const exported = /export\s*\{([^}]*)\}\s*;?\s*$/.exec(code);
  const binding = exported && exported[1].split(',').map((e) => e.trim().split(/\s+as\s+/))
    .find(([, as]) => as === name);
  if (!binding) {
    throw new Error(`${file} does not end by exporting ${name}`);
  }
  return `const ${name} = (() => {\n'use strict';\n${code.slice(0, exported.index)}\nreturn ${binding[0]};\n})();\n`;
}

const parts = {
  XTERM_CSS: read(`${xtermDir}/css/xterm.css`),
  XTERM_JS: moduleValue(`${xtermDir}/lib/xterm.mjs`, 'Terminal') + moduleValue(`${fitDir}/lib/addon-fit.mjs`, 'FitAddon'),
  PAGE_JS: read(pageJs),
  GAME_JS: read(gameJs),
};
let html = read(pageHtml);
for (const [key, text] of Object.entries(parts)) {
  // Inside a script or a style, only its own end tag would end it early.
  if (/<\/(script|style)/i.test(text)) {
    throw new Error(`${key} holds an end tag that would cut the page short`);
  }
  html = html.replace(`/*${key}*/`, () => text);
}
writeFileSync(out, html);
