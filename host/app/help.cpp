#include "help.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "../../mcrpak/bridge/wordtable.h"
#include "lang.h"
#include "session.h"

namespace mcrhost {

namespace {

struct Statement {
  const char* name;
  const char* usage;
  const char* summary;
};

const Statement kStatements[] = {
    {"print", "print value, value, ...", "prints the values on one line, separated by a blank"},
    {"if", "if condition then / elseif condition then / else / endif",
     "runs the first block whose condition is not 0"},
    {"while", "while condition / wend", "repeats the block while the condition is not 0"},
    {"exit", "exit", "ends the macro (status 0)"},
    {"dim", "dim name[size]", "makes name a table of size numbers, all 0, numbered from 1"},
    {"wait", "wait milliseconds", "lets time pass while windows (popups) stay alive"},
};

std::string Upper(std::string_view s) { return VarStore::Key(s); }

std::vector<std::string> SplitNames(const char* names) {
  std::vector<std::string> out;
  std::string_view s(names);
  while (!s.empty()) {
    std::size_t comma = s.find(", ");
    out.emplace_back(s.substr(0, comma));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 2);
  }
  return out;
}

const char* KindText(char letter) {
  switch (letter) {
    case 'N': return "N  a number";
    case 'S': return "S  a string";
    default: return "V  a name written bare, not a value (as a rule the variable to set)";
  }
}

void PrintWord(const mcr::WordInfo& w) {
  bool function = w.kind == mcr::WordKind::Function;
  std::string params(w.params);
  std::vector<std::string> names = SplitNames(w.paramNames);
  if (names.size() != params.size()) {
    names.clear();
    for (std::size_t i = 0; i < params.size(); ++i) names.push_back("arg" + std::to_string(i + 1));
  }
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? ", " : "") + names[i];
  std::string head = function ? std::string(w.name) + "(" + joined + ")"
                              : std::string(w.name) + (joined.empty() ? "" : " " + joined);
  std::string what = function ? (GivesString(w.name) ? "function, gives a string" : "function, gives a number")
                              : "command";
  std::printf("%s    %s\n  %s\n", head.c_str(), what.c_str(), w.summary);
  std::size_t width = 0;
  for (const std::string& n : names) width = n.size() > width ? n.size() : width;
  for (std::size_t i = 0; i < names.size(); ++i)
    std::printf("  %-*s  %s\n", static_cast<int>(width), names[i].c_str(), KindText(params[i]));
  if (!w.ready) std::printf("  Not available in this build yet: calling it raises an error.\n");
}

}  // namespace

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
  for (const Statement& s : kStatements)
    if (Upper(s.name) == key) {
      std::printf("%s    statement\n  %s\n", s.usage, s.summary);
      return true;
    }
  return false;
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
      "       mcrhost --help WORD | --words\n"
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
      "  --help WORD         usage of a word, a built-in function or a statement\n"
      "  --words             all words of the library\n"
      "\n"
      "Exit status: 0 the macro ran to its end, 1 a macro error, 2 a usage or syntax\n"
      "error, 3 the library could not be loaded.\n");
}

}  // namespace mcrhost
