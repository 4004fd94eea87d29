// Reads `objdump -p` of a module on standard input (for the library followed
// by `objdump -d`) and checks
//   - the library's export table against the word and export tables: every
//     name undecorated, at its ordinal, and nothing else exported;
//   - how each of the library's exports returns: the 32-bit build cannot run
//     here, so a handler or callback compiled with the wrong calling
//     convention would pass every runtime test and unbalance the caller's
//     stack on the workstation. Word handlers leave the arguments to their
//     caller (a plain `ret`); the host entry and the window, dialog and
//     system callbacks remove theirs (`ret N`, N the bytes of exports.inc);
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
#include <vector>

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

using Address = unsigned long long;

struct Instruction {
  Address at;
  std::string mnemonic;
  std::string operands;
};

struct Disassembly {
  std::map<Address, std::string> labels;  // function symbols by address
  std::vector<Instruction> code;          // in address order
};

// The instructions of the function that starts at the label at or before
// `at`: up to the next label.
std::pair<std::size_t, std::size_t> FunctionRange(const Disassembly& d, Address at) {
  auto next = d.labels.upper_bound(at);
  Address start = std::prev(next)->first;
  Address end = next == d.labels.end() ? ~0ull : next->first;
  auto lower = [&](Address a) {
    std::size_t lo = 0, hi = d.code.size();
    while (lo < hi) {
      std::size_t mid = (lo + hi) / 2;
      if (d.code[mid].at < a) lo = mid + 1; else hi = mid;
    }
    return lo;
  };
  return {lower(start), lower(end)};
}

// One line of `objdump -d`: "  addr:\tbytes\tmnemonic operands" or
// "addr <symbol>:". Read by hand: the disassembly has a hundred thousand
// lines and a regular expression per line would take most of a minute.
bool ReadCodeLine(const std::string& line, Disassembly& d) {
  std::size_t p = line.find_first_not_of(' ');
  if (p == std::string::npos) return false;
  std::size_t hexEnd = line.find_first_not_of("0123456789abcdef", p);
  if (hexEnd == p || hexEnd == std::string::npos) return false;
  Address at = std::stoull(line.substr(p, hexEnd - p), nullptr, 16);
  if (p == 0 && line.compare(hexEnd, 2, " <") == 0 && line.size() > hexEnd + 4 &&
      line.compare(line.size() - 2, 2, ">:") == 0) {
    d.labels[at] = line.substr(hexEnd + 2, line.size() - hexEnd - 4);
    return true;
  }
  if (line.compare(hexEnd, 2, ":\t") != 0) return false;
  std::size_t text = line.find('\t', hexEnd + 2);
  if (text == std::string::npos) return true;  // continued instruction bytes
  std::size_t space = line.find_first_of(" \t", text + 1);
  std::string mnemonic = line.substr(text + 1, space == std::string::npos ? std::string::npos : space - text - 1);
  std::size_t ops = space == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", space);
  d.code.push_back({at, mnemonic, ops == std::string::npos ? "" : line.substr(ops)});
  return true;
}

// Bytes a `ret` removes: 0 for a plain one, -1 when the instruction is no return.
long RetBytes(const Instruction& i) {
  std::string m = i.mnemonic, ops = i.operands;
  if ((m == "repz" || m == "rep" || m == "bnd") && ops.rfind("ret", 0) == 0) {
    m = "ret";
    ops = ops.substr(3);
  }
  if (m != "ret" && m != "retl") return -1;
  std::size_t dollar = ops.find('$');
  return dollar == std::string::npos ? 0 : std::stol(ops.substr(dollar + 1), nullptr, 16);
}

