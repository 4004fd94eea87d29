// The examples of docs/language.md, as both the language's run and the
// checker read them: the macro files of the ```mcr blocks before a ```text
// block (named by a first line "' NAME.mac", else example.mac), the command
// line of the text block's "$ mcrhost ..." line (else example.mac), and what
// the rest of the block shows: standard output, standard error, "[status N]"
// unless the status is 0.
#pragma once
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace mcrtest {

struct LanguageExample {
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  std::string shows;
  int line;  // where the text block ends
};

inline std::vector<LanguageExample> LanguageExamples(const std::string& doc) {
  std::vector<LanguageExample> examples;
  std::map<std::string, std::string> files;
  std::istringstream in(doc);
  std::string fence, body;
  int line = 0;
  for (std::string text; std::getline(in, text);) {
    ++line;
    if (fence.empty()) {
      if (text.rfind("```", 0) == 0) fence = text.substr(3), body.clear();
      continue;
    }
    if (text != "```") {
      body += text + "\n";
      continue;
    }
    const std::size_t end = body.find('\n');
    if (fence == "mcr") {
      const bool named = body.rfind("' ", 0) == 0 && end > 6 && body.compare(end - 4, 4, ".mac") == 0;
      files[named ? body.substr(2, end - 2) : "example.mac"] = body;
    } else if (fence == "text" && !files.empty()) {
      LanguageExample e{std::move(files), {"example.mac"}, body, line};
      if (body.rfind("$ mcrhost", 0) == 0) {
        std::istringstream words(body.substr(9, end - 9));
        e.args.assign(std::istream_iterator<std::string>(words), {});
        e.shows.erase(0, end + 1);
      }
      examples.push_back(std::move(e));
      files.clear();
    }
    fence.clear();
  }
  return examples;
}

}  // namespace mcrtest
