// Macros in the editor: completion, hover and signature help from words.json
// (which the build writes from the word reference), the checker's findings
// while a macro is written, and the tasks that check and run it. It starts
// nothing but the checker and the tasks, and those only in a trusted folder:
// no network, no telemetry, no packages.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const vscode = require('vscode');
const data = require('./words.json');

// Names are not case sensitive; a name may end in "$".
const NAME = /[A-Za-z_][A-Za-z0-9_]*\$?/;
const byName = new Map(data.items.map((item) => [item.name.toLowerCase(), item]));
const KINDS = {
  function: vscode.CompletionItemKind.Function,
  command: vscode.CompletionItemKind.Method,
  builtin: vscode.CompletionItemKind.Function,
  keyword: vscode.CompletionItemKind.Keyword,
};
// How long the checker waits after the last keystroke.
const CHECK_DELAY_MS = 500;

// --- Reading a statement ------------------------------------------------------

// The code of a line: without its comment, an apostrophe inside a string
// being no comment.
function codeOf(line) {
  let inString = false;
  for (let i = 0; i < line.length; ++i) {
    if (line[i] === '"') inString = !inString;
    else if (line[i] === "'" && !inString) return line.slice(0, i);
  }
  return line;
}

const CONTINUED = /(?<![\w$])_\s*$/;

// The statement that the line holds or ends, from its first line (lines that
// end in "_" go on in the next) up to column, or to the line's end.
function statementBefore(document, line, column) {
  let text = document.lineAt(line).text.slice(0, column);
  for (let l = line - 1; l >= 0 && CONTINUED.test(codeOf(document.lineAt(l).text)); --l)
    text = codeOf(document.lineAt(l).text).replace(CONTINUED, ' ') + text;
  return text;
}

// Every statement of a text, continued lines joined.
function statements(text) {
  const out = [];
  let pending = '';
  for (const line of text.split(/\r?\n/)) {
    const code = codeOf(line);
    if (CONTINUED.test(code)) pending += code.replace(CONTINUED, ' ');
    else {
      out.push(pending + code);
      pending = '';
    }
  }
  if (pending) out.push(pending);
  return out;
}

// Names, numbers, strings (a doubled quote is one quote; one left open ends
// the text) and single characters; a comment ends the tokens.
function tokens(text) {
  const out = [];
  const pattern = /\s+|'.*|"(?:[^"]|"")*"?|[A-Za-z_][A-Za-z0-9_]*\$?|\d*\.?\d+(?:[eE][+-]?\d+)?|[\s\S]/gy;
  for (let m; (m = pattern.exec(text)) && m[0] !== '';) {
    const t = m[0];
    if (t[0] === "'") break;
    if (/^\s/.test(t)) continue;
    out.push({ text: t, name: /^[A-Za-z_]/.test(t), string: t[0] === '"' });
  }
  return out;
}

// What a name token calls: a word, or a built-in (those have parameters).
function callee(token) {
  const item = token && token.name ? byName.get(token.text.toLowerCase()) : undefined;
  return item && item.params ? item : undefined;
}

// Walks a statement's tokens through the calls it makes: a word at the
// statement's head ("GetToken a$, ...") or before a parenthesis
// ("Left$(a$, 1)"). onArgument(item, index, tokens) hears each argument as
// it ends. Gives the calls still open at the end, the innermost last, each
// with the index of the argument being written.
function walk(text, onArgument) {
  const list = tokens(text);
  const open = [];
  const head = callee(list[0]);
  const next = list[1] && list[1].text;
  if (head && head.kind !== 'builtin' && next !== '=' && next !== '[' && next !== '(')
    open.push({ item: head, index: 0, args: [], closer: '' });
  const endArgument = (frame) => {
    if (frame.item && onArgument) onArgument(frame.item, frame.index, frame.args);
    frame.args = [];
  };
  for (let i = head && open.length ? 1 : 0; i < list.length; ++i) {
    const t = list[i];
    const top = open[open.length - 1];
    if (t.text === '(' || t.text === '[') {
      if (top) top.args.push(t);
      const item = t.text === '(' ? callee(list[i - 1]) : undefined;
      open.push({ item, index: 0, args: [], closer: t.text === '(' ? ')' : ']' });
    } else if (top && t.text === top.closer) {
      endArgument(open.pop());
      if (open.length) open[open.length - 1].args.push(t);
    } else if (top && t.text === ',') {
      endArgument(top);
      top.index += 1;
    } else if (top) {
      top.args.push(t);
    }
  }
  for (let i = open.length - 1; i >= 0; --i) if (open[i].args.length) endArgument(Object.assign({}, open[i]));
  return open;
}

