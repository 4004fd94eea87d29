// Completion and hover for macros from words.json (which the build writes
// from the word reference), and the tasks that check and run the open macro
// with mcrhost. It reads only its own data and the settings, and starts
// nothing but the task a user runs: no network, no telemetry, no packages.
'use strict';
const fs = require('fs');
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

function completionItems() {
  return data.items.map((item) => {
    const c = new vscode.CompletionItem(item.name, KINDS[item.kind]);
    c.insertText = new vscode.SnippetString(item.snippet);
    c.detail = item.detail;
    if (item.doc) c.documentation = new vscode.MarkdownString(item.doc);
    return c;
  });
}

function hover(document, position) {
  const range = document.getWordRangeAtPosition(position, NAME);
  const item = range && byName.get(document.getText(range).toLowerCase());
  return item && item.doc ? new vscode.Hover(new vscode.MarkdownString(item.doc), range) : undefined;
}

// In a checkout of MCRPAK the tasks go through ./mcr (the build's mcrhost
// under Wine, the sample workstation); elsewhere through the mcrhost of the
// settings, with the start-up macro that sets the host variables.
function isCheckout(folder) {
  const root = folder && folder.uri.fsPath;
  return !!root && fs.existsSync(path.join(root, 'mcr')) && fs.existsSync(path.join(root, 'mcrpak', 'bridge', 'words.inc'));
}

function commandLine(action, file, folder) {
  if (isCheckout(folder)) {
    const relative = path.relative(folder.uri.fsPath, file);
    return action === 'run' ? ['./mcr', 'demo', relative] : ['./mcr', 'host', '--check', relative];
  }
  const settings = vscode.workspace.getConfiguration('mcrpak');
  const host = settings.get('mcrhost') || 'mcrhost';
  const startup = settings.get('startup');
  return action === 'run' ? [host, ...(startup ? ['--startup', startup] : []), file] : [host, '--check', file];
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

function activate(context) {
  const selector = { language: 'mcr' };
  context.subscriptions.push(
    vscode.languages.registerCompletionItemProvider(selector, { provideCompletionItems: completionItems }),
    vscode.languages.registerHoverProvider(selector, { provideHover: hover }),
    vscode.tasks.registerTaskProvider('mcrhost', {
      provideTasks: () => ['run', 'check'].map((action) => makeTask({ type: 'mcrhost', action })).filter(Boolean),
      resolveTask: (task) => makeTask(task.definition, task.scope),
    }));
}

module.exports = { activate, deactivate() {} };