// Collects every return reachable from the export without a call: its own
// body, and the functions it jumps into (a tail call, or the cold part the
// compiler moved out of line), which return to the export's caller.
void CollectReturns(const Disassembly& d, Address entry, std::set<Address>& visited,
                    std::vector<std::pair<Address, long>>& returns) {
  if (d.labels.empty() || entry < d.labels.begin()->first) return;
  auto [from, to] = FunctionRange(d, entry);
  if (from >= to || !visited.insert(d.code[from].at).second) return;
  static const std::regex direct(R"(^([0-9a-f]+) <)");
  for (std::size_t k = from; k < to; ++k) {
    const Instruction& i = d.code[k];
    long bytes = RetBytes(i);
    if (bytes >= 0) returns.push_back({i.at, bytes});
    std::smatch m;
    if (i.mnemonic == "jmp" && std::regex_search(i.operands, m, direct)) {
      Address target = std::stoull(m[1], nullptr, 16);
      if (target < d.code[from].at || (to < d.code.size() && target >= d.code[to].at))
        CollectReturns(d, target, visited, returns);
    }
  }
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

  struct Expected {
    std::string name;
    long stackBytes;  // removed by the export itself
  };
  std::map<int, Expected> expected;
  for (const auto& w : mcr::kWords) expected[w.ordinal] = {w.exportName, 0};
  for (const auto& e : mcr::kOtherExports) expected[e.ordinal] = {e.name, e.stackBytes};

  // The name pointer table lists "[index] name" with index = ordinal - base;
  // the address table "[index] +base[ordinal] rva". Imports of the
  // workstation's modules must be by ordinal ("<none>").
  std::regex baseLine(R"(^Ordinal Base\s+(\d+))");
  std::regex imageBase(R"(^ImageBase\s+([0-9a-fA-F]+))");
  std::regex addressRow(R"(^\s*\[\s*\d+\]\s+\+base\[\s*(\d+)\]\s+([0-9a-f]+)\s+Export RVA)");
  std::regex nameRow(R"(^\s*\[\s*(\d+)\]\s+(\S+)\s*$)");
  std::regex dllLine(R"(^\s*DLL Name:\s*(\S+))");
  std::regex importRow(R"(^\s*[0-9a-f]+\s+([0-9]+)\s+(\S+))");
  std::map<int, std::string> found;
  std::map<int, Address> rvas;
  Address image = 0;
  Disassembly code;
  int base = -1;
  bool inNames = false;
  std::string dll;
  int namedImports = 0, unlisted = 0, imports = 0;
  std::string line;
  std::smatch m;
  while (std::getline(std::cin, line)) {
    if (ReadCodeLine(line, code)) continue;
    if (std::regex_search(line, m, baseLine)) base = std::stoi(m[1]);
    if (std::regex_search(line, m, imageBase)) image = std::stoull(m[1], nullptr, 16);
    if (std::regex_search(line, m, addressRow)) rvas[std::stoi(m[1])] = std::stoull(m[2], nullptr, 16);
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
  for (const auto& [ord, want] : expected) {
    auto it = found.find(ord);
    if (it == found.end()) {
      std::printf("missing: %s @%d\n", want.name.c_str(), ord);
      ++errors;
    } else if (it->second != want.name) {
      std::printf("ordinal %d exports %s, expected %s\n", ord, it->second.c_str(), want.name.c_str());
      ++errors;
    }
  }
  for (const auto& [ord, name] : found)
    if (!expected.count(ord)) {
      std::printf("unexpected export: %s @%d\n", name.c_str(), ord);
      ++errors;
    }
  std::size_t returnsChecked = 0;
  if (code.code.empty()) {
    std::printf("no disassembly on the input\n");
    ++errors;
  } else {
    for (const auto& [ord, want] : expected) {
      auto rva = rvas.find(ord);
      if (rva == rvas.end()) continue;  // reported as missing above
      Address entry = image + rva->second;
      if (!code.labels.count(entry)) {
        std::printf("%s: no function symbol at its address %llx\n", want.name.c_str(), entry);
        ++errors;
        continue;
      }
      std::set<Address> visited;
      std::vector<std::pair<Address, long>> returns;
      CollectReturns(code, entry, visited, returns);
      if (returns.empty()) {
        std::printf("%s: no return instruction found\n", want.name.c_str());
        ++errors;
      }
      for (const auto& [at, bytes] : returns) {
        ++returnsChecked;
        if (bytes == want.stackBytes) continue;
        std::printf("%s: returns with `ret %ld` at %llx, its caller expects `ret %ld`\n",
                    want.name.c_str(), bytes, at, want.stackBytes);
        ++errors;
      }
    }
  }
  std::printf("%zu exports checked, %zu returns checked, %d problems\n", expected.size(), returnsChecked,
              errors);
  return errors == 0 && !found.empty() ? 0 : 1;
}
