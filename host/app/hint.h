// The line mcrhost writes under a word's failure: what the word reference
// says of the message it raised, and what the call lacked that the host
// can see (a host variable not set, a folder that does not exist).
#pragma once
#include <string>
#include <vector>

#include "lang.h"
#include "vars.h"

namespace mcrhost {

// "" when there is nothing to add.
std::string FailureHint(const mcrlang::WordInfo& word, const std::vector<mcrlang::Arg>& args,
                        const std::string& errorUtf8, const VarStore& vars);

}  // namespace mcrhost
