#include "wordref.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace mcrref {

namespace {

constexpr std::string_view kIndent = "    ";  // example and prints lines in the entry file

std::string Trimmed(std::string_view s) {
  std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  std::size_t b = s.find_last_not_of(" \t\r");
  return std::string(s.substr(a, b - a + 1));
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

const char* const kFactLabels[] = {"gives", "sets", "does", "note", "required", "reads", "writes"};

// "a, b, c" -> {"a", "b", "c"}
std::vector<std::string> List(const std::string& text) {
  std::vector<std::string> out;
  std::string_view s(text);
  while (!s.empty()) {
    std::size_t comma = s.find(',');
    std::string item = Trimmed(s.substr(0, comma));
    if (!item.empty()) out.push_back(item);
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return out;
}

bool IsVariableName(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (std::size_t i = 1; i < s.size(); ++i)
    if (!(std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' || (s[i] == '$' && i + 1 == s.size())))
      return false;
  return true;
}

bool IsFactLabel(std::string_view label) {
  for (const char* l : kFactLabels)
    if (label == l) return true;
  return false;
}

bool ReachOf(std::string_view word, Reach* reach) {
  if (word == "error") *reach = Reach::Error;
  else if (word == "shown") *reach = Reach::Shown;
  else if (word == "notice") *reach = Reach::Notice;
  else return false;
  return true;
}

}  // namespace

const char* ReachText(Reach r) {
  switch (r) {
    case Reach::Error: return "error";
    case Reach::Shown: return "shown";
    case Reach::Notice: return "notice";
  }
  return "";
}

std::string Capitalised(const std::string& s) {
  std::string out = s;
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

std::string KindText(const mcr::WordInfo& w, const Entry* e, std::size_t i) {
  const std::string name = ParamNames(w)[i];
  auto listed = [&](const std::vector<std::string>& list) {
    return e && std::find(list.begin(), list.end(), name) != list.end();
  };
  switch (w.params[i]) {
    case 'N': return "a number";
    case 'S': return listed(e ? e->names : std::vector<std::string>()) ? "a string: the name of the variable to set"
                                                                      : "a string";
    default:
      if (e && e->options.count(name)) return "an option, a word written bare: " + e->options.at(name);
      return "a variable's name written bare, not its value";
  }
}

namespace {

// A table cell: a bar would end the cell.
std::string Cell(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string MessageText(const Message& m, const Catalogue& catalogue) {
  if (m.id == 0) return "";
  auto it = catalogue.find(m.id);
  return it == catalogue.end() ? "" : it->second;
}

std::string IdText(const Message& m) { return m.id ? std::to_string(m.id) : "-"; }

std::vector<std::string> ParamNames(const mcr::WordInfo& word) {
  std::vector<std::string> out;
  std::string_view s(word.paramNames);
  while (!s.empty()) {
    std::size_t comma = s.find(", ");
    out.emplace_back(s.substr(0, comma));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 2);
  }
  std::size_t count = std::string_view(word.params).size();
  if (out.size() != count) {
    out.clear();
    for (std::size_t i = 0; i < count; ++i) out.push_back("arg" + std::to_string(i + 1));
  }
  return out;
}

std::string Usage(const mcr::WordInfo& word) {
  std::string joined;
  for (const std::string& n : ParamNames(word)) joined += (joined.empty() ? "" : ", ") + n;
  if (word.kind == mcr::WordKind::Function) return std::string(word.name) + "(" + joined + ")";
  return std::string(word.name) + (joined.empty() ? "" : " " + joined);
}

std::string KindOfWord(const mcr::WordInfo& word) {
  if (word.kind == mcr::WordKind::Command) return "command";
  std::string_view name(word.name);
  // The names ending in $ give strings, and two words that do without the $.
  bool text = (!name.empty() && name.back() == '$') || name == "ScalarToHex" || name == "GetElemInfo";
  return text ? "function, gives a string" : "function, gives a number";
}

std::vector<Entry> ParseEntries(std::string_view text, std::vector<std::string>* problems) {
  std::vector<Entry> entries;
  std::vector<std::string>* block = nullptr;  // the indented block being read
  int lineNo = 0;
  auto problem = [&](const std::string& what) {
    problems->push_back("words.txt:" + std::to_string(lineNo) + ": " + what);
  };
  for (std::string_view line : Lines(text)) {
    ++lineNo;
    if (StartsWith(line, "#")) continue;
    if (block && (StartsWith(line, kIndent) || Trimmed(line).empty())) {
      block->emplace_back(line.size() > kIndent.size() ? line.substr(kIndent.size()) : std::string_view());
      continue;
    }
    if (block) {  // blank lines at the end of a block belong to no block
      while (!block->empty() && Trimmed(block->back()).empty()) block->pop_back();
      block = nullptr;
    }
    if (Trimmed(line).empty()) continue;
    if (StartsWith(line, "== ")) {
      entries.emplace_back();
      entries.back().name = Trimmed(line.substr(3));
      entries.back().line = lineNo;
      continue;
    }
    if (entries.empty()) {
      problem("text before the first \"== WORD\"");
      continue;
    }
    Entry& e = entries.back();
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      problem("expected \"label: text\", found \"" + std::string(line) + "\"");
      continue;
    }
    std::string head = Trimmed(line.substr(0, colon));
    std::string rest = Trimmed(line.substr(colon + 1));
    std::size_t blank = head.find(' ');
    Reach reach;
    if (blank != std::string::npos && ReachOf(head.substr(0, blank), &reach)) {
      std::string id = Trimmed(head.substr(blank + 1));
      char* end = nullptr;
      long value = id == "-" ? 0 : std::strtol(id.c_str(), &end, 10);
      if (id != "-" && (id.empty() || *end != '\0' || value < 1))
        problem("\"" + id + "\" is not a message number");
      else if (rest.empty())
        problem("message " + id + " of " + e.name + " says not when it comes");
      else
        e.messages.push_back({reach, static_cast<int>(value), rest});
    } else if (IsFactLabel(head)) {
      if (rest.empty()) problem(head + " of " + e.name + " is empty");
      e.facts.push_back({head, rest});
      if (head == "required" || head == "reads" || head == "writes") {
        std::vector<std::string>& list = head == "required" ? e.required : head == "reads" ? e.reads : e.writes;
        for (const std::string& item : List(rest)) {
          if (head != "required" && !IsVariableName(item)) problem("\"" + item + "\" is no variable name");
          list.push_back(item);
        }
      }
    } else if (head == "names") {
      e.names = List(rest);
    } else if (head == "option") {
      std::size_t eq = rest.find(" = ");
      if (eq == std::string::npos) problem("option of " + e.name + " takes \"PARAMETER = the words it takes\"");
      else e.options[Trimmed(std::string_view(rest).substr(0, eq))] = Trimmed(std::string_view(rest).substr(eq + 3));
    } else if (head == "example" || head == "prints") {
      std::vector<std::string>& target = head == "example" ? e.example : e.prints;
      if (!rest.empty() || !target.empty()) problem(head + " of " + e.name + " takes indented lines, once");
      block = &target;
    } else if (head == "run" || head == "try") {
      (head == "run" ? e.run : e.tryNote) = rest;
    } else {
      problem("unknown label \"" + head + "\"");
    }
  }
  if (block)
    while (!block->empty() && Trimmed(block->back()).empty()) block->pop_back();
  return entries;
}

void ReadSourceTree(const std::string& root, SourceTree* tree) {
  std::string texts[2];
  const char* names[2] = {"docs/src/words.txt", "mcrpak/resources/strings.rc"};
  for (int i = 0; i < 2; ++i) {
    std::ifstream in(root + "/" + names[i], std::ios::binary);
    if (!in) tree->problems.push_back("cannot read " + root + "/" + names[i]);
    texts[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (!tree->problems.empty()) return;
  tree->entries = ParseEntries(texts[0], &tree->problems);
  tree->catalogue = ParseCatalogue(texts[1]);
  tree->refs = Join(tree->entries, tree->catalogue, &tree->problems);
}

Catalogue ParseCatalogue(std::string_view rcText) {
  Catalogue out;
  for (std::string_view line : Lines(rcText)) {
    std::string t = Trimmed(line);
    std::size_t comma = t.find(',');
    if (t.empty() || t[0] < '0' || t[0] > '9' || comma == std::string::npos) continue;
    std::string rest = Trimmed(std::string_view(t).substr(comma + 1));
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') continue;
    std::string text;
    for (std::size_t i = 1; i + 1 < rest.size(); ++i) {
      text += rest[i];
      if (rest[i] == '"' && rest[i + 1] == '"') ++i;
    }
    out[std::atoi(t.c_str())] = text;
  }
  return out;
}

std::vector<Reference> Join(const std::vector<Entry>& entries, const Catalogue& catalogue,
                            std::vector<std::string>* problems) {
  std::map<std::string, const Entry*> byName;
  for (const Entry& e : entries) {
    auto at = "words.txt:" + std::to_string(e.line) + ": ";
    if (!byName.emplace(e.name, &e).second) problems->push_back(at + e.name + " has a second entry");
  }
  std::vector<Reference> refs;
  std::set<std::string> known;
  for (const mcr::WordInfo& w : mcr::kWords) {
    known.insert(w.name);
    auto it = byName.find(w.name);
    if (it == byName.end()) {
      problems->push_back(std::string("the word ") + w.name + " has no entry in words.txt");
      continue;
    }
    const Entry& e = *it->second;
    auto at = "words.txt:" + std::to_string(e.line) + ": " + e.name + ": ";
    bool gives = false, acts = false;
    for (const Fact& f : e.facts) {
      gives |= f.label == "gives";
      acts |= f.label == "sets" || f.label == "does";
    }
    if (w.kind == mcr::WordKind::Function && !gives) problems->push_back(at + "a function needs \"gives:\"");
    if (w.kind == mcr::WordKind::Command && !acts) problems->push_back(at + "a command needs \"sets:\" or \"does:\"");
    if (e.example.empty()) problems->push_back(at + "there is no example");
    std::vector<std::string> params = ParamNames(w);
    auto kindOf = [&](const std::string& p) -> char {
      auto it = std::find(params.begin(), params.end(), p);
      return it == params.end() ? 0 : w.params[it - params.begin()];
    };
    for (const std::string& p : e.required)
      if (!kindOf(p)) problems->push_back(at + "required: \"" + p + "\" is no parameter of the word");
    for (const std::string& p : e.names)
      if (kindOf(p) != 'S') problems->push_back(at + "names: \"" + p + "\" is no S parameter of the word");
    for (const auto& [p, text] : e.options)
      if (kindOf(p) != 'V') problems->push_back(at + "option: \"" + p + "\" is no V parameter of the word");
    for (const Message& m : e.messages)
      if (m.id && MessageText(m, catalogue).empty())
        problems->push_back(at + "message " + std::to_string(m.id) + " has no text in the catalogue");
    refs.push_back({&w, &e});
  }
  for (const Entry& e : entries)
    if (!known.count(e.name))
      problems->push_back("words.txt:" + std::to_string(e.line) + ": " + e.name + " is no word of the table");
  return refs;
}

std::string Plain(const Reference& ref, const Catalogue& catalogue) {
  static const Entry kNoEntry;
  const mcr::WordInfo& w = *ref.word;
  const Entry& e = ref.entry ? *ref.entry : kNoEntry;
  std::string out = Usage(w) + "    " + KindOfWord(w) + "\n  " + w.summary + "\n";
  std::vector<std::string> names = ParamNames(w);
  std::size_t width = 0;
  for (const std::string& n : names) width = n.size() > width ? n.size() : width;
  for (std::size_t i = 0; i < names.size(); ++i)
    out += "  " + names[i] + std::string(width - names[i].size(), ' ') + "  " + w.params[i] + "  " +
           KindText(w, ref.entry, i) + "\n";
  if (!w.ready) out += "  Not available in this build yet: calling it raises an error.\n";
  if (!ref.entry) return out;
  for (const Fact& f : e.facts) out += Capitalised(f.label) + ": " + f.text + "\n";
  out += "Messages:";
  if (e.messages.empty()) out += " none";
  out += "\n";
  for (const Message& m : e.messages) {
    std::string text = MessageText(m, catalogue);
    out += "  " + IdText(m) + " " + ReachText(m.reach) + (text.empty() ? "" : "  " + text) + "\n";
    out += "       " + m.when + "\n";
  }
  if (!e.run.empty()) out += "Run the example with: mcrhost " + e.run + "\n";
  out += "Example:\n";
  for (const std::string& l : e.example) out += "  " + l + "\n";
  if (!e.prints.empty()) {
    out += "prints:\n";
    for (const std::string& l : e.prints) out += "  " + l + "\n";
  }
  if (!e.tryNote.empty()) out += "To try it: " + e.tryNote + "\n";
  return out;
}

namespace {

std::string Anchor(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') out += c;
  }
  return out;
}

std::string MarkdownEntry(const Reference& ref, const Catalogue& catalogue) {
  const mcr::WordInfo& w = *ref.word;
  const Entry& e = *ref.entry;
  std::string out = "### " + std::string(w.name) + "\n\n";
  out += "`" + Usage(w) + "` — " + KindOfWord(w) + (w.ready ? "" : " — **not available in this build yet**") + "\n\n";
  out += Capitalised(w.summary) + ".\n\n";
  std::vector<std::string> names = ParamNames(w);
  if (!names.empty()) {
    out += "| parameter | kind |\n|---|---|\n";
    for (std::size_t i = 0; i < names.size(); ++i)
      out += "| " + names[i] + " | " + w.params[i] + ": " + Cell(KindText(w, &e, i)) + " |\n";
    out += "\n";
  }
  for (const Fact& f : e.facts) out += "**" + Capitalised(f.label) + ":** " + f.text + "\n\n";
  if (e.messages.empty()) {
    out += "**Messages:** none.\n\n";
  } else {
    out += "**Messages:**\n\n| id | text | reaches the macro as | when |\n|---|---|---|---|\n";
    for (const Message& m : e.messages) {
      std::string text = MessageText(m, catalogue);
      out += "| " + IdText(m) + " | " + (text.empty() ? "" : "`" + Cell(text) + "`") + " | " + ReachText(m.reach) +
             " | " + Cell(m.when) + " |\n";
    }
    out += "\n";
  }
  out += e.run.empty() ? "**Example:**\n\n" : "**Example** (run with `mcrhost " + e.run + "`):\n\n";
  out += "```\n";
  for (const std::string& l : e.example) out += l + "\n";
  out += "```\n\n";
  if (!e.prints.empty()) {
    out += "prints\n\n```\n";
    for (const std::string& l : e.prints) out += l + "\n";
    out += "```\n\n";
  }
  if (!e.tryNote.empty()) out += "To try it: " + e.tryNote + "\n\n";
  return out;
}

void Index(std::string& out, const std::vector<Reference>& refs, mcr::WordKind kind) {
  out += "| word | | summary |\n|---|---|---|\n";
  for (const Reference& r : refs)
    if (r.word->kind == kind)
      out += "| [" + std::string(r.word->name) + "](#" + Anchor(r.word->name) + ") | " +
             (r.word->ready ? "" : "not yet") + " | " + Cell(r.word->summary) + " |\n";
  out += "\n";
}

// A catalogue text's literal pieces between its inserts, its escapes read.
std::vector<std::string> LiteralPieces(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      pieces.back() += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
      pieces.back() += text[++i];
    } else if (c == '%') {
      while (i + 1 < text.size() && std::strchr("-+ #0123456789.lh", text[i + 1])) ++i;
      ++i;  // the conversion's letter
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

// The words of an option fact: "CREATE or APPEND (any letter case)",
// "DONTASK as the second argument, FILEONLY as the third"; none when the
// text says any word will do.
std::vector<std::string> OptionWords(const std::string& text) {
  std::string list = text.substr(0, text.find_first_of("(;"));
  for (std::size_t at; (at = list.find(" or ")) != std::string::npos;) list.replace(at, 4, ",");
  std::vector<std::string> words;
  for (const std::string& item : List(list)) {
    std::string word = item.substr(0, item.find(' '));
    if (!IsVariableName(word) || word.back() == '$' || (word.size() < item.size() && item.compare(word.size(), 4, " as ") != 0))
      return {};
    words.push_back(word);
  }
  return words;
}

}  // namespace

const Message* RaisedMessage(const Entry& entry, const Catalogue& catalogue, std::string_view raised) {
  const Message* best = nullptr;
  std::size_t bestLength = 0;
  for (const Message& m : entry.messages) {
    std::size_t at = 0, length = 0;
    bool found = true;
    for (const std::string& piece : LiteralPieces(MessageText(m, catalogue))) {
      std::size_t hit = raised.find(piece, at);
      if (hit == std::string_view::npos) {
        found = false;
        break;
      }
      at = hit + piece.size();
      length += piece.size();
    }
    if (found && length > bestLength) best = &m, bestLength = length;
  }
  return best;
}

std::string WhenText(const Message& m) {
  std::string out = m.when;
  for (std::size_t from = 0, open; (open = out.find(" (", from)) != std::string::npos;) {
    std::size_t close = out.find(')', open);
    if (close == std::string::npos) break;
    if (out.find('%', open) < close) out.erase(open, close + 1 - open);
    else from = close;
  }
  return out;
}

std::vector<mcrlang::CheckWord> CheckWords(const std::vector<Reference>& refs) {
  std::vector<mcrlang::CheckWord> out;
  for (const Reference& r : refs) {
    const mcr::WordInfo& w = *r.word;
    static const Entry kNone;
    const Entry& e = r.entry ? *r.entry : kNone;
    mcrlang::CheckWord c;
    c.name = w.name;
    c.function = w.kind == mcr::WordKind::Function;
    c.givesString = KindOfWord(w) == "function, gives a string";
    std::vector<std::string> names = ParamNames(w);
    for (std::size_t i = 0; i < names.size(); ++i) {
      auto in = [&](const std::vector<std::string>& list) {
        return std::find(list.begin(), list.end(), names[i]) != list.end();
      };
      auto option = e.options.find(names[i]);
      c.params.push_back({w.params[i], names[i], in(e.required), option != e.options.end(), in(e.names),
                          option != e.options.end() ? OptionWords(option->second) : std::vector<std::string>()});
    }
    c.reads = e.reads;
    c.writes = e.writes;
    out.push_back(std::move(c));
  }
  return out;
}

std::string Markdown(const std::vector<Reference>& refs, const Catalogue& catalogue) {
  std::string out =
      "# The words of MCRPAK\n\n"
      "<!-- Written by ./mcr docs from mcrpak/bridge/words.inc, docs/src/words.txt and the message\n"
      "     catalogue mcrpak/resources/strings.rc: change those, not this file. -->\n\n"
      "Every word the library adds to the macro language, in the order it registers them. "
      "`mcrhost --help WORD` prints the same entry. The language itself (statements, operators, "
      "numbers, text) is described in [language.md](language.md).\n\n"
      "How to read an entry:\n\n"
      "- The usage line shows a function with parentheses, as it is used in an expression, and a "
      "command as a statement.\n"
      "- Parameter kinds: N takes a number, S a string, V a name written bare: the variable the word "
      "sets or reads, or an option word such as DONTASK. An argument left out, or an empty place between "
      "commas, reaches the word as omitted; *Required* names the parameters without which the word "
      "fails.\n"
      "- *Reads* names the host variables the word reads (a workstation task's start-up macro sets them: "
      "`mcrhost --startup`), *Writes* the variables it sets under names of its own.\n"
      "- Messages are the library's own texts, in Japanese as the workstation shows them, with their "
      "numbers in the message catalogue; `\\n` stands for a line break and `%s`, `%d` are filled in as the "
      "last column says. An *error* is the macro's error: the macro stops there (mcrhost ends with status "
      "1). A *shown* message appears in a message box or through the host while the macro goes on; a "
      "*notice* is printed like `print` output. A message with no number is not from the catalogue.\n"
      "- Each example runs on the sample workstation after its start-up macro (`./mcr demo "
      "example.mac`, or `mcrhost --startup SAMPLE\\startup.mac example.mac`). The test command runs the "
      "example of every available word on a fresh sample and checks what it prints; a word that is not "
      "available in this build yet raises \"This word is not available in this build of MCRPAK.\" "
      "instead.\n\n"
      "## Functions\n\n";
  Index(out, refs, mcr::WordKind::Function);
  out += "## Commands\n\n";
  Index(out, refs, mcr::WordKind::Command);
  out += "## The words\n\n";
  for (const Reference& r : refs) out += MarkdownEntry(r, catalogue);
  out.pop_back();  // one line end at the end of the file
  return out;
}

}  // namespace mcrref
