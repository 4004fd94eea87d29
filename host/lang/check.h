// mcrhost --check: a macro read without running it, for the mistakes that
// are certain before it runs. Platform-free: the words come in as data
// (the word table joined with the word reference, see mcrref::CheckWords).
#pragma once
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"

namespace mcrlang {

struct CheckParam {
  char kind = 'S';             // N, S or V as the word table has it
  std::string name;            // as the word table names it
  bool required = false;       // leaving it out makes the word fail
  bool option = false;         // V: a bare option word, not a variable
  bool namesVariable = false;  // S: the name of a variable the word sets
  std::vector<std::string> options;  // the option words it knows; none: any word
};

struct CheckWord {
  std::string name;
  bool function = false;
  bool givesString = false;
  std::vector<CheckParam> params;
  std::vector<std::string> reads;   // host variables the word reads
  std::vector<std::string> writes;  // variables the word sets by their fixed names
};

struct Finding {
  int line = 0;
  int column = 0;
  bool error = true;  // else a warning
  std::string text;
};

// Names of variables and how they are set: compared without letter case; a
// '#' in a name stands for one or more digits ("_ARG#$"), a '*' at its end
// for anything.
class NameSet {
 public:
  enum How : unsigned {
    kAssigned = 1,  // by name = value, which keeps the kind the name gives
    kDimmed = 2,    // made a table by dim
    kByWord = 4,    // by a word, which may put there what it likes
  };
  void add(std::string_view name, unsigned how = kAssigned);
  bool has(std::string_view name) const { return how(name) != 0; }
  // The ways name is set, 0 when it is not.
  unsigned how(std::string_view name) const;
  // The closest name of the set within a typing slip, "" when none is.
  std::string nearest(std::string_view name) const;

 private:
  struct Entry {
    std::string written;  // as first written
    unsigned how = 0;
  };
  std::map<std::string, Entry> exact_;  // by key
  std::map<std::string, unsigned> patterns_;
};

// names and the variables a macro assigns (a start-up macro's, for the
// macro after it). source is a macro file's bytes, in either encoding.
NameSet Assigned(std::string_view source, const std::vector<CheckWord>& words, NameSet names = {});

// Findings in source order, columns in characters. preset: variables set
// before the macro runs (its start-up macro's, --set, the host's own);
// codec: how its strings reach the words.
std::vector<Finding> Check(std::string_view source, const std::vector<CheckWord>& words, const NameSet& preset,
                           const Codec& codec = kIdentityCodec);

// The candidate closest to name within a typing slip (letter case aside),
// "" when none is close: for "did you mean ...?".
std::string Nearest(std::string_view name, const std::vector<std::string>& candidates);

}  // namespace mcrlang
