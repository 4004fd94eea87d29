// The editor's knowledge of the macro language, written from the same
// sources as the word reference: a TextMate grammar (the language's
// keywords and built-in functions, the library's words) and the data the
// extension's script offers as completions and hovers (each word's usage,
// parameter names, messages and example). tools/editorgen writes them into
// the extension the build packages; nobody edits them by hand.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "wordref.h"

namespace mcrref {

// What the language itself provides (mcrlang: Keywords(), Builtins()).
struct Language {
  struct Function {
    std::string name, usage, summary;
  };
  std::vector<std::string> keywords;  // lower case
  std::vector<Function> builtins;
};

// File name inside the extension -> contents: "syntaxes/mcr.tmLanguage.json"
// and "words.json".
std::map<std::string, std::string> EditorFiles(const std::vector<Reference>& refs, const Catalogue& catalogue,
                                               const Language& language);

// A completion snippet: the name, then the parameters as numbered
// placeholders, "$", "}" and "\" escaped: "Left\$(${1:text}, ${2:count})".
std::string Snippet(const std::string& name, bool function, const std::vector<std::string>& params);

}  // namespace mcrref
