// mcrhost --selftest: the library tried on any PC before it goes to a
// workstation. The checks (selftest.txt, compiled in) call the words that
// need no workstation against answers known in advance, on files the
// self-test writes itself in a temporary folder; one verdict line ends it.
#pragma once
#include <string>

namespace mcrhost {

// Runs the checks against the library at path (UTF-8), those compiled in or
// those of checkFile when it is not empty; 0 when every check passed,
// 1 when one failed, 3 when the library cannot be loaded.
int RunSelfTest(const std::string& library, const std::string& checkFile);

}  // namespace mcrhost
