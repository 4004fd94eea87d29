// The editor extension's script under Node, with a stand-in of the editor's
// API: what it completes, shows and helps with on macros, the checker it
// runs as a macro is written and what becomes of its findings, and the
// tasks' commands. The checker is a stand-in script that reports "bad" where
// it stands (an error) and the blank before "odd" (a warning), and records
// how it was called.
//   node --test tests/editors/extension_test.js   (MCR_EXTENSION: the laid-out
//   extension, build/native/vscode by default)
'use strict';
const assert = require('assert');
const fs = require('fs');
const Module = require('module');
const os = require('os');
const path = require('path');
const test = require('node:test');

const EXTENSION = process.env.MCR_EXTENSION || path.join(__dirname, '../../build/native/vscode');
const PLATFORM = process.platform;
const TMP = fs.mkdtempSync(path.join(os.tmpdir(), 'mcr-extension-test-'));
test.after(() => fs.rmSync(TMP, { recursive: true, force: true }));

const CHECKER = path.join(TMP, 'checker');
fs.writeFileSync(CHECKER, `#!/bin/sh
printf '%s\\n' "$0" "$@" >> "${TMP}/calls"
echo "--" >> "${TMP}/calls"
for macro; do :; done
[ "$1" = check ] && shift
[ "$2" = --startup ] && echo "$3:1:1: error: a finding in the start-up macro"
[ -n "$STANDIN_SLEEP" ] && sleep "$STANDIN_SLEEP"
if [ -n "$STANDIN_STATUS" ]; then echo "cannot read $macro" >&2; exit "$STANDIN_STATUS"; fi
awk '/bad/ { print FILENAME ":" NR ":" index($0, "bad") ": error: bad here" }
     /odd/ { print FILENAME ":" NR ":" index($0, " odd") ": warning: odd here" }' "$macro"
`, { mode: 0o755 });
const calls = () => (fs.existsSync(path.join(TMP, 'calls')) ? fs.readFileSync(path.join(TMP, 'calls'), 'utf8') : '')
  .split('--\n').filter(Boolean).map((c) => c.trim().split('\n'));

// --- the stand-in of the editor's API ------------------------------------------
class Position {
  constructor(line, character) { Object.assign(this, { line, character }); }
  translate(lines, characters) { return new Position(this.line + lines, this.character + characters); }
}
class Range {
  constructor(a, b, c, d) { Object.assign(this, typeof a === 'number' ? { start: new Position(a, b), end: new Position(c, d) } : { start: a, end: b }); }
}
const Uri = { file: (p) => ({ fsPath: p, path: p, scheme: 'file', toString: () => 'file://' + p }) };
const value = (name) => class { constructor(...args) { this[name] = args[0]; this.args = args; } };
let editor;  // what the extension registers and what it tells, per session
const on = (event) => (listener) => (editor.listeners[event].push(listener), { dispose() {} });
const keep = (what) => (...args) => ((editor[what] = args.find((a) => typeof a === 'object' && !a.language)), { dispose() {} });
const vscode = {
  Position, Range, Uri,
  CompletionItem: class { constructor(label, kind) { Object.assign(this, { label, kind }); } },
  CompletionItemKind: { Function: 'Function', Method: 'Method', Keyword: 'Keyword', EnumMember: 'EnumMember', Variable: 'Variable' },
  SnippetString: value('value'), MarkdownString: value('value'),
  Hover: class { constructor(contents, range) { Object.assign(this, { contents, range }); } },
  SignatureHelp: class {}, SignatureInformation: value('label'), ParameterInformation: value('label'),
  Diagnostic: class { constructor(range, message, severity) { Object.assign(this, { range, message, severity }); } },
  DiagnosticSeverity: { Error: 'Error', Warning: 'Warning' },
  Task: class { constructor(definition, scope, name, source, execution) { Object.assign(this, { definition, name, execution }); } },
  ProcessExecution: class { constructor(process, args, options) { Object.assign(this, { process, args, options }); } },
  TaskGroup: { Build: 'Build' }, TaskScope: { Workspace: 'Workspace' },
  languages: {
    registerCompletionItemProvider: keep('completion'), registerHoverProvider: keep('hover'),
    registerSignatureHelpProvider: keep('signature'),
    createDiagnosticCollection: () => {
      const map = new Map();
      return editor.problems = { set: (u, l) => map.set(u.toString(), l), delete: (u) => map.delete(u.toString()),
        get: (u) => map.get(u.toString()), dispose() {} };
    },
  },
  tasks: { registerTaskProvider: keep('tasks') },
  window: { showWarningMessage: (text) => editor.told.push(text), get activeTextEditor() { return editor.active; } },
  workspace: {
    getConfiguration: (section) => ({ get: (key) => editor.settings[`${section}.${key}`] }),
    getWorkspaceFolder: (uri) => (editor.root && uri.fsPath.startsWith(editor.root) ? { uri: Uri.file(editor.root) } : undefined),
    get textDocuments() { return editor.documents; },
    get isTrusted() { return editor.trusted; },
    onDidOpenTextDocument: on('open'), onDidSaveTextDocument: on('save'), onDidChangeTextDocument: on('change'),
    onDidCloseTextDocument: on('close'), onDidChangeConfiguration: on('configuration'), onDidGrantWorkspaceTrust: on('trust'),
  },
};
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) { return request === 'vscode' ? 'vscode' : resolve.call(this, request, ...rest); };
require.cache.vscode = { id: 'vscode', filename: 'vscode', loaded: true, exports: vscode };
const extension = require(path.join(EXTENSION, 'extension.js'));

