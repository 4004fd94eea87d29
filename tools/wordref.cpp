// Writes docs/words.md from the word table, docs/src/words.txt and the
// message catalogue: `wordref SOURCE_DIR` (./mcr docs). Ends with status 1,
// writing nothing, when an entry is missing or wrong.
#include <cstdio>
#include <fstream>

#include "wordref.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wordref SOURCE_DIR\n");
    return 2;
  }
  mcrref::SourceTree tree;
  mcrref::ReadSourceTree(argv[1], &tree);
  for (const std::string& p : tree.problems) std::fprintf(stderr, "%s\n", p.c_str());
  if (!tree.problems.empty()) return 1;
  std::ofstream out(std::string(argv[1]) + "/docs/words.md", std::ios::binary);
  out << mcrref::Markdown(tree.refs, tree.catalogue);
  return out ? 0 : 1;
}
