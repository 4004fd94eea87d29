#include "editor.h"

#include <set>

namespace mcrref {

namespace {

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);  // UTF-8 passes as it is
    }
  }
  return out + "\"";
}

// Names are letters, digits, "_" and a final "$"; "$" is the only one a
// regular expression reads as more than itself.
std::string RegexName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '$' || c == '.') out += '\\';
    out += c;
  }
  return out;
}

// A name of the language is whole when no name character touches it, a
// final "$" included ("Left$" is no word inside "xLeft$", "len" none in "len$").
std::string WholeNames(const std::vector<std::string>& names) {
  std::string alternatives;
  for (const std::string& n : names) alternatives += (alternatives.empty() ? "" : "|") + RegexName(n);
  return "(?i)(?<![\\w$])(?:" + alternatives + ")(?![\\w$])";
}

std::string Rule(const std::string& name, const std::string& match) {
  return "{ \"name\": " + Json(name) + ", \"match\": " + Json(match) + " }";
}

std::string Grammar(const std::vector<Reference>& refs, const Language& language) {
  // The keywords by role; one the language adds later counts as control flow.
  const std::set<std::string> operators = {"and", "or", "not"}, statements = {"print", "dim", "wait"};
  std::vector<std::string> control, operatorWords, statementWords, builtins, functions, commands;
  for (const std::string& k : language.keywords)
    (operators.count(k) ? operatorWords : statements.count(k) ? statementWords : control).push_back(k);
  for (const Language::Function& f : language.builtins) builtins.push_back(f.name);
  for (const Reference& r : refs)
    (r.word->kind == mcr::WordKind::Function ? functions : commands).push_back(r.word->name);

  std::vector<std::pair<std::string, std::string>> repository = {
      {"comment", Rule("comment.line.apostrophe.mcr", "'.*$")},
      // Closed by a quote that does not start a doubled one; a string left
      // open ends with its line, as the language says.
      {"string",
       "{ \"name\": \"string.quoted.double.mcr\", \"begin\": \"\\\"\", \"end\": \"\\\"(?!\\\")|$\",\n"
       "      \"patterns\": [" + Rule("constant.character.escape.quote.mcr", "\"\"") + "] }"},
      {"continuation", Rule("punctuation.separator.continuation.mcr", "(?<![\\w$])_(?=[ \\t]*(?:'.*)?$)")},
      {"number", Rule("constant.numeric.mcr", "(?<![\\w$.])(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?(?![\\w$.])")},
      {"control", Rule("keyword.control.mcr", WholeNames(control))},
      {"operator-word", Rule("keyword.operator.word.mcr", WholeNames(operatorWords))},
      {"statement", Rule("keyword.other.statement.mcr", WholeNames(statementWords))},
      {"builtin", Rule("support.function.builtin.mcr", WholeNames(builtins))},
      {"word-function", Rule("support.function.word.mcr", WholeNames(functions))},
      {"word-command", Rule("support.function.command.mcr", WholeNames(commands))},
      {"string-variable", Rule("variable.other.string.mcr", "(?<![\\w$])[A-Za-z_]\\w*\\$")},
      {"variable", Rule("variable.other.mcr", "(?<![\\w$])[A-Za-z_]\\w*(?![\\w$])")},
      {"operator", Rule("keyword.operator.mcr", "<>|<=|>=|[=<>&+\\-*/]")},
  };
  std::string out =
      "{\n"
      "  \"$comment\": \"Written by tools/editorgen from mcrpak/bridge/words.inc and the language (host/lang): "
      "do not edit.\",\n"
      "  \"name\": \"MCR macro\",\n  \"scopeName\": \"source.mcr\",\n  \"fileTypes\": [\"mac\"],\n"
      "  \"patterns\": [";
  for (std::size_t i = 0; i < repository.size(); ++i)
    out += std::string(i ? ", " : "") + "{ \"include\": \"#" + repository[i].first + "\" }";
  out += "],\n  \"repository\": {\n";
  for (std::size_t i = 0; i < repository.size(); ++i)
    out += "    " + Json(repository[i].first) + ": " + repository[i].second + (i + 1 < repository.size() ? ",\n" : "\n");
  return out + "  }\n}\n";
}

