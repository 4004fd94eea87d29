// Writes docs/words.md from the word table, docs/src/words.txt and the
// message catalogue: `wordref SOURCE_DIR` (./mcr docs). Ends with status 1,
// writing nothing, when an entry is missing or wrong.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "wordref.h"

namespace {

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wordref SOURCE_DIR\n");
    return 2;
  }
  const std::string root = argv[1];
  std::string entriesText, rcText;
  if (!ReadFile(root + "/docs/src/words.txt", &entriesText) ||
      !ReadFile(root + "/mcrpak/resources/strings.rc", &rcText)) {
    std::fprintf(stderr, "wordref: cannot read docs/src/words.txt or mcrpak/resources/strings.rc under %s\n",
                 root.c_str());
    return 1;
  }
  std::vector<std::string> problems;
  std::vector<mcrref::Entry> entries = mcrref::ParseEntries(entriesText, &problems);
  mcrref::Catalogue catalogue = mcrref::ParseCatalogue(rcText);
  std::vector<mcrref::Reference> refs = mcrref::Join(entries, catalogue, &problems);
  for (const std::string& p : problems) std::fprintf(stderr, "%s\n", p.c_str());
  if (!problems.empty()) return 1;
  std::ofstream out(root + "/docs/words.md", std::ios::binary);
  out << mcrref::Markdown(refs, catalogue);
  return out ? 0 : 1;
}