class Document {
  constructor(file, text) { Object.assign(this, { uri: Uri.file(file), languageId: 'mcr', version: 1, text }); }
  get lines() { return this.text.split('\n'); }
  getText(range) { return range ? this.lines[range.start.line].slice(range.start.character, range.end.character) : this.text; }
  lineAt(n) { return { text: this.lines[n] }; }
  getWordRangeAtPosition(at, pattern) {
    const re = new RegExp(pattern.source, 'g');
    for (let m; (m = re.exec(this.lines[at.line] || ''));)
      if (m.index <= at.character && at.character <= m.index + m[0].length) return new Range(at.line, m.index, at.line, m.index + m[0].length);
    return undefined;
  }
}

// A session of the editor: settings, the folder open (a checkout or not), the platform.
function session({ settings = {}, checkout = false, platform = 'linux', trusted = true } = {}) {
  const root = fs.mkdtempSync(path.join(TMP, 'folder-'));
  if (checkout) {
    fs.mkdirSync(path.join(root, 'mcrpak', 'bridge'), { recursive: true });
    fs.writeFileSync(path.join(root, 'mcrpak', 'bridge', 'words.inc'), '');
    fs.copyFileSync(CHECKER, path.join(root, 'mcr'));
  }
  fs.rmSync(path.join(TMP, 'calls'), { force: true });
  Object.defineProperty(process, 'platform', { value: platform });
  editor = { root, settings: Object.assign({ 'mcrpak.mcrhost': CHECKER }, settings), trusted, documents: [], told: [],
    listeners: { open: [], save: [], change: [], close: [], configuration: [], trust: [] } };
  const context = { subscriptions: [] };
  extension.activate(context);
  const fire = (event, arg) => editor.listeners[event].forEach((l) => l(arg));
  return {
    root,
    open(text, name = 'm.mac') {
      const d = new Document(path.join(root, name), text);
      editor.documents.push(d);
      fire('open', d);
      return d;
    },
    edit(d, text) { d.text = text; d.version += 1; fire('change', { document: d, contentChanges: [{}] }); },
    fire,
    // What the providers give at the end of the text ("|" marks the cursor when it is not there).
    at(text, provider, ...method) {
      const d = new Document(path.join(root, 'p.mac'), text.replace('|', ''));
      const before = text.includes('|') ? text.slice(0, text.indexOf('|')).split('\n') : d.lines;
      return editor[provider][method[0]](d, new Position(before.length - 1, before[before.length - 1].length));
    },
    close() { context.subscriptions.forEach((s) => s.dispose()); Object.defineProperty(process, 'platform', { value: PLATFORM }); },
  };
}

async function until(what, ms = 8000) {
  for (const end = Date.now() + ms; !what(); await new Promise((r) => setTimeout(r, 20)))
    if (Date.now() > end) throw new Error('waited in vain for ' + what);
}
const shown = (d) => (editor.problems.get(d.uri) || []).map((p) => `${p.range.start.line}:${p.range.start.character}-${p.range.end.character} ${p.severity} ${p.message}`);

