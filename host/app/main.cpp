// mcrhost: the command processor on the developer's desk. It loads the
// library the way a workstation task does, runs macro files or statements
// typed at a prompt, and keeps its window's messages flowing meanwhile.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "help.h"
#include "hostcore.h"
#include "lang.h"
#include "linkjournal.h"
#include "selftest.h"
#include "session.h"
#include "snapshot.h"
#include "stop.h"
#include "tasks.h"
#include "version.h"
#include "winsync.h"

namespace {

using namespace mcrhost;

enum ExitCode { kOk = 0, kMacroError = 1, kUsage = 2, kNoLibrary = 3 };

const mcrlang::Codec& kCodec = MacroCodec();

std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

struct Options {
  bool trace = false;
  std::vector<std::pair<std::string, std::string>> sets;  // UTF-8
  std::string startup;
  std::string windowClass = "ZT-KMR CP Class";
  std::string library;
  std::string snapshots;  // folder for --snapshot, or empty
  std::string tasks;  // --tasks
  bool version = false;  // --version: print the versions, run nothing
  bool check = false;    // --check: read the macros, run nothing
  bool selftest = false;  // --selftest: the library's checks, no macro
  double timeout = 0;    // --timeout, seconds; 0: none
  std::optional<std::string> macro;  // none: the prompt
  std::vector<std::string> args;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "mcrhost: %s\n(mcrhost --help shows the options)\n", message.c_str());
  return kUsage;
}

bool IsName(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (std::size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '$' && i + 1 == s.size()) break;
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

// A number as a macro would write it, with an optional sign.
bool IsNumber(const std::string& s) {
  if (s.empty() || s.find_first_not_of("+-0123456789.eE") != std::string::npos) return false;
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end && *end == '\0' && !std::isspace(static_cast<unsigned char>(s[0]));
}

// Returns an exit code when the command line is answered without running
// anything (help) or is wrong.
std::optional<int> ParseOptions(const std::vector<std::string>& argv, Options& o) {
  std::size_t i = 1;
  auto value = [&]() -> std::optional<std::string> {
    if (i + 1 >= argv.size()) return std::nullopt;
    return argv[++i];
  };
  for (; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) break;
    if (a == "--trace") {
      o.trace = true;
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--selftest") {
      o.selftest = true;
    } else if (a == "--timeout") {
      auto v = value();
      char* end = nullptr;
      o.timeout = v ? std::strtod(v->c_str(), &end) : 0;
      if (!v || v->empty() || *end != '\0' || !(o.timeout > 0 && o.timeout <= 1e6))
        return UsageError("--timeout needs a number of seconds above 0");
    } else if (a == "--words") {
      PrintWordList();
      return kOk;
    } else if (a == "--help" || a == "-h") {
      if (i + 1 >= argv.size()) {
        PrintUsage();
        return kOk;
      }
      const std::string& word = argv[i + 1];
      if (PrintWordHelp(word)) return kOk;
      std::string nearest = NearestHelpName(word);
      return UsageError("there is no word named " + word + (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
                        " (mcrhost --words lists them)");
    } else if (a == "--set") {
      auto v = value();
      std::size_t eq = v ? v->find('=') : std::string::npos;
      if (eq == std::string::npos) return UsageError("--set needs NAME=VALUE");
      std::string name = v->substr(0, eq), text = v->substr(eq + 1);
      if (!IsName(name)) return UsageError("--set: \"" + name + "\" is not a variable name");
      if (name.back() != '$' && !IsNumber(text))
        return UsageError("--set: " + name + " holds numbers, and \"" + text +
                          "\" is not one (string variables end with $)");
      o.sets.emplace_back(name, text);
    } else if (a == "--startup" || a == "--class" || a == "--library" || a == "--snapshot" || a == "--tasks") {
      auto v = value();
      if (!v || v->empty()) return UsageError(a + " needs a value");
      std::string& target = a == "--startup" ? o.startup
                            : a == "--class" ? o.windowClass
                            : a == "--library" ? o.library
                            : a == "--snapshot" ? o.snapshots
                                                : o.tasks;
      target = *v;
    } else {
      return UsageError("unknown option " + a);
    }
  }
  if (!o.tasks.empty())
    if (std::optional<std::string> why = CheckTaskList(o.tasks, o.windowClass)) return UsageError(*why);
  if (i < argv.size()) {
    o.macro = argv[i++];
    o.args.assign(argv.begin() + static_cast<std::ptrdiff_t>(i), argv.end());
  }
  return std::nullopt;
}

struct Macro {
  std::string name;  // as given, for messages
  std::shared_ptr<const mcrlang::Program> program;
};

bool ReadSource(const std::string& path, std::string* source) {
  FILE* f = _wfopen(ToWide(path).c_str(), L"rb");
  if (!f) return false;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) source->append(buffer, n);
  std::fclose(f);
  return true;
}

