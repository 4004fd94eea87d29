// The journal of the data-analysis link's stand-in, as mcrhost's trace shows
// it: the calls the link received during a word, between the host
// operations of that word.
#pragma once
#include <string>
#include <vector>

namespace mcrhost {

class LinkJournal {
 public:
  // Starts at the journal's present end: only later calls are shown.
  LinkJournal();
  // The calls appended since the last look, one line each, in UTF-8.
  std::vector<std::string> Take();

 private:
  std::string path_;
  unsigned long long seen_ = 0;
};

}  // namespace mcrhost
