// The macro writer's reference: usage of one word (or statement or
// built-in function) and the list of all words, from the library's word
// table, without loading the library.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "wordref.h"

namespace mcrhost {

// A text compiled into mcrhost (mcrhost.rc: the reference's sources, the
// self-test's checks); empty when there is none.
std::string_view Resource(const char* name);

// Prints the usage of name; false when there is no such word.
bool PrintWordHelp(const std::string& name);
void PrintWordList();
void PrintUsage();
// The nearest name of a word, statement or built-in function, "" when none
// is near: for "did you mean ...?".
std::string NearestHelpName(const std::string& name);
// The word's entry of the reference and the message catalogue; null when
// there is no such word.
const mcrref::Reference* WordReference(const std::string& name);
const mcrref::Catalogue& WordCatalogue();
// Every word with the reference's facts about it (its parameters, the host
// variables it reads and writes), read once from the reference compiled in.
const std::vector<mcrlang::CheckWord>& WordFacts();

}  // namespace mcrhost