// A word's hover: what `mcrhost --help WORD` says, as Markdown.
std::string Hover(const Reference& ref, const Catalogue& catalogue) {
  const mcr::WordInfo& w = *ref.word;
  std::string out = "```mcr\n" + Usage(w) + "\n```\n" + KindOfWord(w) + ": " + w.summary + "\n\n";
  if (!w.ready) out += "*Not available in this build yet: calling it raises an error.*\n\n";
  std::vector<std::string> names = ParamNames(w);
  for (std::size_t i = 0; i < names.size(); ++i)
    out += "- `" + names[i] + "` " + w.params[i] + ": " + KindText(w, ref.entry, i) + "\n";
  if (!names.empty()) out += "\n";
  const Entry& e = *ref.entry;
  for (const Fact& f : e.facts) out += "**" + Capitalised(f.label) + ":** " + f.text + "\n\n";
  if (!e.messages.empty()) out += "**Messages:**\n\n";
  for (const Message& m : e.messages) {
    const std::string text = MessageText(m, catalogue);
    out += "- " + IdText(m) + " *" + ReachText(m.reach) + "* " + (text.empty() ? "" : "`" + text + "` ") + "— " +
           m.when + "\n";
  }
  if (!e.messages.empty()) out += "\n";
  out += "**Example**" + (e.run.empty() ? std::string() : " (mcrhost " + e.run + ")") + ":\n\n```mcr\n";
  for (const std::string& l : e.example) out += l + "\n";
  out += "```\n";
  if (!e.prints.empty()) {
    out += "prints\n\n```text\n";
    for (const std::string& l : e.prints) out += l + "\n";
    out += "```\n";
  }
  return out;
}

// The parameter names of a built-in's usage: "line$(file$, number)".
std::vector<std::string> UsageParams(const std::string& usage) {
  std::vector<std::string> out;
  std::size_t open = usage.find('('), close = usage.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return out;
  std::string inner = usage.substr(open + 1, close - open - 1);
  for (std::size_t at = 0; at <= inner.size();) {
    std::size_t comma = inner.find(", ", at);
    if (comma == std::string::npos) comma = inner.size();
    if (comma > at) out.push_back(inner.substr(at, comma - at));
    at = comma + 2;
  }
  return out;
}

std::string Item(const std::string& name, const std::string& kind, const std::string& snippet,
                 const std::string& detail, const std::string& doc) {
  return "    { \"name\": " + Json(name) + ", \"kind\": " + Json(kind) + ", \"snippet\": " + Json(snippet) +
         ",\n      \"detail\": " + Json(detail) + ",\n      \"doc\": " + Json(doc) + " }";
}

}  // namespace

std::string Snippet(const std::string& name, bool function, const std::vector<std::string>& params) {
  auto escaped = [](const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '$' || c == '}' || c == '\\') out += '\\';
      out += c;
    }
    return out;
  };
  std::string out = escaped(name) + (function ? "(" : params.empty() ? "" : " ");
  for (std::size_t i = 0; i < params.size(); ++i)
    out += (i ? ", " : "") + std::string("${") + std::to_string(i + 1) + ":" + escaped(params[i]) + "}";
  return out + (function ? ")" : "");
}

std::map<std::string, std::string> EditorFiles(const std::vector<Reference>& refs, const Catalogue& catalogue,
                                               const Language& language) {
  std::vector<std::string> items;
  for (const Reference& r : refs) {
    bool function = r.word->kind == mcr::WordKind::Function;
    items.push_back(Item(r.word->name, function ? "function" : "command",
                         Snippet(r.word->name, function, ParamNames(*r.word)),
                         Usage(*r.word) + " — " + r.word->summary, Hover(r, catalogue)));
  }
  for (const Language::Function& f : language.builtins)
    items.push_back(Item(f.name, "builtin", Snippet(f.name, true, UsageParams(f.usage)), f.usage,
                         "```mcr\n" + f.usage + "\n```\nbuilt-in function of the language: " + f.summary + "\n"));
  for (const std::string& k : language.keywords) items.push_back(Item(k, "keyword", k, "keyword", ""));
  std::string words =
      "{\n  \"$comment\": \"Written by tools/editorgen from mcrpak/bridge/words.inc, docs/src/words.txt, "
      "mcrpak/resources/strings.rc and the language (host/lang): do not edit.\",\n  \"items\": [\n";
  for (std::size_t i = 0; i < items.size(); ++i) words += items[i] + (i + 1 < items.size() ? ",\n" : "\n");
  words += "  ]\n}\n";
  return {{"syntaxes/mcr.tmLanguage.json", Grammar(refs, language)}, {"words.json", words}};
}

}  // namespace mcrref