// Reads and parses a whole macro file, in either encoding, before anything
// runs.
std::optional<Macro> LoadMacro(const std::string& path, int* exitCode) {
  std::string source;
  if (!ReadSource(path, &source)) {
    *exitCode = UsageError("cannot read the macro file " + path);
    return std::nullopt;
  }
  mcrlang::ParseResult p = mcrlang::Parse(source, kCodec, 1, mcrlang::SourceEncoding(source));
  if (p.error) {
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), p.error->line, p.error->message.c_str());
    *exitCode = kUsage;
    return std::nullopt;
  }
  return Macro{path, p.program};
}

// The error's line, and the hint under it.
void ShowError(Session& session, const std::string& source, const mcrlang::Error& e) {
  session.error(source + ":" + std::to_string(e.line) + ": " + e.message);
  if (!e.hint.empty()) session.error("hint: " + e.hint);
}

int Run(mcrlang::Interpreter& in, Session& session, Host& host, StopControl& stop, const Macro& m) {
  stop.begin();
  mcrlang::RunResult r = in.run(*m.program);
  stop.end();
  host.server(mcr::kCodeMacroEnded);
  if (r.status != mcrlang::RunStatus::Failed && r.status != mcrlang::RunStatus::Stopped) return kOk;
  ShowError(session, m.name, r.error);
  return r.status == mcrlang::RunStatus::Stopped ? kStoppedStatus : kMacroError;
}

// Standard input, read on a thread of its own so that the main thread can
// keep dispatching window messages while the user thinks.
class LineReader {
 public:
  LineReader() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    CloseHandle(StartThread([this] { read(); }));
  }

  // Nothing at the end of the input, or once interrupt is signalled.
  std::optional<std::string> next(Host& host, HANDLE interrupt) {
    const HANDLE events[] = {event_, interrupt};
    while (true) {
      if (WaitForSingleObject(interrupt, 0) == WAIT_OBJECT_0) return std::nullopt;
      {
        Locked hold(lock_);
        if (!lines_.empty()) {
          std::string line = std::move(lines_.front());
          lines_.pop_front();
          return line;
        }
        if (eof_) return std::nullopt;
      }
      MsgWaitForMultipleObjects(2, events, FALSE, INFINITE, QS_ALLINPUT);
      host.pump(0);
    }
  }

 private:
  // Plain ReadFile rather than the C library: a thread blocked inside
  // fgets holds the stream's lock, and the library's exit would wait for it.
  void read() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char chunk[4096];
    DWORD n = 0;
    while (ReadFile(in, chunk, sizeof chunk, &n, nullptr) && n > 0) {
      for (DWORD i = 0; i < n; ++i) {
        if (chunk[i] != '\n') {
          line += chunk[i];
          continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        push(std::move(line), false);
        line.clear();
      }
    }
    push(std::move(line), true);
  }
  void push(std::string line, bool eof) {
    {
      Locked hold(lock_);
      if (!eof || !line.empty()) lines_.push_back(std::move(line));
      eof_ = eof_ || eof;
    }
    SetEvent(event_);
  }

  HANDLE event_;
  CriticalSection lock_;
  std::deque<std::string> lines_;
  bool eof_ = false;
};

int Prompt(mcrlang::Interpreter& in, Session& session, Host& host, StopControl& stop) {
  bool console = _isatty(_fileno(stdin)) != 0;
  LineReader reader;
  std::string chunk;
  int firstLine = 1, lineNo = 0;
  while (true) {
    if (console) {
      std::fputs(chunk.empty() ? "mcr> " : "...> ", stdout);
      std::fflush(stdout);
    }
    std::optional<std::string> line = reader.next(host, stop.idleInterrupt());
    if (!line && WaitForSingleObject(stop.idleInterrupt(), 0) == WAIT_OBJECT_0) {
      session.error("mcrhost: stopped by Ctrl+C");
      return kStoppedStatus;
    }
    if (!line) {
      if (!chunk.empty()) {
        mcrlang::ParseResult p = mcrlang::Parse(chunk, kCodec, firstLine);
        if (p.error) session.error("<stdin>:" + std::to_string(p.error->line) + ": " + p.error->message);
      }
      return kOk;
    }
    ++lineNo;
    chunk += *line + "\n";
    mcrlang::ParseResult p = mcrlang::Parse(chunk, kCodec, firstLine);
    if (p.incomplete) continue;
    if (p.error) {
      session.error("<stdin>:" + std::to_string(p.error->line) + ": " + p.error->message);
    } else {
      stop.begin();
      mcrlang::RunResult r = in.run(*p.program);
      stop.end();
      host.server(mcr::kCodeMacroEnded);
      if (r.status == mcrlang::RunStatus::Failed || r.status == mcrlang::RunStatus::Stopped)
        ShowError(session, "<stdin>", r.error);
      if (r.status == mcrlang::RunStatus::Exited) return kOk;
    }
    chunk.clear();
    firstLine = lineNo + 1;
  }
}

