// The macro writer's reference: usage of one word (or statement or
// built-in function) and the list of all words, from the library's word
// table, without loading the library.
#pragma once
#include <string>

namespace mcrhost {

// Prints the usage of name; false when there is no such word.
bool PrintWordHelp(const std::string& name);
void PrintWordList();
void PrintUsage();

}  // namespace mcrhost
