#include "session.h"

#include "hint.h"

namespace mcrhost {

namespace {

// A character without a code of its own is refused, never replaced by "?"
// or a look-alike from the system's best-fit table.
bool ToAnsi(const std::string& utf8, std::string* ansi) {
  ansi->clear();
  if (utf8.empty()) return true;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  BOOL replaced = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, &replaced);
  ansi->resize(static_cast<std::size_t>(m));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, ansi->data(), m, nullptr, &replaced);
  return m > 0 && !replaced;
}


char KindLetter(std::uint8_t kind) {
  switch (kind) {
    case mcr::kKindNumber: return 'N';
    case mcr::kKindString: return 'S';
    default: return 'V';
  }
}

std::string Shown(const mcrlang::Arg& a) {
  switch (a.kind) {
    case mcrlang::Arg::Kind::Omitted: return "";
    case mcrlang::Arg::Kind::Number: return mcrlang::FormatNumber(a.number);
    case mcrlang::Arg::Kind::String: return "\"" + AnsiToUtf8(a.text) + "\"";
    case mcrlang::Arg::Kind::Name: return a.text;
  }
  return "";
}

}  // namespace

const mcrlang::Codec& MacroCodec() {
  static const mcrlang::Codec codec{ToAnsi, AnsiToUtf8};
  return codec;
}

Session::Session(Host& host, bool trace) : host_(host), trace_(trace) {}

void Session::refreshWords() {
  if (wordsSeen_ == host_.words().size()) return;
  words_.clear();
  for (const Word& w : host_.words()) {
    mcrlang::WordInfo info;
    info.name = w.name;
    info.function = w.function;
    for (std::uint8_t k : w.kinds) info.kinds += KindLetter(k);
    words_[VarStore::Key(w.name)] = std::move(info);
  }
  wordsSeen_ = host_.words().size();
}

const mcrlang::WordInfo* Session::findWord(std::string_view name) {
  refreshWords();
  auto it = words_.find(VarStore::Key(name));
  return it == words_.end() ? nullptr : &it->second;
}

std::vector<mcrlang::WordInfo> Session::words() {
  refreshWords();
  std::vector<mcrlang::WordInfo> out;
  for (const auto& [key, info] : words_) out.push_back(info);
  return out;
}

mcrlang::CallResult Session::call(const mcrlang::WordInfo& word,
                                  const std::vector<mcrlang::Arg>& args) {
  std::vector<Arg> values;
  std::string shown;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const mcrlang::Arg& a = args[i];
    if (a.kind == mcrlang::Arg::Kind::Omitted)
      values.push_back(std::nullopt);
    else if (a.kind == mcrlang::Arg::Kind::Number)
      values.push_back(Value::Num(a.number));
    else
      values.push_back(Value::Str(a.text));
    shown += (i ? ", " : " ") + Shown(a);
  }
  while (!shown.empty() && (shown.back() == ' ' || shown.back() == ','))
    shown.pop_back();  // trailing omitted places say nothing
  if (trace_) trace("[trace] call " + word.name + shown);

  const int refusals = host_.windowRefusals();
  const int cancelled = dialogsCancelled ? dialogsCancelled() : 0;
  ++depth_;
  current_ = word.name;
  Outcome o = host_.call(word.name, values);
  current_.clear();
  --depth_;

  mcrlang::CallResult r;
  const std::string* raised = nullptr;
  std::string raisedUtf8;
  for (const Raised& x : o.raised) {
    if (x.kind == mcr::kRaiseError && !raised) {
      raisedUtf8 = AnsiToUtf8(x.text);
      raised = &raisedUtf8;
    }
    if (x.kind == mcr::kRaiseStatus && trace_) error("[status] " + AnsiToUtf8(x.text));
  }
  r.error = mcrlang::WordFailure(o.status, raised);
  // An empty text is explained below by what mcrhost saw, not by the reference.
  if (r.error && !r.error->empty()) r.hint = FailureHint(word, args, *r.error, host_.vars());
  if (r.error && r.error->empty()) {
    // What a word raises when its question is not answered with OK.
    if (host_.windowRefusals() != refusals)
      r.error = "(an empty error text) the question was refused: mcrhost has no main window";
    else if (dialogsCancelled && dialogsCancelled() != cancelled)
      r.error = "(an empty error text) cancelled at the question (--snapshot cancels every dialog)";
    else
      r.error = "(an empty error text, as when a question is cancelled)";
  }
  if (o.result) r.value = o.result->isString ? mcrlang::Value::Str(o.result->text)
                                             : mcrlang::Value::Num(o.result->number);
  if (trace_) {
    std::string line = "[trace] " + word.name + " returned " + std::to_string(o.status);
    if (o.result)
      line += ", result " + (o.result->isString ? "\"" + AnsiToUtf8(o.result->text) + "\""
                                                : mcrlang::FormatNumber(o.result->number));
    trace(line);
  }
  return r;
}

void Session::output(const std::string& utf8Line) {
  std::fwrite(utf8Line.data(), 1, utf8Line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Session::trace(const std::string& utf8Line) {
  if (beforeTraceLine) beforeTraceLine();
  error(utf8Line);
}

void Session::error(const std::string& utf8Line) {
  std::fflush(stdout);
  std::fwrite(utf8Line.data(), 1, utf8Line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Dispatching costs a trip to the window system, so a tight loop pumps only
// every few milliseconds; that is still far finer than any popup's timer.
void Session::idle() {
  unsigned long now = GetTickCount();
  if (now - lastPump_ < 10) return;
  host_.pump(0);
  lastPump_ = GetTickCount();
}

// In slices, so that a stop ends the wait early.
void Session::wait(double ms) {
  constexpr double kSlice = 50;
  while (ms > 0 && stopRequest().empty()) {
    double step = ms < kSlice ? ms : kSlice;
    host_.pump(static_cast<DWORD>(step));
    ms -= step;
  }
}

void Session::traceOperation(const char* op, const std::string& detail, std::uint16_t status) {
  if (!trace_) return;
  trace(std::string("[trace] ") + (depth_ ? "  " : "") + op + (detail.empty() ? "" : " ") + detail +
        " -> " + std::to_string(status));
}

}  // namespace mcrhost