// --check: each file's findings, with the variables set before it runs
// (the start-up macro's, --set, the arguments) taken as set.
int CheckMacros(const Options& o) {
  std::vector<std::string> files;
  if (o.macro) files.push_back(*o.macro);
  files.insert(files.end(), o.args.begin(), o.args.end());
  if (files.empty()) return UsageError("--check needs the macro files to check");
  const std::vector<mcrlang::CheckWord>& words = WordFacts();
  mcrlang::NameSet preset;
  preset.add("_ARGC");
  preset.add("_ARG#$");
  for (const auto& set : o.sets) preset.add(set.first);
  if (!o.tasks.empty()) {  // which tasks "last" opens is known only while running
    for (const std::string& task : TaskNames()) preset.add("TaskWin_" + task);
    preset.add("_TNTASK_MODE");
  }
  int found = 0;
  auto report = [&](const std::string& file, const std::vector<mcrlang::Finding>& findings) {
    for (const mcrlang::Finding& f : findings)
      std::printf("%s:%d:%d: %s: %s\n", file.c_str(), f.line, f.column, f.error ? "error" : "warning", f.text.c_str());
    found += static_cast<int>(findings.size());
  };
  if (!o.startup.empty()) {
    std::string source;
    if (!ReadSource(o.startup, &source)) return UsageError("cannot read the macro file " + o.startup);
    mcrlang::ParseResult p = mcrlang::Parse(source, kCodec, 1, mcrlang::SourceEncoding(source));
    if (p.error) report(o.startup, {{p.error->line, p.error->column, true, p.error->message}});
    preset = mcrlang::Assigned(source, words, preset);
  }
  for (const std::string& file : files) {
    std::string source;
    if (!ReadSource(file, &source)) return UsageError("cannot read the macro file " + file);
    report(file, mcrlang::Check(source, words, preset, kCodec));
  }
  std::fflush(stdout);
  return found ? kMacroError : kOk;
}

std::string DefaultLibrary() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return ToUtf8(dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"MCRPAK.dll");
}

int Main(const std::vector<std::string>& argv) {
  Options o;
  if (std::optional<int> answered = ParseOptions(argv, o)) return *answered;
  std::string library = o.library.empty() ? DefaultLibrary() : o.library;
  if (o.version) return PrintVersions(library);
  if (o.check) return CheckMacros(o);
  if (o.selftest) return RunSelfTest(library, o.macro.value_or(""));

  int code = kOk;
  std::optional<Macro> startup, macro;
  if (!o.startup.empty() && !(startup = LoadMacro(o.startup, &code))) return code;
  if (o.macro && !(macro = LoadMacro(*o.macro, &code))) return code;

  HostOptions hostOptions;
  hostOptions.windowClass = o.windowClass;
  Host host(hostOptions);
  Session session(host, o.trace);
  if (!host.window())
    session.error("mcrhost: warning: cannot make the main window (class \"" + o.windowClass +
                  "\"): the words' questions will be refused, and --snapshot can save nothing");
  host.onTrace = [&](const char* op, const std::string& detail, std::uint16_t status) {
    session.traceOperation(op, detail, status);
  };
  host.onShow = [&](const std::string& ansi) { session.output(AnsiToUtf8(ansi)); };
  LinkJournal linkJournal;
  if (o.trace)
    session.beforeTraceLine = [&] {
      for (const std::string& call : linkJournal.Take()) session.error("[trace]   anlink " + call);
    };

  std::string why;
  if (host.open(Utf8ToAnsi(library).c_str(), &why)) {
    session.error("mcrhost: cannot start with " + library + ": " + AnsiToUtf8(why));
    return kNoLibrary;
  }

  VarStore& vars = host.vars();
  vars.setNumber("_ARGC", static_cast<double>(o.args.size()));
  for (std::size_t i = 0; i < o.args.size(); ++i)
    vars.setString("_ARG" + std::to_string(i + 1) + "$", Utf8ToAnsi(o.args[i]));

  std::optional<Snapshots> snapshots;
  if (!o.snapshots.empty()) snapshots.emplace(host.window(), Utf8ToAnsi(o.snapshots), session.currentWord());
  if (snapshots) session.dialogsCancelled = [&snapshots] { return snapshots->cancelled(); };

  StopControl stop(o.timeout, session.currentWord());
  session.stopCheck = [&stop] { return stop.request(); };
  mcrlang::Interpreter in(session, vars, kCodec);
  if (startup) code = Run(in, session, host, stop, *startup);
  std::unique_ptr<TaskWindows> tasks;
  if (code == kOk) {
    for (const auto& [name, text] : o.sets) {
      if (name.back() == '$')
        vars.setString(name, Utf8ToAnsi(text));
      else
        vars.setNumber(name, std::strtod(text.c_str(), nullptr));
    }
    if (!o.tasks.empty()) tasks = StartTasks(host, session, o.tasks);
    code = macro ? Run(in, session, host, stop, *macro) : Prompt(in, session, host, stop);
  }
  host.server(mcr::kCodeClosePopups);
  host.close();
  return code;
}

}  // namespace

int main() {
  // Output is UTF-8 and every line ends with a bare line feed.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);

  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> argv;
  for (int i = 0; i < argc; ++i) argv.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return Main(argv);
}