// --- the checker as a macro is written -------------------------------------------
test('the checker runs as the platform and the folder need, with the start-up macro, and its findings show', async (t) => {
  const cases = [
    { name: 'Windows, even in a checkout: mcrhost itself', platform: 'win32', checkout: true, command: () => [CHECKER, '--check'] },
    { name: 'a checkout elsewhere: the project command', platform: 'linux', checkout: true, command: (root) => [path.join(root, 'mcr'), 'check'] },
    { name: 'outside a checkout: the mcrhost of the settings', platform: 'linux', checkout: false, command: () => [CHECKER, '--check'] },
  ];
  for (const c of cases) {
    await t.test(c.name, async () => {
      const s = session({ platform: c.platform, checkout: c.checkout, settings: { 'mcrpak.startup': 'C:\\start.mac' } });
      try {
        const d = s.open('x = 1\nprint bad$\ny = odd + 1\n');
        await until(() => editor.problems.get(d.uri));
        assert.deepStrictEqual(shown(d), ['1:6-10 Error bad here', '2:3-4 Warning odd here']);
        const [call] = calls();
        assert.deepStrictEqual(call.slice(0, -1), [...c.command(s.root), '--startup', 'C:\\start.mac']);
        assert.strictEqual(fs.readFileSync(call[call.length - 1], 'utf8'), d.text);  // the editor's text, saved or not
      } finally { s.close(); }
    });
  }
});

test('a burst of changes is checked once, after the last', async () => {
  const s = session();
  try {
    const d = s.open('print 1\n');
    await until(() => editor.problems.get(d.uri));
    ['bad', 'print bad', 'print 1 + odd'].forEach((text) => s.edit(d, text));
    await until(() => shown(d).length === 1);
    assert.deepStrictEqual(shown(d), ['0:9-10 Warning odd here']);
    assert.strictEqual(calls().length, 2);
  } finally { s.close(); }
});

test('findings of a text changed while it was checked are dropped, and the new text checked', async () => {
  process.env.STANDIN_SLEEP = '0.5';
  const s = session();
  try {
    const d = s.open('print bad\n');
    await until(() => calls().length === 1);
    s.edit(d, 'print 1\n');
    s.fire('save', d);
    await until(() => calls().length === 2 && editor.problems.get(d.uri));
    assert.deepStrictEqual(shown(d), []);
  } finally { delete process.env.STANDIN_SLEEP; s.close(); }
});

test('a closed macro loses its problems; nothing runs in an untrusted folder until it is trusted', async () => {
  const s = session({ trusted: false });
  try {
    const d = s.open('bad\n');
    await new Promise((r) => setTimeout(r, 300));
    assert.strictEqual(calls().length, 0);
    editor.trusted = true;
    s.fire('trust');
    await until(() => shown(d).length === 1);
    s.fire('close', d);
    assert.strictEqual(editor.problems.get(d.uri), undefined);
  } finally { s.close(); }
});

test('trouble with the checker itself is told once', async (t) => {
  const cases = [
    { name: 'a program that is not there', settings: { 'mcrpak.mcrhost': path.join(TMP, 'no-such-mcrhost') }, told: /cannot run .*no-such-mcrhost/ },
    { name: 'a usage error (status 2)', env: '2', told: /could not check the macro: cannot read / },
  ];
  for (const c of cases) {
    await t.test(c.name, async () => {
      if (c.env) process.env.STANDIN_STATUS = c.env;
      const s = session({ settings: c.settings });
      try {
        const d = s.open('bad\n');
        await until(() => editor.told.length === 1);
        s.fire('save', d);
        await new Promise((r) => setTimeout(r, 300));
        assert.strictEqual(editor.told.length, 1);
        assert.match(editor.told[0], c.told);
        assert.strictEqual(editor.problems.get(d.uri), undefined);
      } finally { delete process.env.STANDIN_STATUS; s.close(); }
    });
  }
});

