// Reads `objdump -p` of a module on standard input and checks
//   - the library's export table against the word and export tables: every
//     name undecorated, at its ordinal, and nothing else exported;
//   - its imports against an allow-list, when one is named: every imported
//     function must be listed, so that a new import is a decision;
//   - that the workstation's own modules are imported by ordinal only.
// exportcheck [--imports-only] [ALLOW_LIST]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "bridge/wordtable.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// Lines "DLL FUNCTION" (or "DLL @ORDINAL"); # starts a comment. DLL names
// compare without regard to case.
bool ReadAllowList(const char* path, std::set<std::string>* allowed) {
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string dll, function;
    if (words >> dll >> function) allowed->insert(Lower(dll) + " " + function);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool importsOnly = argc > 1 && std::strcmp(argv[1], "--imports-only") == 0;
  const char* allowPath = argc > (importsOnly ? 2 : 1) ? argv[importsOnly ? 2 : 1] : nullptr;
  std::set<std::string> allowed;
  if (allowPath && !ReadAllowList(allowPath, &allowed)) {
    std::printf("cannot read the import allow-list %s\n", allowPath);
    return 1;
  }

  std::map<int, std::string> expected;
  for (const auto& w : mcr::kWords) expected[w.ordinal] = w.exportName;
  for (const auto& e : mcr::kOtherExports) expected[e.ordinal] = e.name;

  // The name pointer table lists "[index] name" with index = ordinal - base.
  // Imports of the workstation's modules must be by ordinal ("<none>").
  std::regex baseLine(R"(^Ordinal Base\s+(\d+))");
  std::regex nameRow(R"(^\s*\[\s*(\d+)\]\s+(\S+)\s*$)");
  std::regex dllLine(R"(^\s*DLL Name:\s*(\S+))");
  std::regex importRow(R"(^\s*[0-9a-f]+\s+([0-9]+)\s+(\S+))");
  std::map<int, std::string> found;
  int base = -1;
  bool inNames = false;
  std::string dll;
  int namedImports = 0, unlisted = 0, imports = 0;
  std::string line;
  std::smatch m;
  while (std::getline(std::cin, line)) {
    if (std::regex_search(line, m, baseLine)) base = std::stoi(m[1]);
    if (line.find("[Ordinal/Name Pointer] Table") != std::string::npos) {
      inNames = true;
      continue;
    }
    if (inNames && std::regex_match(line, m, nameRow)) {
      found[std::stoi(m[1]) + base] = m[2];
      continue;
    }
    inNames = false;
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
      dll.clear();
    } else if (std::regex_search(line, m, dllLine)) {
      dll = m[1];
    } else if (!dll.empty() && std::regex_search(line, m, importRow)) {
      bool byOrdinal = m[2] == "<none>";
      std::string function = byOrdinal ? "@" + m[1].str() : m[2].str();
      ++imports;
      if ((dll == "dlgframe.dll" || dll == "anlink.dll") && !byOrdinal) {
        std::printf("%s imported by name: %s\n", dll.c_str(), line.c_str());
        ++namedImports;
      }
      if (allowPath && !allowed.count(Lower(dll) + " " + function)) {
        std::printf("import not in %s: %s %s\n", allowPath, dll.c_str(), function.c_str());
        ++unlisted;
      }
    }
  }
  if (allowPath) std::printf("%d imports checked, %d not in the allow-list\n", imports, unlisted);
  if (importsOnly) return unlisted == 0 && namedImports == 0 && imports > 0 ? 0 : 1;

  int errors = namedImports + unlisted;
  for (const auto& [ord, name] : expected) {
    auto it = found.find(ord);
    if (it == found.end()) {
      std::printf("missing: %s @%d\n", name.c_str(), ord);
      ++errors;
    } else if (it->second != name) {
      std::printf("ordinal %d exports %s, expected %s\n", ord, it->second.c_str(), name.c_str());
      ++errors;
    }
  }
  for (const auto& [ord, name] : found)
    if (!expected.count(ord)) {
      std::printf("unexpected export: %s @%d\n", name.c_str(), ord);
      ++errors;
    }
  std::printf("%zu exports checked, %d problems\n", expected.size(), errors);
  return errors == 0 && !found.empty() ? 0 : 1;
}
