// The command processor's side of the library protocol: it loads the
// library, connects, takes the registrations, calls words with argument
// lists built from values, and answers every host operation. Used by
// mcrhost.exe and by the tests.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../../mcrpak/bridge/boundary.h"
#include "vars.h"

namespace mcrhost {

struct Value {
  bool isString = false;
  double number = 0;
  std::string text;  // ANSI
  static Value Num(double v) { return Value{false, v, {}}; }
  static Value Str(std::string v) { return Value{true, 0, std::move(v)}; }
};
using Arg = std::optional<Value>;

struct Word {
  std::string name;
  bool function = false;
  std::vector<std::uint8_t> kinds;
  std::uint8_t kindBytesSeen[8] = {};  // the kind array as it stood, leftovers included
  mcr::FunctionHandler functionHandler = nullptr;
  mcr::CommandHandler commandHandler = nullptr;
  std::uint32_t recordZeros = 0;  // sum of a command record's two reserved fields
};

struct Raised {
  std::uint16_t kind;
  std::string text;  // ANSI
};

struct Outcome {
  std::uint16_t status = 0;
  std::optional<Value> result;  // functions only, when the handler set one
  std::vector<Raised> raised;
  // The first kind-1 text, if any.
  const std::string* error() const;
};

struct HostOptions {
  std::string windowClass = "ZT-KMR CP Class";
  // The module the window belongs to (its class is registered for it);
  // null for the program itself.
  HINSTANCE instance = nullptr;
  bool showWindow = true;
  // A window of another host to use as this host's main window (a second
  // connection of the same command processor); it stays its owner's.
  HWND sharedWindow = nullptr;
  // Without a main window GetHostWindow fails, as in a task that has none.
  bool createWindow = true;
  // Refuse registration number refuseAt (0-based, functions first) with this status.
  int refuseAt = -1;
  std::uint16_t refuseStatus = 0;
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // LoadLibrary, connect (code 2) and register (code 3). Returns the status
  // of the first step that failed, 0 on success; error receives a reason.
  std::uint16_t open(const char* libraryPath, std::string* error = nullptr);
  // Disconnect (code 6) and release the library; safe to call twice.
  void close();
  std::uint16_t server(std::uint32_t code);  // OOCPSRV with this connection
  // Releases the library without disconnecting, as a process that ends
  // with its connection still open.
  void abandon();
  // Registrations the library offered, the refused one included.
  int offered() const { return registrations_; }

  const Word* find(const std::string& name) const;
  const std::vector<Word>& words() const { return words_; }
  Outcome call(const Word& word, const std::vector<Arg>& args);
  Outcome call(const std::string& name, const std::vector<Arg>& args);

  VarStore& vars() { return vars_; }
  HWND window() const { return window_; }
  // GetHostWindow operations answered with no window (there is none).
  int windowRefusals() const { return windowRefusals_; }
  HMODULE library() const { return library_; }
  mcr::HostContext context() const { return context_; }
  bool busy() const { return busy_; }
  std::uint32_t helpTopic() const { return helpTopic_; }
  const std::vector<std::string>& shown() const { return shown_; }
  void clearShown() { shown_.clear(); }

  // Called for every host operation: its name, a short description of its
  // arguments and its status.
  std::function<void(const char* op, const std::string& detail, std::uint16_t status)> onTrace;
  // Called for ShowMessage and kind-0 texts (ANSI).
  std::function<void(const std::string& text)> onShow;

  // Dispatches window messages for about ms milliseconds.
  void pump(DWORD ms);

  static std::uint16_t MCR_CALLEE Callback(std::uintptr_t cookie, std::uint32_t op,
                                          std::uintptr_t a1, std::uintptr_t a2);

 private:
  std::uint16_t dispatch(std::uint32_t op, std::uintptr_t a1, std::uintptr_t a2,
                         std::string* detail);
  mcr::HostHandle handleFor(void* p);

  HostOptions options_;
  HWND window_ = nullptr;
  HMODULE library_ = nullptr;
  mcr::OocpsrvEntry entry_ = nullptr;
  mcr::HostContext context_ = nullptr;
  std::vector<Word> words_;
  std::map<std::string, std::size_t> index_;
  int registrations_ = 0;
  VarStore vars_;
  bool busy_ = false;
  std::uint32_t helpTopic_ = 0;
  std::vector<std::string> shown_;
  int windowRefusals_ = 0;

  // Handles of the call in progress (arguments and the result slot).
  std::map<mcr::HostHandle, void*> handles_;
  mcr::HostHandle nextHandle_ = 0x1000;
  Outcome* current_ = nullptr;
  mcr::HostHandle resultHandle_ = 0;
};

// Conversions at the edges: macro files and output are UTF-8, the library
// and the variables speak the ANSI code page.
std::string Utf8ToAnsi(const std::string& text);
std::string AnsiToUtf8(const std::string& text);

const char* OpName(std::uint32_t op);

}  // namespace mcrhost
