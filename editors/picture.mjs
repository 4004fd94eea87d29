// The README's picture of a macro in the editor: the extension's grammar
// colours editors/picture.mac through shiki, with the editor's default
// light theme, into a page for headless Chromium to photograph.
//   node picture.mjs NODE_MODULES GRAMMAR MACRO OUT.html   (prints the window size "W,H")
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

const [modules, grammarPath, macroPath, out] = process.argv.slice(2);
const shiki = await import(pathToFileURL(createRequire(join(modules, 'x.js')).resolve('shiki')).href);
const grammar = JSON.parse(readFileSync(grammarPath, 'utf8'));
const macro = readFileSync(macroPath, 'utf8').replace(/\n$/, '');
const highlighter = await shiki.createHighlighter({ themes: ['light-plus'], langs: [{ ...grammar, name: 'mcr' }] });
const code = highlighter.codeToHtml(macro, { lang: 'mcr', theme: 'light-plus' });

// DejaVu Sans Mono at 15 px is 9.04 px a character; the window fits the text.
const lines = macro.split('\n');
const width = Math.ceil(Math.max(...lines.map((l) => l.length)) * 9.04) + 2 * 24;
const height = lines.length * 21 + 2 * 18;
writeFileSync(out, `<!doctype html><meta charset="utf-8"><style>
html, body { margin: 0; background: #ffffff; }
pre.shiki { margin: 0; padding: 18px 24px; font: 15px/21px 'DejaVu Sans Mono', 'Liberation Mono', monospace; }
</style>${code}`);
console.log(`${width},${height}`);
