// The word reference: the word table joined with each word's entry (what it
// gives or sets, the messages it can raise, an example) and with the
// message catalogue's texts. docs/words.md is rendered from it as Markdown
// and `mcrhost --help WORD` prints one entry as plain text, so both say the
// same. Platform-free: it works on the texts of the entry file and of the
// catalogue's resource script, both UTF-8.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/wordtable.h"
#include "check.h"

namespace mcrref {

// How a word lets a message reach the macro writer.
enum class Reach {
  Error,   // raised as the macro's error: the macro stops
  Shown,   // shown in a message box or by the host; the macro goes on
  Notice,  // printed like print output; the macro goes on
};

struct Message {
  Reach reach = Reach::Error;
  int id = 0;  // 0: a text that is not the catalogue's (the note says which)
  std::string when;
};

// A labelled line of the entry: "gives", "sets", "does", "note", or one of
// the lists "required" (parameters), "reads" and "writes" (variables).
struct Fact {
  std::string label;
  std::string text;
};

struct Entry {
  std::string name;
  int line = 0;  // in the entry file, for messages about it
  std::vector<Fact> facts;
  std::vector<Message> messages;
  std::vector<std::string> example;  // macro lines
  std::vector<std::string> prints;   // what the example prints, when fixed
  std::string run;                   // mcrhost options the example needs ("DIR": a folder)
  std::string tryNote;               // how to try it where the example cannot answer by itself
  // The lists of the facts "required", "reads", "writes" and "names".
  std::vector<std::string> required, reads, writes, names;
  // "option: PARAM = what": a V parameter that takes a bare option word.
  std::map<std::string, std::string> options;
};

// Catalogue id -> text as written in the resource script (\n and \t stay
// escapes, "" is one quote).
using Catalogue = std::map<int, std::string>;

struct Reference {
  const mcr::WordInfo* word = nullptr;
  const Entry* entry = nullptr;
};

// Parses the entry file; problems are appended as "words.txt:LINE: ...".
std::vector<Entry> ParseEntries(std::string_view text, std::vector<std::string>* problems);
Catalogue ParseCatalogue(std::string_view rcText);

// Joins the word table with the entries in table order. Every word needs
// one entry, every entry one word, every message id a catalogue text.
std::vector<Reference> Join(const std::vector<Entry>& entries, const Catalogue& catalogue,
                            std::vector<std::string>* problems);

// The reference of a source tree as the tools read it: docs/src/words.txt
// and the catalogue's resource script under root, joined with the word
// table; problems has what is unreadable, missing or wrong. refs point into
// entries, so a tree stays where it was read.
struct SourceTree {
  std::vector<Entry> entries;
  Catalogue catalogue;
  std::vector<Reference> refs;
  std::vector<std::string> problems;
};
void ReadSourceTree(const std::string& root, SourceTree* tree);

// The whole reference as Markdown (docs/words.md).
std::string Markdown(const std::vector<Reference>& refs, const Catalogue& catalogue);
// One entry as plain text (mcrhost --help WORD); without an entry, only
// what the word table says.
std::string Plain(const Reference& ref, const Catalogue& catalogue);

// The usage line: "Left$(text, count)" or "GetToken text, separator, ...".
std::string Usage(const mcr::WordInfo& word);
// "function, gives a string", "function, gives a number" or "command".
std::string KindOfWord(const mcr::WordInfo& word);
// The parameter names of the word table, or arg1, arg2 ... when they do not fit.
std::vector<std::string> ParamNames(const mcr::WordInfo& word);
// The pieces of an entry as every form of the reference words them: what
// parameter i takes (by its kind and the entry's facts, entry may be null),
// how a message reaches the macro, a message's catalogue text ("" for none)
// and its id ("-" for none), a label with its first letter in capitals.
std::string KindText(const mcr::WordInfo& word, const Entry* entry, std::size_t i);
const char* ReachText(Reach reach);
std::string MessageText(const Message& m, const Catalogue& catalogue);
std::string IdText(const Message& m);
std::string Capitalised(const std::string& s);

// The message of the entry whose catalogue text a raised text shows, its
// inserts (%s, %d ...) filled in and other text around it; the longest
// such text wins. Null when none does.
const Message* RaisedMessage(const Entry& entry, const Catalogue& catalogue, std::string_view raisedUtf8);
// The entry's words for when a message comes, without the notes on its
// inserts: "the source does not exist, or ...".
std::string WhenText(const Message& m);

// What the checker (and mcrhost's hints) know of each word: the word
// table's kinds with the entries' parameter and variable facts.
std::vector<mcrlang::CheckWord> CheckWords(const std::vector<Reference>& refs);

}  // namespace mcrref