// The call whose argument the statement's text up to the cursor ends in:
// { item, index }; none inside a string or a comment.
function callAt(document, line, column) {
  const text = statementBefore(document, line, column);
  if (codeOf(text) !== text || (text.match(/"/g) || []).length % 2) return undefined;
  const open = walk(text).filter((frame) => frame.item);
  return open[open.length - 1];
}

// The variables a macro sets: assigned, made by dim, named as a word's
// variable argument (bare, or as a string's text), or set by a word it calls
// under a name of the word's own. Lower case -> the name as first written.
function variablesSet(text) {
  const found = new Map();
  const add = (name) => {
    const key = name.toLowerCase();
    if (!found.has(key) && !byName.has(key)) found.set(key, name);
  };
  for (const statement of statements(text)) {
    const list = tokens(statement);
    if (list[0] && list[0].name) {
      if (list[0].text.toLowerCase() === 'dim' && list[1] && list[1].name) add(list[1].text);
      else if (list[1] && (list[1].text === '=' || list[1].text === '[')) add(list[0].text);
    }
    for (const t of list) {
      const item = callee(t);
      if (item && item.writes) item.writes.forEach(add);
    }
    walk(statement, (item, index, args) => {
      const param = item.params[index];
      if (!param || args.length !== 1) return;
      if (param.variable === 'bare' && args[0].name) add(args[0].text);
      if (param.variable === 'quoted' && args[0].string) {
        const named = args[0].text.slice(1, -1);
        if (/^[A-Za-z_][A-Za-z0-9_]*\$?$/.test(named)) add(named);
      }
    });
  }
  return [...found.values()];
}

// --- Completion, hover, signature help ----------------------------------------

let allItems;
function wordItems() {
  allItems = allItems || data.items.map((item) => {
    const c = new vscode.CompletionItem(item.name, KINDS[item.kind]);
    c.insertText = new vscode.SnippetString(item.snippet);
    c.detail = item.detail;
    if (item.doc) c.documentation = new vscode.MarkdownString(item.doc);
    return c;
  });
  return allItems;
}

// Where an argument takes option words, those alone; elsewhere the words,
// the built-ins, the keywords and the variables the macro sets.
function completionItems(document, position) {
  const range = document.getWordRangeAtPosition(position, NAME);
  const call = callAt(document, position.line, range ? range.start.character : position.character);
  const param = call && call.item.params[call.index];
  if (param && param.options && param.options.length) {
    return param.options.map((word) => {
      const c = new vscode.CompletionItem(word, vscode.CompletionItemKind.EnumMember);
      c.detail = `${call.item.name}: ${param.name}`;
      c.documentation = new vscode.MarkdownString(param.doc);
      return c;
    });
  }
  const variables = variablesSet(document.getText()).map((name) => {
    const c = new vscode.CompletionItem(name, vscode.CompletionItemKind.Variable);
    c.detail = 'variable set in this macro';
    return c;
  });
  return wordItems().concat(variables);
}

function hover(document, position) {
  const range = document.getWordRangeAtPosition(position, NAME);
  const item = range && byName.get(document.getText(range).toLowerCase());
  return item && item.doc ? new vscode.Hover(new vscode.MarkdownString(item.doc), range) : undefined;
}

// The usage line with each parameter marked in it, the argument being
// written highlighted.
function signatureHelp(document, position) {
  const call = callAt(document, position.line, position.character);
  if (!call) return undefined;
  const { item, index } = call;
  const signature = new vscode.SignatureInformation(item.usage, item.doc ? new vscode.MarkdownString(item.doc) : undefined);
  let from = item.name.length;
  signature.parameters = item.params.map((param) => {
    const at = item.usage.indexOf(param.name, from);
    from = at + param.name.length;
    return new vscode.ParameterInformation([at, from], param.doc);
  });
  const help = new vscode.SignatureHelp();
  help.signatures = [signature];
  help.activeSignature = 0;
  help.activeParameter = index;
  return help;
}

// --- Running mcrhost -------------------------------------------------------------

// A checkout of MCRPAK, where ./mcr runs the build's mcrhost under Wine.
function isCheckout(folder) {
  const root = folder && folder.uri.fsPath;
  return !!root && fs.existsSync(path.join(root, 'mcr')) && fs.existsSync(path.join(root, 'mcrpak', 'bridge', 'words.inc'));
}

// The command that checks or runs a macro. On Windows mcrhost itself (a
// checkout there has no way to run ./mcr); elsewhere in a checkout the
// project's command; otherwise the mcrhost of the settings. The start-up
// macro of the settings goes with every one of them.
function commandLine(action, file, folder) {
  const settings = vscode.workspace.getConfiguration('mcrpak', folder && folder.uri);
  const startup = settings.get('startup') ? ['--startup', settings.get('startup')] : [];
  if (process.platform !== 'win32' && isCheckout(folder)) {
    const root = folder.uri.fsPath;
    const mcr = path.join(root, 'mcr');
    const relative = path.relative(root, file);
    const macro = relative.startsWith('..') || path.isAbsolute(relative) ? file : relative;
    if (action === 'check') return [mcr, 'check', ...startup, macro];
    return startup.length ? [mcr, 'host', ...startup, macro] : [mcr, 'demo', macro];
  }
  const host = settings.get('mcrhost') || 'mcrhost';
  return action === 'check' ? [host, '--check', ...startup, file] : [host, ...startup, file];
}

function makeTask(definition, scope) {
  const editor = vscode.window.activeTextEditor;
  const file = definition.file || (editor && editor.document.languageId === 'mcr' ? editor.document.uri.fsPath : undefined);
  if (!file) return undefined;
  const folder = vscode.workspace.getWorkspaceFolder(vscode.Uri.file(file));
  const [command, ...args] = commandLine(definition.action, file, folder);
  const cwd = folder ? folder.uri.fsPath : path.dirname(file);
  const task = new vscode.Task(definition, scope || folder || vscode.TaskScope.Workspace,
    definition.action === 'run' ? 'run the macro' : 'check the macro', 'mcrhost',
    new vscode.ProcessExecution(command, args, { cwd }),
    definition.action === 'run' ? '$mcrhost' : '$mcrhost-check');
  if (definition.action === 'check') task.group = vscode.TaskGroup.Build;
  return task;
}

// --- Findings while writing ---------------------------------------------------------

const FINDING = /^(.+?):(\d+):(\d+): (error|warning): (.*)$/;

// Runs the checker on a macro as it stands in the editor (a copy in a folder
// of its own, saved or not) when it is opened or saved and a moment after
// the last change, one run at a time for each macro; what it finds becomes
// the macro's problems. A run whose text has changed meanwhile is followed
// by another, and only the latest text's findings are shown.
class Checker {
  constructor() {
    this.problems = vscode.languages.createDiagnosticCollection('mcr');
    this.macros = new Map();  // uri -> { timer, running, again, copy }
    this.told = new Set();
    this.folder = undefined;  // of the copies, made at the first run
    this.copies = 0;
  }

  schedule(document, delay) {
    if (document.languageId !== 'mcr' || !['file', 'untitled'].includes(document.uri.scheme)) return;
    const key = document.uri.toString();
    const state = this.macros.get(key) || { copy: undefined };
    this.macros.set(key, state);
    clearTimeout(state.timer);
    state.timer = setTimeout(() => this.run(document, state), delay);
  }

  forget(document) {
    const state = this.macros.get(document.uri.toString());
    if (state) clearTimeout(state.timer);
    this.macros.delete(document.uri.toString());
    this.problems.delete(document.uri);
  }

  checkAll() {
    vscode.workspace.textDocuments.forEach((d) => this.schedule(d, 0));
  }

  run(document, state) {
    if (this.macros.get(document.uri.toString()) !== state || !vscode.workspace.isTrusted) return;
    if (state.running) {
      state.again = true;
      return;
    }
    this.folder = this.folder || fs.mkdtempSync(path.join(os.tmpdir(), 'mcrpak-check-'));
    state.copy = state.copy || path.join(this.folder, String(++this.copies), path.basename(document.uri.fsPath));
    fs.mkdirSync(path.dirname(state.copy), { recursive: true });
    fs.writeFileSync(state.copy, document.getText());
    const version = document.version;
    const folder = vscode.workspace.getWorkspaceFolder(document.uri);
    const [command, ...args] = commandLine('check', state.copy, folder);
    state.running = true;
    childProcess.execFile(command, args, { cwd: folder ? folder.uri.fsPath : this.folder, timeout: 120000, windowsHide: true },
      (error, stdout, stderr) => {
        state.running = false;
        if (this.macros.get(document.uri.toString()) !== state) return;
        if (error && typeof error.code !== 'number') {
          this.tell(`cannot run ${command} to check the macro (${error.killed ? 'it took too long' : error.message}); ` +
            'the setting mcrpak.mcrhost names the mcrhost program');
        } else if (error && error.code > 1) {
          this.tell(`${command} could not check the macro: ${String(stderr).trim() || 'status ' + error.code}`);
        } else if (document.version === version) {
          this.problems.set(document.uri, this.findings(String(stdout), state.copy, document));
        }
        if (state.again || document.version !== version) {
          state.again = false;
          this.run(document, state);
        }
      });
  }

  // The checker's lines about the copy (not those about the start-up macro)
  // as the macro's problems, each over the name or character it points at.
  findings(output, copy, document) {
    const own = path.basename(copy).toLowerCase();
    const out = [];
    for (const line of output.split(/\r?\n/)) {
      const m = FINDING.exec(line);
      if (!m || m[1].split(/[\\/]/).pop().toLowerCase() !== own) continue;
      const at = new vscode.Position(Math.max(0, Number(m[2]) - 1), Math.max(0, Number(m[3]) - 1));
      const range = document.getWordRangeAtPosition(at, NAME) || new vscode.Range(at, at.translate(0, 1));
      const problem = new vscode.Diagnostic(range, m[5],
        m[4] === 'error' ? vscode.DiagnosticSeverity.Error : vscode.DiagnosticSeverity.Warning);
      problem.source = 'mcrhost --check';
      out.push(problem);
    }
    return out;
  }

  // Each trouble with the checker itself once, not at every keystroke.
  tell(text) {
    if (this.told.has(text)) return;
    this.told.add(text);
    vscode.window.showWarningMessage(`MCRPAK macros: ${text}`);
  }

  dispose() {
    this.macros.forEach((state) => clearTimeout(state.timer));
    this.macros.clear();
    this.problems.dispose();
    if (this.folder) fs.rmSync(this.folder, { recursive: true, force: true });
  }
}

function activate(context) {
  const selector = { language: 'mcr' };
  const checker = new Checker();
  const whileWriting = () => vscode.workspace.getConfiguration('mcrpak').get('checkWhileWriting') !== false;
  context.subscriptions.push(
    checker,
    vscode.languages.registerCompletionItemProvider(selector, { provideCompletionItems: completionItems }),
    vscode.languages.registerHoverProvider(selector, { provideHover: hover }),
    vscode.languages.registerSignatureHelpProvider(selector, { provideSignatureHelp: signatureHelp }, '(', ',', ' '),
    vscode.tasks.registerTaskProvider('mcrhost', {
      provideTasks: () => ['run', 'check'].map((action) => makeTask({ type: 'mcrhost', action })).filter(Boolean),
      resolveTask: (task) => makeTask(task.definition, task.scope),
    }),
    vscode.workspace.onDidOpenTextDocument((d) => checker.schedule(d, 0)),
    vscode.workspace.onDidSaveTextDocument((d) => checker.schedule(d, 0)),
    vscode.workspace.onDidChangeTextDocument((e) => {
      if (whileWriting() && e.contentChanges.length) checker.schedule(e.document, CHECK_DELAY_MS);
    }),
    vscode.workspace.onDidCloseTextDocument((d) => checker.forget(d)),
    vscode.workspace.onDidChangeConfiguration((e) => {
      if (e.affectsConfiguration('mcrpak')) checker.checkAll();
    }),
    vscode.workspace.onDidGrantWorkspaceTrust(() => checker.checkAll()));
  checker.checkAll();
}

module.exports = { activate, deactivate() {} };
