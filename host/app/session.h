// The bridge between the macro language and the loaded library: words the
// library registered, argument conversion, output, tracing and the message
// pump that keeps the library's windows alive while macros run.
#pragma once
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "hostcore.h"
#include "check.h"
#include "lang.h"

namespace mcrhost {

// The macro text's conversions between UTF-8 and the ANSI code page that
// the library speaks (Shift-JIS): a character with no code there is
// refused, never replaced.
const mcrlang::Codec& MacroCodec();

class Session : public mcrlang::HostInterface {
 public:
  Session(Host& host, bool trace);

  const mcrlang::WordInfo* findWord(std::string_view name) override;
  std::vector<mcrlang::WordInfo> words() override;
  mcrlang::CallResult call(const mcrlang::WordInfo& word,
                           const std::vector<mcrlang::Arg>& args) override;
  void output(const std::string& utf8Line) override;
  void idle() override;
  void wait(double ms) override;
  std::string stopRequest() override { return stopCheck ? stopCheck() : std::string(); }

  // Asked before every statement: why the macro must stop, "" to go on.
  std::function<std::string()> stopCheck;

  // A host operation the library issued (wired to Host::onTrace).
  void traceOperation(const char* op, const std::string& detail, std::uint16_t status);
  // A line on stderr (UTF-8).
  void error(const std::string& utf8Line);
  // The word being called, "" between calls.
  const std::string& currentWord() const { return current_; }

  // Dialogs the host has cancelled so far (--snapshot), to explain an
  // empty error text.
  std::function<int()> dialogsCancelled;

  // Called before each trace line, so that what happened outside the host
  // operations meanwhile can be shown in its place.
  std::function<void()> beforeTraceLine;

 private:
  void refreshWords();
  void trace(const std::string& utf8Line);

  Host& host_;
  bool trace_;
  int depth_ = 0;  // word calls in progress, for indenting the trace
  std::string current_;
  std::map<std::string, mcrlang::WordInfo> words_;
  std::size_t wordsSeen_ = static_cast<std::size_t>(-1);
  unsigned long lastPump_ = 0;
};

}  // namespace mcrhost
