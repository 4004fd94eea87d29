// What each keyword of the language does, in a line: mcrhost --help prints
// it and the editor shows it on hover. A keyword the language gains needs a
// line here (tests/editors/editor_test.cpp holds the two lists together).
#pragma once

namespace mcrref {

struct KeywordHelp {
  const char* name;  // lower case, as mcrlang::Keywords() has it
  const char* usage;
  const char* kind;  // "statement" or "operator"
  const char* summary;
};

inline constexpr KeywordHelp kKeywordHelp[] = {
    {"print", "print value, value, ...", "statement", "prints the values on one line, separated by a blank"},
    {"if", "if condition then / elseif condition then / else / endif", "statement",
     "runs the first block whose condition is not 0"},
    {"then", "if condition then / elseif condition then", "statement", "ends the condition of if and elseif"},
    {"elseif", "elseif condition then", "statement",
     "the next condition of an if, tried when those before it were 0"},
    {"else", "else", "statement", "starts the block an if runs when none of its conditions held"},
    {"endif", "endif", "statement", "closes the blocks of an if"},
    {"while", "while condition / wend", "statement", "repeats the block while the condition is not 0"},
    {"wend", "wend", "statement", "closes the block of a while, which goes back to its condition"},
    {"exit", "exit", "statement", "ends the macro (status 0)"},
    {"dim", "dim name[size]", "statement", "makes name a table of size numbers, all 0, numbered from 1"},
    {"wait", "wait milliseconds", "statement", "lets time pass while windows (popups) stay alive"},
    {"and", "a and b", "operator", "1 when both are not 0, else 0; b is not evaluated when a is 0"},
    {"or", "a or b", "operator", "1 when either is not 0, else 0; b is not evaluated when a is not 0"},
    {"not", "not a", "operator", "1 for 0, else 0; it takes a whole comparison: not a = b is not (a = b)"},
};

}  // namespace mcrref
