#include "editor.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "keywords.h"

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
std::string WholeNames(const std::vector<std::string>& names, bool anyCase = true) {
  std::string alternatives;
  for (const std::string& n : names) alternatives += (alternatives.empty() ? "" : "|") + RegexName(n);
  return std::string(anyCase ? "(?i)" : "") + "(?<![\\w$])(?:" + alternatives + ")(?![\\w$])";
}

// The option words of a word's parameter, from its entry's "option" line:
// "CREATE or APPEND", "Comment, Operator ... (any letter case)", "DONTASK as
// the second argument, FILEONLY as the third". A word said to go to another
// argument is not this one's; "any word; it plays no part" lists none.
struct OptionList {
  std::vector<std::string> words;
  bool anyCase = false;
};

OptionList Options(const Entry* entry, const std::string& param, std::size_t index) {
  OptionList out;
  if (!entry || !entry->options.count(param)) return out;
  const std::string& text = entry->options.at(param);
  out.anyCase = text.find("any letter case") != std::string::npos;
  std::vector<std::string> tokens(1);
  for (char c : text.substr(0, text.find('('))) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') tokens.back() += c;
    else if (!tokens.back().empty()) tokens.emplace_back();
  }
  static const std::vector<std::string> kPlaces = {"first", "second", "third", "fourth", "fifth", "sixth"};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].empty() || !std::isupper(static_cast<unsigned char>(tokens[i][0]))) continue;
    bool placed = i + 3 < tokens.size() && tokens[i + 1] == "as" && tokens[i + 2] == "the";
    auto place = placed ? std::find(kPlaces.begin(), kPlaces.end(), tokens[i + 3]) : kPlaces.end();
    if (place == kPlaces.end() || static_cast<std::size_t>(place - kPlaces.begin()) == index)
      out.words.push_back(tokens[i]);
  }
  return out;
}

