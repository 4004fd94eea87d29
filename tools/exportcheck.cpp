// Reads `objdump -p` of the library on standard input and checks its export
// table against the word and export tables: every name undecorated, at its
// ordinal, and nothing else exported.
#include <cstdio>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "bridge/wordtable.h"

int main() {
  std::map<int, std::string> expected;
  for (const auto& w : mcr::kWords) expected[w.ordinal] = w.exportName;
  for (const auto& e : mcr::kOtherExports) expected[e.ordinal] = e.name;

  // The name pointer table lists "[index] name" with index = ordinal - base.
  // Imports of the workstation's modules must be by ordinal ("<none>").
  std::regex baseLine(R"(^Ordinal Base\s+(\d+))");
  std::regex nameRow(R"(^\s*\[\s*(\d+)\]\s+(\S+)\s*$)");
  std::regex dllLine(R"(^\s*DLL Name:\s*(\S+))");
  std::regex importRow(R"(^\s*[0-9a-f]+\s+[0-9a-f]+\s+(\S+))");
  std::map<int, std::string> found;
  int base = -1;
  bool inNames = false;
  std::string dll;
  int namedImports = 0;
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
    } else if ((dll == "dlgframe.dll" || dll == "anlink.dll") &&
               std::regex_search(line, m, importRow) && m[1] != "<none>") {
      std::printf("%s imported by name: %s\n", dll.c_str(), line.c_str());
      ++namedImports;
    }
  }

  int errors = namedImports;
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
