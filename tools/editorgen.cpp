// Lays out the editor extension for ./mcr to package: the hand-written files
// of editors/vscode (the manifest gets the project's version), and the
// grammar and word data written from the word table, docs/src/words.txt, the
// message catalogue and the language: `editorgen SOURCE_DIR OUT_DIR VERSION`.
// Ends with status 1, leaving no extension, when the reference's sources
// do not join.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor.h"
#include "lang.h"

namespace fs = std::filesystem;

namespace {

bool ReadFile(const fs::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: editorgen SOURCE_DIR OUT_DIR VERSION\n");
    return 2;
  }
  const fs::path root = argv[1], out = argv[2];
  const std::string version = argv[3];
  mcrref::SourceTree tree;
  mcrref::ReadSourceTree(root.string(), &tree);
  for (const std::string& p : tree.problems) std::fprintf(stderr, "%s\n", p.c_str());
  fs::remove_all(out);
  if (!tree.problems.empty()) return 1;

  mcrref::Language language;
  language.keywords = mcrlang::Keywords();
  for (const mcrlang::Builtin& b : mcrlang::Builtins()) language.builtins.push_back({b.name, b.usage, b.summary});
  bool ok = true;
  for (const auto& [name, text] : mcrref::EditorFiles(tree.refs, tree.catalogue, language)) ok &= WriteFile(out / name, text);

  const fs::path source = root / "editors/vscode";
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(source)) {
    if (!e.is_regular_file()) continue;
    std::string text;
    ok &= ReadFile(e.path(), &text);
    const fs::path relative = fs::relative(e.path(), source);
    if (relative == "package.json")
      for (std::size_t at; (at = text.find("@VERSION@")) != std::string::npos;) text.replace(at, 9, version);
    ok &= WriteFile(out / relative, text);
  }
  if (!ok) std::fprintf(stderr, "editorgen: cannot write the extension into %s\n", out.c_str());
  return ok ? 0 : 1;
}