// The option words of all of a word's parameters.
OptionList WordOptions(const Reference& ref) {
  OptionList out{{}, true};
  const std::vector<std::string> names = ParamNames(*ref.word);
  for (std::size_t i = 0; i < names.size(); ++i) {
    OptionList o = Options(ref.entry, names[i], i);
    for (const std::string& w : o.words)
      if (std::find(out.words.begin(), out.words.end(), w) == out.words.end()) out.words.push_back(w);
    out.anyCase &= o.words.empty() || o.anyCase;
  }
  return out;
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

  // A word that takes option words opens a rule of its own, to the end of
  // its statement, in which they read as options and not as variables. The
  // editor hands each line over with its line feed: a continuation takes it,
  // so that the rule's end, a line end not just after one, waits for the
  // next line.
  std::string optionRules;
  for (const Reference& r : refs) {
    OptionList o = WordOptions(r);
    if (o.words.empty()) continue;
    std::string inside = Rule("constant.language.option.mcr", WholeNames(o.words, o.anyCase));
    for (const char* rule : {"string", "continued-line", "number", "operator-word", "builtin", "word-function",
                             "string-variable", "variable", "operator"})
      inside += std::string(", { \"include\": \"#") + rule + "\" }";
    optionRules += std::string(optionRules.empty() ? "" : ",\n") + "        { \"begin\": " +
                   Json(WholeNames({r.word->name})) + ", \"beginCaptures\": { \"0\": { \"name\": " +
                   Json(r.word->kind == mcr::WordKind::Function ? "support.function.word.mcr"
                                                                : "support.function.command.mcr") +
                   " } },\n          \"end\": " + Json(R"((?=')|(?<!\n)$)") + ", \"patterns\": [" + inside + "] }";
  }
  std::vector<std::pair<std::string, std::string>> repository = {
      {"word-options", "{ \"patterns\": [\n" + optionRules + "\n      ] }"},
      {"comment", Rule("comment.line.apostrophe.mcr", "'.*$")},
      // Closed by a quote that does not start a doubled one; a string left
      // open ends with its line, as the language says.
      {"string",
       "{ \"name\": \"string.quoted.double.mcr\", \"begin\": \"\\\"\", \"end\": \"\\\"(?!\\\")|$\",\n"
       "      \"patterns\": [" + Rule("constant.character.escape.quote.mcr", "\"\"") + "] }"},
      {"continuation", Rule("punctuation.separator.continuation.mcr", "(?<![\\w$])_(?=[ \\t]*(?:'.*)?$)")},
      {"continued-line", "{ \"match\": " + Json(R"((?<![\w$])(_)[ \t]*('.*)?\n)") +
                             ", \"captures\": { \"1\": { \"name\": \"punctuation.separator.continuation.mcr\" }, "
                             "\"2\": { \"name\": \"comment.line.apostrophe.mcr\" } } }"},
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
  std::string top;
  for (const auto& [name, rule] : repository)
    if (name != "continued-line") top += std::string(top.empty() ? "" : ", ") + "{ \"include\": \"#" + name + "\" }";
  out += top;
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

std::string JsonList(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : ", ") + Json(s);
  return "[" + out + "]";
}

// A completion item; usage is the label of its signature help, params (JSON)
// what that help and the completion of its arguments need of each parameter.
std::string Item(const std::string& name, const std::string& kind, const std::string& snippet,
                 const std::string& detail, const std::string& doc, const std::string& usage = "",
                 const std::string& params = "", const std::vector<std::string>& writes = {}) {
  std::string out = "    { \"name\": " + Json(name) + ", \"kind\": " + Json(kind) + ", \"snippet\": " +
                    Json(snippet) + ",\n      \"detail\": " + Json(detail) + ",\n      \"doc\": " + Json(doc);
  if (!usage.empty()) out += ",\n      \"usage\": " + Json(usage) + ", \"params\": [" + params + "]";
  if (!writes.empty()) out += ",\n      \"writes\": " + JsonList(writes);
  return out + " }";
}

// A word's parameters for the extension: each one's name and what it takes
// (as the reference words it), the option words it takes, and whether its
// argument names a variable, bare or as a string's text, that the word may set.
std::string WordParams(const Reference& ref) {
  const mcr::WordInfo& w = *ref.word;
  const std::vector<std::string> names = ParamNames(w);
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Entry* e = ref.entry;
    out += std::string(i ? ",\n        " : "\n        ") + "{ \"name\": " + Json(names[i]) +
           ", \"doc\": " + Json(KindText(w, e, i));
    if (e && e->options.count(names[i]))
      out += ", \"options\": " + JsonList(Options(e, names[i], i).words);
    else if (w.params[i] == 'V')
      out += ", \"variable\": \"bare\"";
    else if (e && std::find(e->names.begin(), e->names.end(), names[i]) != e->names.end())
      out += ", \"variable\": \"quoted\"";
    out += " }";
  }
  return out;
}

// A keyword's hover: its line of mcrhost --help.
std::string KeywordDoc(const std::string& keyword) {
  for (const KeywordHelp& k : kKeywordHelp)
    if (keyword == k.name) return "```mcr\n" + std::string(k.usage) + "\n```\n" + k.kind + ": " + k.summary + "\n";
  return "";
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
                         Usage(*r.word) + " — " + r.word->summary, Hover(r, catalogue), Usage(*r.word),
                         WordParams(r), r.entry ? r.entry->writes : std::vector<std::string>()));
  }
  for (const Language::Function& f : language.builtins) {
    std::string params;
    for (const std::string& p : UsageParams(f.usage)) params += (params.empty() ? "" : ", ") + std::string("{ \"name\": ") + Json(p) + " }";
    items.push_back(Item(f.name, "builtin", Snippet(f.name, true, UsageParams(f.usage)), f.usage,
                         "```mcr\n" + f.usage + "\n```\nbuilt-in function of the language: " + f.summary + "\n",
                         f.usage, params));
  }
  for (const std::string& k : language.keywords) items.push_back(Item(k, "keyword", k, "keyword", KeywordDoc(k)));
  std::string words =
      "{\n  \"$comment\": \"Written by tools/editorgen from mcrpak/bridge/words.inc, docs/src/words.txt, "
      "mcrpak/resources/strings.rc and the language (host/lang): do not edit.\",\n  \"items\": [\n";
  for (std::size_t i = 0; i < items.size(); ++i) words += items[i] + (i + 1 < items.size() ? ",\n" : "\n");
  words += "  ]\n}\n";
  return {{"syntaxes/mcr.tmLanguage.json", Grammar(refs, language)}, {"words.json", words}};
}

}  // namespace mcrref
