#include "help.h"

#include <windows.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "../../mcrpak/bridge/wordtable.h"
#include "keywords.h"
#include "lang.h"
#include "session.h"
#include "wordref.h"

namespace mcrhost {

namespace {

std::string Upper(std::string_view s) { return VarStore::Key(s); }

struct ReferenceData {
  std::vector<mcrref::Entry> entries;
  mcrref::Catalogue catalogue;
  std::vector<mcrref::Reference> refs;
};

const ReferenceData& RefData() {
  static const ReferenceData data = [] {
    ReferenceData d;
    std::vector<std::string> problems;
    d.entries = mcrref::ParseEntries(Resource("MCR_WORD_ENTRIES"), &problems);
    d.catalogue = mcrref::ParseCatalogue(Resource("MCR_CATALOGUE"));
    d.refs = mcrref::Join(d.entries, d.catalogue, &problems);
    return d;
  }();
  return data;
}

// The word's entry of docs/words.md, as plain text.
void PrintWord(const mcr::WordInfo& w) {
  mcrref::Reference ref{&w, nullptr};
  for (const mcrref::Reference& r : RefData().refs)
    if (r.word == &w) ref = r;
  std::string text = mcrref::Plain(ref, RefData().catalogue);
  std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

std::string_view Resource(const char* name) {
  HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return text ? std::string_view(text, SizeofResource(nullptr, found)) : std::string_view();
}

bool PrintWordHelp(const std::string& name) {
  std::string key = Upper(name);
  for (const mcr::WordInfo& w : mcr::kWords)
    if (Upper(w.name) == key) {
      PrintWord(w);
      return true;
    }
  for (const mcrlang::Builtin& b : mcrlang::Builtins())
    if (Upper(b.name) == key) {
      std::printf("%s    built-in function of the language\n  %s\n", b.usage, b.summary);
      return true;
    }
  for (const mcrref::KeywordHelp& k : mcrref::kKeywordHelp)
    if (Upper(k.name) == key) {
      std::printf("%s    %s\n  %s\n", k.usage, k.kind, k.summary);
      return true;
    }
  return false;
}

std::string NearestHelpName(const std::string& name) {
  std::vector<std::string> names;
  for (const mcr::WordInfo& w : mcr::kWords) names.push_back(w.name);
  for (const mcrlang::Builtin& b : mcrlang::Builtins()) names.push_back(b.name);
  for (const mcrref::KeywordHelp& k : mcrref::kKeywordHelp) names.push_back(k.name);
  return mcrlang::Nearest(name, names);
}

const mcrref::Reference* WordReference(const std::string& name) {
  for (const mcrref::Reference& r : RefData().refs)
    if (Upper(r.word->name) == Upper(name)) return &r;
  return nullptr;
}

const mcrref::Catalogue& WordCatalogue() { return RefData().catalogue; }

const std::vector<mcrlang::CheckWord>& WordFacts() {
  static const std::vector<mcrlang::CheckWord> words = mcrref::CheckWords(RefData().refs);
  return words;
}

void PrintWordList() {
  int pending = 0;
  for (const mcr::WordInfo& w : mcr::kWords) pending += w.ready ? 0 : 1;
  std::printf("%d words (%d functions, %d commands); %d not available in this build yet\n",
              static_cast<int>(mcr::kWordCount), static_cast<int>(mcr::kFunctionCount),
              static_cast<int>(mcr::kWordCount - mcr::kFunctionCount), pending);
  for (const mcr::WordInfo& w : mcr::kWords) {
    std::string kinds;
    for (const char* p = w.params; *p; ++p) kinds += std::string(kinds.empty() ? "" : " ") + *p;
    bool function = w.kind == mcr::WordKind::Function;
    std::printf("%-18s %-8s %-16s %s%s\n", w.name, function ? "function" : "command",
                kinds.empty() ? "-" : kinds.c_str(), w.summary, w.ready ? "" : " (not available yet)");
  }
}

void PrintUsage() {
  std::printf(
      "usage: mcrhost [OPTIONS] [FILE.mac [ARGS...]]\n"
      "       mcrhost --help WORD | --words | --version | --selftest [FILE]\n"
      "\n"
      "Runs the macro FILE.mac with MCRPAK.dll loaded; without FILE, reads statements\n"
      "from standard input. ARGS reach the macro as _ARGC and _ARG1$, _ARG2$, ...\n"
      "\n"
      "  --trace             show every host operation of the library on stderr\n"
      "  --set NAME=VALUE    set a variable after the start-up macro (NAME$ for a string)\n"
      "  --startup FILE.mac  run FILE.mac first (the workstation's host variables)\n"
      "  --class NAME        window class of the main window (default \"ZT-KMR CP Class\")\n"
      "  --library PATH      the library to load (default: MCRPAK.dll beside mcrhost.exe)\n"
      "  --tasks LIST        stand-in task windows in the launcher's window: da, acq, gen,\n"
      "                      tune, inst, maint, tune:MODE, last (the tasks SaveLastTask kept)\n"
      "  --snapshot DIR      save each dialog and popup the library opens as DIR\\WORD.bmp\n"
      "                      (dialogs are then cancelled)\n"
      "  --timeout SECONDS   stop a macro (and each statement at the prompt) that runs longer\n"
      "  --version           the versions of mcrhost and of the library\n"
      "  --selftest [FILE]   try the library's words that need no workstation against known\n"
      "                      answers (or the checks of FILE), on files it writes in a\n"
      "                      temporary folder; the last line is the verdict (exit status 0\n"
      "                      passed, 1 failed)\n"
      "  --help WORD         usage of a word, a built-in function or a statement\n"
      "  --check FILE...     read the macros without running them and report what must\n"
      "                      fail or looks wrong, one line each: FILE:LINE:COL: error|warning:\n"
      "                      text (exit status 0 clean, 1 findings, 2 usage); --startup and\n"
      "                      --set name the variables set before the macro\n"
      "  --words             all words of the library\n"
      "\n"
      "Ctrl+C stops a running macro. Exit status: 0 the macro ran to its end, 1 a macro\n"
      "error, 2 a usage or syntax error, 3 the library could not be loaded, 4 the macro\n"
      "was stopped (Ctrl+C, --timeout).\n");
}

}  // namespace mcrhost