// --- completion, signature help, hover ---------------------------------------------
test('completion offers an argument its option words, elsewhere the words and the macro\'s variables', async (t) => {
  const cases = [
    ['DATATABLE ', ['CREATE', 'APPEND']],
    ['DATATABLE CR', ['CREATE', 'APPEND']],
    ['EX_DELETE p$, ', ['DONTASK']],
    ['EX_DELETE p$, DONTASK, _\n  ', ['FILEONLY']],
    ['GetSeqHdStr SampleSeq$, ', ['Comment', 'Operator', 'DataPath', 'PreSeq', 'PostSeq']],
    ['REGSET HKEY_CURRENT_USER, "k", "v", ', ['REG_SZ', 'REG_EXPAND_SZ', 'REG_MULTI_SZ', 'REG_DWORD', 'REG_QWORD', 'REG_BINARY']],
    ['print Left$(CountToken(a$, ', null],
    ['UPDATE a$, b$, ', null],  // an option that takes any word
    ['DATATABLE CREATE, "', null],
    ['DATATABLE \' ', null],
  ];
  const s = session();
  try {
    for (const [text, options] of cases) {
      await t.test(text, () => {
        const labels = s.at(text, 'completion', 'provideCompletionItems').map((c) => c.label);
        if (options) assert.deepStrictEqual(labels, options);
        else assert.ok(labels.includes('Left$') && labels.includes('while') && !labels.includes('CREATE'), labels.slice(0, 5));
      });
    }
    await t.test('the variables the macro sets', () => {
      const macro = ['total = 1', 'dim t[3]', 'GetToken "a,b", ",", 1, tok$ \' not: x', 'n = GetCalMasInf(1, "ISTD", "", "istd")',
        'DATATABLE CREATE, "t.txt", d$', 'EX_DELETE "x", DONTASK', 'SelectTuneStep', 'print Left$(u$, 1), '].join('\n');
      const variables = s.at(macro, 'completion', 'provideCompletionItems').filter((c) => c.kind === 'Variable').map((c) => c.label);
      assert.deepStrictEqual(variables.sort(), ['SelectedTuneStep', '_ERR_DATATABLE', '_MSG_DATATABLE$', 'istd', 'n', 't',
        'tok$', 'total'].sort());
    });
  } finally { s.close(); }
});

test('signature help marks the argument being written', async (t) => {
  const cases = [
    ['GetToken a$, ', 'GetToken', 1],
    ['x = Left$(a$, ', 'Left$', 1],
    ['x = Left$("a,b", (1 + 2', 'Left$', 1],
    ['x = Left$(Trim$(a$', 'Trim$', 0],
    ['COPY a$, _\n   b$, ', 'COPY', 2],
    ['print line$(f$, ', 'line$', 1],
    ['x = Left$(a$, 1) + ', null],
    ['x = 1 \' Left$(', null],
  ];
  const s = session();
  try {
    for (const [text, word, index] of cases) {
      await t.test(text, () => {
        const help = s.at(text, 'signature', 'provideSignatureHelp');
        if (!word) return assert.strictEqual(help, undefined);
        const signature = help.signatures[0];
        assert.ok(signature.label.startsWith(word), signature.label);
        assert.strictEqual(help.activeParameter, index);
        const [from, to] = signature.parameters[index].label;
        assert.ok(/^[a-z]/.test(signature.label.slice(from, to)) && to > from, signature.label.slice(from, to));
      });
    }
  } finally { s.close(); }
});

test('hover shows the reference of a word, a built-in and a keyword', () => {
  const s = session();
  try {
    const cases = [['x = Le|ft$(a$, 1)', /Left\$\(text, count\)/], ['print l|en(a$)', /built-in function/],
      ['wh|ile x', /repeats the block/], ['x = a an|d b', /operator: 1 when both/], ['x| = 1', null]];
    for (const [text, doc] of cases) {
      const h = s.at(text, 'hover', 'provideHover');
      if (doc) assert.match(h.contents.value, doc, text); else assert.strictEqual(h, undefined, text);
    }
  } finally { s.close(); }
});

test('the tasks run mcrhost itself on Windows, ./mcr in a checkout elsewhere, with the start-up macro', () => {
  const cases = [
    { platform: 'win32', checkout: true, startup: 's.mac', run: [CHECKER, '--startup', 's.mac', 'M'], check: [CHECKER, '--check', '--startup', 's.mac', 'M'] },
    { platform: 'linux', checkout: true, startup: '', run: ['R/mcr', 'demo', 'm.mac'], check: ['R/mcr', 'check', 'm.mac'] },
    { platform: 'linux', checkout: true, startup: 's.mac', run: ['R/mcr', 'host', '--startup', 's.mac', 'm.mac'], check: ['R/mcr', 'check', '--startup', 's.mac', 'm.mac'] },
  ];
  for (const c of cases) {
    const s = session({ platform: c.platform, checkout: c.checkout, settings: { 'mcrpak.startup': c.startup } });
    try {
      const file = path.join(s.root, 'm.mac');
      editor.active = { document: new Document(file, '') };
      const tasks = editor.tasks.provideTasks();
      const expected = (list) => list.map((a) => (a === 'M' ? file : a.replace('R/', s.root + '/')));
      assert.deepStrictEqual(tasks.map((k) => [k.execution.process, ...k.execution.args]), [expected(c.run), expected(c.check)], c.platform);
    } finally { s.close(); }
  }
});
