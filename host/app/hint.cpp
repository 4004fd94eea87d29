#include "hint.h"

#include <windows.h>

#include <algorithm>

#include "help.h"
#include "hostcore.h"

namespace mcrhost {

namespace {

// "a", "a and b", "a, b and c"
std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return out;
}

bool IsFolder(const std::string& ansiPath) {
  DWORD a = GetFileAttributesA(ansiPath.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The outermost folder of path (itself a folder when isFolder) that does
// not exist, "" when its folders do.
std::string MissingFolder(const std::string& ansiPath, bool isFolder) {
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(ansiPath.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return "";
  std::string folder(full, n);
  if (!isFolder) folder.erase(folder.find_last_of("\\/") + 1);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  std::string missing;
  while (!folder.empty() && !IsFolder(folder + "\\")) {
    missing = folder;
    std::size_t cut = folder.find_last_of("\\/");
    if (cut == std::string::npos) break;
    folder.erase(cut);
  }
  return missing.empty() ? "" : missing + "\\";
}

// Parameters that take a file or a folder, by their names in the word table.
bool TakesPath(const std::string& param) {
  for (const char* part : {"path", "file", "dir", "source", "destination", "batch", "method", "standard"})
    if (param.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

std::string FailureHint(const mcrlang::WordInfo& word, const std::vector<mcrlang::Arg>& args,
                        const std::string& errorUtf8, const VarStore& vars) {
  const mcrref::Reference* ref = WordReference(word.name);
  if (!ref || !ref->entry) return "";
  std::vector<std::string> parts;
  std::vector<std::string> unset;
  for (const std::string& v : ref->entry->reads)
    if (!vars.find(v)) unset.push_back(v);
  if (!unset.empty()) {
    bool one = unset.size() == 1;
    parts.push_back(Joined(unset) + (one ? " is" : " are") + " not set; " + word.name + " reads " + (one ? "it" : "them") +
                    ", and a start-up macro sets " + (one ? "it" : "them") + ": mcrhost --startup FILE.mac");
  }
  const mcrref::Message* m = mcrref::RaisedMessage(*ref->entry, WordCatalogue(), errorUtf8);
  if (!m && errorUtf8.rfind("failed with status", 0) == 0) {  // no text: the entry's one failure without a text
    int without = 0;
    for (const mcrref::Message& other : ref->entry->messages)
      if (other.id == 0 && other.reach == mcrref::Reach::Error) m = &other, ++without;
    if (without != 1) m = nullptr;
  }
  if (m) parts.push_back(word.name + " says this when " + mcrref::WhenText(*m));
  std::vector<std::string> params = mcrref::ParamNames(*ref->word), omitted;
  for (const std::string& r : ref->entry->required) {
    std::size_t i = std::find(params.begin(), params.end(), r) - params.begin();
    if (i >= args.size() || args[i].kind == mcrlang::Arg::Kind::Omitted) omitted.push_back(r);
  }
  if (!omitted.empty()) parts.push_back("the call leaves out " + Joined(omitted) + ", which " + word.name + " needs");
  for (std::size_t i = 0; i < args.size() && i < params.size(); ++i) {
    if (args[i].kind != mcrlang::Arg::Kind::String || args[i].text.empty() || !TakesPath(params[i])) continue;
    bool folder = params[i].find("dir") != std::string::npos;
    std::string missing = MissingFolder(args[i].text, folder);
    if (!missing.empty()) parts.push_back("the folder " + AnsiToUtf8(missing) + " of " + params[i] + " does not exist");
  }
  if (parts.empty()) return "mcrhost --help " + word.name + " lists what " + word.name + " needs and the messages it raises";
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
  return out;
}

}  // namespace mcrhost
