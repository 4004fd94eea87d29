// Stand-in for the workstation's link to its data-analysis task: a small
// simulation of the task behind the real module's interface (ordinals 3 to
// 13). Every operation is answered from a state kept in a file, so that a
// macro, a test and mcrhost's trace all see the same task, and every call is
// appended to a journal with its arguments and its answer (anlinkplace.h
// says where both live). Texts are in the ANSI code page, as the
// workstation's are; an error text goes into the caller's 1004-byte buffer.
//
// state.ini, as a scenario sets it and as the task leaves it:
//   [Task]    Running=1       what DaIsRunning answers; 0: not running, no connection
//             EditPolls=0     the method is being edited for this many more polls
//                             (command 13 or DaIsEditMode)
//             AnalysisMs=300  how long an analysis runs
//             Fail=           an operation that fails: "DaConnect", "DaOpenBatch",
//                             "DaSendCommand 4" (with that code only) ...
//             FailText=       its error text (default: one of the task's own)
//             Connections, Owner, BroughtToTop   kept by the task
//   [Batch]   the open batch: Path, Shown, Source, Import, MethodAndData,
//             Files and File1.., Standards and Standard1.., Analysis
//             (none, running, done) and AnalysisEnds
//   [QC]      the last verification: File, Check, Samples, Sample1.., Result1.., Failed
//   [QcFail]  scenario: NAME=1 makes sample NAME fail its QC check
//
// DaOpenBatch opens an existing batch folder (open flag 1) or makes a new
// one with its QuantResults folder (0); with the import flag, the file to
// import must exist. Commands: 13 answers 105 while the method is being edited; 4 adds a data
// file ("TRUE\tTRUE\t" and its path; it must exist); 5 starts the analysis
// of the open batch (DaSendCommand waits for its end, DaSendCommandAlt does
// not); 10 adds a standard; 12 verifies QC ("result file\tcheck\tname\t...")
// and writes the result file; 1 answers the batch's state (0 none, 1 open,
// 2 analysing, 3 analysed). The status of 4 and 10 is the new count, of 5
// the batch's state, of 12 the number of samples that failed. Any other
// code fails with a text that names it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "anlinkplace.h"

namespace {

constexpr int kErrorSize = 1004;
constexpr DWORD kValueSize = 1024;
constexpr std::int32_t kEditing = 105;
constexpr long long kDefaultAnalysisMs = 300;
constexpr long long kNoCode = INT64_MIN;  // outside every 32-bit code
constexpr DWORD kWaitStepMs = 50;

enum Code : std::int32_t {
  kCodeBatchState = 1,
  kCodeAddFile = 4,
  kCodeAnalyze = 5,
  kCodeImportStandard = 10,
  kCodeVerifyQc = 12,
  kCodeEditMode = 13,
};
enum BatchState { kNoBatch = 0, kBatchOpen = 1, kAnalysing = 2, kAnalysed = 3 };

std::string Str(const char* s) { return s ? s : ""; }

// One of the task's texts (UTF-8 in the source, ANSI at run time); "%s"
// takes arg.
std::string Say(const char* utf8, const std::string& arg = "") {
  wchar_t wide[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  char ansi[1024];
  WideCharToMultiByte(CP_ACP, 0, wide, n, ansi, sizeof ansi, nullptr, nullptr);
  std::string text = ansi;
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, arg);
  return text;
}

long long NowMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) /
                                10000);
}

std::string OwnerText(HWND owner) {
  char text[16];
  wsprintfA(text, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(owner)));
  return text;
}

// A text as the journal shows it: in double quotes, with backslash, quote
// and control characters escaped as in C; double-byte characters stay whole.
std::string Quote(const char* text) {
  if (!text) return "null";
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (IsDBCSLeadByte(c) && p[1]) {
      out += *p++;
      out += *p;
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += *p;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20) {
      char hex[8];
      wsprintfA(hex, "\\x%02X", c);
      out += hex;
    } else {
      out += *p;
    }
  }
  return out + "\"";
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(sep, from)) != std::string::npos; from = at + 1)
    parts.push_back(text.substr(from, at - from));
  parts.push_back(text.substr(from));
  return parts;
}

std::string WithoutFinalBackslash(std::string path) {
  while (anlinksim::EndsWithBackslash(path)) path.pop_back();
  return path;
}

bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// ---------------------------------------------------------------------------

class State {
 public:
  State() : folder_(anlinksim::Folder()), file_(folder_ + anlinksim::kStateFile) {
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  const std::string& folder() const { return folder_; }

  std::string Get(const char* section, const char* key, const char* fallback = "") const {
    char value[kValueSize];
    GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file_.c_str());
    return value;
  }
  long long Num(const char* section, const char* key, long long fallback) const {
    std::string v = Get(section, key);
    return v.empty() ? fallback : std::strtoll(v.c_str(), nullptr, 10);
  }
  void Set(const char* section, const char* key, const std::string& value) {
    WritePrivateProfileStringA(section, key, value.c_str(), file_.c_str());
  }
  void Set(const char* section, const char* key, long long value) { Set(section, key, std::to_string(value)); }
  void Clear(const char* section) { WritePrivateProfileStringA(section, nullptr, nullptr, file_.c_str()); }

  // A numbered list: count key, then prefix1, prefix2 ...
  std::vector<std::string> List(const char* section, const char* count, const char* prefix) const {
    std::vector<std::string> items;
    for (long long i = 1, n = Num(section, count, 0); i <= n; ++i)
      items.push_back(Get(section, (prefix + std::to_string(i)).c_str()));
    return items;
  }
  std::int32_t Append(const char* section, const char* count, const char* prefix, const std::string& item) {
    long long n = Num(section, count, 0) + 1;
    Set(section, (prefix + std::to_string(n)).c_str(), item);
    Set(section, count, n);
    return static_cast<std::int32_t>(n);
  }

 private:
  std::string folder_, file_;
};

// One line of the journal: "<ordinal> <name> <arguments>", a tab, then
// "-> <result>" and what else the caller was given.
class Entry {
 public:
  Entry(int ordinal, const char* name) : name_(name), line_(std::to_string(ordinal) + " " + name) {}
  const char* name() const { return name_; }
  Entry& Owner(HWND owner) { return Add("owner", OwnerText(owner)); }
  Entry& Text(const char* key, const char* value) { return Add(key, Quote(value)); }
  Entry& Number(const char* key, long long value) { return Add(key, std::to_string(value)); }

  int Answer(const State& s, int result, const std::string& detail = "") {
    std::string line = line_ + "\t-> " + std::to_string(result) + detail + "\r\n";
    if (FILE* f = std::fopen((s.folder() + anlinksim::kJournalFile).c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
    }
    return result;
  }
  // Fills the caller's buffer with why and answers result.
  int Refuse(const State& s, char* error, const std::string& why, int result = 1) {
    std::string written = why.substr(0, kErrorSize - 1);
    if (error) lstrcpynA(error, written.c_str(), kErrorSize);
    return Answer(s, result, " error=" + Quote(written.c_str()));
  }

 private:
  Entry& Add(const char* key, const std::string& value) {
    line_ += std::string(" ") + key + "=" + value;
    return *this;
  }
  const char* name_;
  std::string line_;
};

// ---------------------------------------------------------------------------
// The task.

// The scenario's failure of operation op (with this command code), or "".
std::string ScenarioFailure(const State& s, const char* op, long long code = kNoCode) {
  std::vector<std::string> fail = Split(s.Get("Task", "Fail"), ' ');
  if (lstrcmpiA(fail[0].c_str(), op) != 0) return "";
  if (fail.size() > 1 && (code == kNoCode || std::strtoll(fail[1].c_str(), nullptr, 10) != code)) return "";
  std::string text = s.Get("Task", "FailText");
  return text.empty() ? Say(u8"ﾃﾞｰﾀ解析ﾀｽｸで %s が失敗しました.", op) : text;
}

std::string NotRunning(const State& s) {
  return s.Num("Task", "Running", 1) == 0 ? Say(u8"ﾃﾞｰﾀ解析ﾀｽｸが起動していません.") : "";
}

// Why an operation inside a connection cannot go on, or "".
std::string Refusal(const State& s, HWND owner, const char* op, long long code = kNoCode) {
  std::string why = NotRunning(s);
  if (!why.empty()) return why;
  if (s.Num("Task", "Connections", 0) <= 0 || s.Get("Task", "Owner") != OwnerText(owner))
    return Say(u8"ﾃﾞｰﾀ解析ﾀｽｸに接続されていません.");
  return ScenarioFailure(s, op, code);
}

BatchState StateOfBatch(const State& s) {
  if (s.Get("Batch", "Path").empty()) return kNoBatch;
  std::string analysis = s.Get("Batch", "Analysis");
  return analysis == "running" ? kAnalysing : analysis == "done" ? kAnalysed : kBatchOpen;
}

// Why the open batch cannot be changed now, or "".
std::string Unchangeable(const State& s) {
  switch (StateOfBatch(s)) {
    case kNoBatch: return Say(u8"ﾊﾞｯﾁが開かれていません.");
    case kAnalysing: return Say(u8"ﾊﾞｯﾁ解析の実行中です.");
    default: return "";
  }
}

// A changed batch needs a new analysis.
void Changed(State& s) {
  s.Set("Batch", "Analysis", "none");
  s.Clear("QC");
}

// An analysis whose time is up has finished: the batch's result file is
// written into its QuantResults folder.
void Settle(State& s) {
  if (StateOfBatch(s) != kAnalysing || NowMs() < s.Num("Batch", "AnalysisEnds", 0)) return;
  s.Set("Batch", "Analysis", "done");
  const std::string batch = s.Get("Batch", "Path");
  const std::string name = batch.substr(batch.find_last_of('\\') + 1);
  std::string xml = "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n<Batch name=\"" + Xml(name) + "\">\r\n";
  for (const std::string& f : s.List("Batch", "Files", "File")) xml += "  <DataFile path=\"" + Xml(f) + "\"/>\r\n";
  for (const std::string& t : s.List("Batch", "Standards", "Standard"))
    xml += "  <Standard name=\"" + Xml(t) + "\"/>\r\n";
  WriteWhole(batch + "\\QuantResults\\" + name + ".batch.xml", xml + "</Batch>\r\n");
}

// Waits for the running analysis to end; with pump, the caller's window
// messages keep flowing meanwhile. False when the wait was ended by a quit
// message.
bool WaitForAnalysis(State& s, bool pump) {
  for (Settle(s); StateOfBatch(s) == kAnalysing; Settle(s)) {
    long long left = s.Num("Batch", "AnalysisEnds", 0) - NowMs();
    DWORD step = static_cast<DWORD>(std::clamp<long long>(left, 1, kWaitStepMs));
    if (!pump) {
      Sleep(step);
      continue;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, step, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        return false;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  return true;
}

// One poll of the method editor: true while the method is being edited.
bool PollEdit(State& s) {
  long long polls = s.Num("Task", "EditPolls", 0);
  if (polls <= 0) return false;
  s.Set("Task", "EditPolls", polls - 1);
  return true;
}

std::string OpenBatch(State& s, const std::string& given, const std::string& source, bool import,
                      bool methodAndData, bool open) {
  if (StateOfBatch(s) == kAnalysing) return Say(u8"ﾊﾞｯﾁ解析の実行中です.");
  const std::string batch = WithoutFinalBackslash(given);
  if (batch.empty()) return Say(u8"ﾊﾞｯﾁが指定されていません.");
  if (!open) {  // a new batch
    CreateDirectoryA(batch.c_str(), nullptr);
    CreateDirectoryA((batch + "\\QuantResults").c_str(), nullptr);
  }
  if (!IsFolder(batch)) return Say(open ? u8"ﾊﾞｯﾁ '%s' が見つかりません." : u8"ﾊﾞｯﾁ '%s' を作成できません.", batch);
  if (import && !Exists(source)) return Say(u8"ｲﾝﾎﾟｰﾄするﾌｧｲﾙ '%s' が見つかりません.", source);
  s.Clear("Batch");
  s.Clear("QC");
  s.Set("Batch", "Path", batch);
  s.Set("Batch", "Shown", open ? 1 : 0);
  s.Set("Batch", "Source", import ? source : "");
  s.Set("Batch", "Import", import ? 1 : 0);
  s.Set("Batch", "MethodAndData", methodAndData ? 1 : 0);
  s.Set("Batch", "Files", 0);
  s.Set("Batch", "Standards", 0);
  s.Set("Batch", "Analysis", "none");
  return "";
}

std::string AddFile(State& s, const std::string& text, std::int32_t* out) {
  std::vector<std::string> f = Split(text, '\t');
  auto flag = [](const std::string& v) { return v == "TRUE" || v == "FALSE"; };
  if (f.size() != 3 || !flag(f[0]) || !flag(f[1])) return Say(u8"ﾃﾞｰﾀﾌｧｲﾙの指定 '%s' が正しくありません.", text);
  std::string why = Unchangeable(s);
  if (!why.empty()) return why;
  const std::string& file = f[2];
  if (!Exists(file)) return Say(u8"ﾃﾞｰﾀﾌｧｲﾙ '%s' が見つかりません.", file);
  for (const std::string& had : s.List("Batch", "Files", "File"))
    if (lstrcmpiA(had.c_str(), file.c_str()) == 0) return Say(u8"ﾃﾞｰﾀﾌｧｲﾙ '%s' は既にﾊﾞｯﾁにあります.", file);
  *out = s.Append("Batch", "Files", "File", file);
  Changed(s);
  return "";
}

std::string AddStandard(State& s, const std::string& standard, std::int32_t* out) {
  std::string why = Unchangeable(s);
  if (!why.empty()) return why;
  if (standard.empty()) return Say(u8"標準が指定されていません.");
  *out = s.Append("Batch", "Standards", "Standard", standard);
  Changed(s);
  return "";
}

std::string Analyze(State& s, const std::string& given, bool wait, std::int32_t* out) {
  const std::string batch = WithoutFinalBackslash(given);
  if (StateOfBatch(s) == kNoBatch || lstrcmpiA(batch.c_str(), s.Get("Batch", "Path").c_str()) != 0)
    return Say(u8"ﾊﾞｯﾁ '%s' は開かれていません.", batch);
  std::string why = Unchangeable(s);
  if (!why.empty()) return why;
  if (s.Num("Batch", "Files", 0) <= 0) return Say(u8"ﾊﾞｯﾁにﾃﾞｰﾀﾌｧｲﾙがありません.");
  s.Clear("QC");
  s.Set("Batch", "Analysis", "running");
  s.Set("Batch", "AnalysisEnds", NowMs() + std::max(0LL, s.Num("Task", "AnalysisMs", kDefaultAnalysisMs)));
  if (wait) WaitForAnalysis(s, false);
  Settle(s);
  *out = StateOfBatch(s);
  return "";
}

std::string VerifyQc(State& s, const std::string& text, std::int32_t* out) {
  switch (StateOfBatch(s)) {
    case kNoBatch: return Say(u8"ﾊﾞｯﾁが開かれていません.");
    case kAnalysed: break;
    default: return Say(u8"ﾊﾞｯﾁの解析が終わっていません.");
  }
  std::vector<std::string> f = Split(text, '\t');
  if (f.size() < 3) return Say(u8"QC の要求にｻﾝﾌﾟﾙ名がありません: '%s'", text);
  std::string xml = "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n<QcResults check=\"" + Xml(f[1]) + "\">\r\n";
  std::vector<bool> passed;
  for (std::size_t i = 2; i < f.size(); ++i) {
    std::string mark = s.Get("QcFail", f[i].c_str());
    passed.push_back(mark.empty() || mark == "0");
    xml += "  <Sample name=\"" + Xml(f[i]) + "\" result=\"" + (passed.back() ? "pass" : "fail") + "\"/>\r\n";
  }
  if (!WriteWhole(f[0], xml + "</QcResults>\r\n")) return Say(u8"ﾌｧｲﾙ '%s' を作成できません.", f[0]);
  s.Clear("QC");
  s.Set("QC", "File", f[0]);
  s.Set("QC", "Check", f[1]);
  s.Set("QC", "Samples", static_cast<long long>(passed.size()));
  std::int32_t failed = 0;
  for (std::size_t i = 0; i < passed.size(); ++i) {
    s.Set("QC", ("Sample" + std::to_string(i + 1)).c_str(), f[i + 2]);
    s.Set("QC", ("Result" + std::to_string(i + 1)).c_str(), passed[i] ? "pass" : "fail");
    failed += passed[i] ? 0 : 1;
  }
  s.Set("QC", "Failed", failed);
  *out = failed;
  return "";
}

std::string Perform(State& s, bool wait, std::int32_t code, const std::string& text, std::int32_t* out) {
  switch (code) {
    case kCodeEditMode: *out = PollEdit(s) ? kEditing : 0; return "";
    case kCodeBatchState: *out = StateOfBatch(s); return "";
    case kCodeAddFile: return AddFile(s, text, out);
    case kCodeAnalyze: return Analyze(s, text, wait, out);
    case kCodeImportStandard: return AddStandard(s, text, out);
    case kCodeVerifyQc: return VerifyQc(s, text, out);
    default: return Say(u8"ｺﾏﾝﾄﾞ %s はﾃﾞｰﾀ解析ﾀｽｸにありません.", std::to_string(code));
  }
}

int SendCommand(bool wait, HWND owner, const char* tag, char* error, std::int32_t code, const char* text,
                std::int32_t* status) {
  Entry e(wait ? 5 : 6, wait ? "DaSendCommand" : "DaSendCommandAlt");
  e.Owner(owner).Text("tag", tag).Number("code", code).Text("text", text);
  State s;
  Settle(s);
  std::int32_t out = 0;
  std::string why = Refusal(s, owner, e.name(), code);
  if (why.empty()) why = Perform(s, wait, code, Str(text), &out);
  if (!why.empty()) return e.Refuse(s, error, why);
  if (status) *status = out;
  return e.Answer(s, 0, " status=" + std::to_string(out));
}

int WaitRun(bool pump, HWND owner, const char* tag, char* error) {
  Entry e(pump ? 12 : 9, pump ? "DaWaitRunAlt" : "DaWaitRun");
  e.Owner(owner).Text("tag", tag);
  State s;
  std::string why = Refusal(s, owner, e.name());
  if (why.empty() && !WaitForAnalysis(s, pump)) why = Say(u8"待機が中断されました.");
  return why.empty() ? e.Answer(s, 0) : e.Refuse(s, error, why);
}

}  // namespace

extern "C" int WINAPI DaConnect(HWND owner, const char* tag, char* error) {
  Entry e(3, "DaConnect");
  e.Owner(owner).Text("tag", tag);
  State s;
  std::string why = NotRunning(s);
  if (why.empty()) why = ScenarioFailure(s, e.name());
  if (!why.empty()) return e.Refuse(s, error, why);
  s.Set("Task", "Connections", s.Num("Task", "Connections", 0) + 1);
  s.Set("Task", "Owner", OwnerText(owner));
  return e.Answer(s, 0);
}

extern "C" int WINAPI DaDisconnect(HWND owner, const char* tag, char* error) {
  Entry e(4, "DaDisconnect");
  e.Owner(owner).Text("tag", tag);
  State s;
  long long open = s.Num("Task", "Connections", 0);
  s.Set("Task", "Connections", std::max(0LL, open - 1));
  if (open <= 1) s.Set("Task", "Owner", "");
  std::string why = ScenarioFailure(s, e.name());
  return why.empty() ? e.Answer(s, 0) : e.Refuse(s, error, why);
}

extern "C" int WINAPI DaSendCommand(HWND owner, const char* tag, char* error, std::int32_t code, const char* text,
                                    std::int32_t* status) {
  return SendCommand(true, owner, tag, error, code, text, status);
}

extern "C" int WINAPI DaSendCommandAlt(HWND owner, const char* tag, char* error, std::int32_t code,
                                       const char* text, std::int32_t* status) {
  return SendCommand(false, owner, tag, error, code, text, status);
}

extern "C" int WINAPI DaOpenBatch(HWND owner, const char* tag, char* error, const char* batch, const char* source,
                                  int import, int methodAndData, int open) {
  Entry e(8, "DaOpenBatch");
  e.Owner(owner).Text("tag", tag).Text("batch", batch).Text("source", source);
  e.Number("import", import).Number("methodAndData", methodAndData).Number("open", open);
  State s;
  Settle(s);
  std::string why = Refusal(s, owner, e.name());
  if (why.empty()) why = OpenBatch(s, Str(batch), Str(source), import != 0, methodAndData != 0, open != 0);
  return why.empty() ? e.Answer(s, 0) : e.Refuse(s, error, why);
}

extern "C" int WINAPI DaWaitRun(HWND owner, const char* tag, char* error) {
  return WaitRun(false, owner, tag, error);
}

extern "C" int WINAPI DaWaitRunAlt(HWND owner, const char* tag, char* error) {
  return WaitRun(true, owner, tag, error);
}

// A refusal answers 0, as "not being edited" does, with the reason in the
// buffer.
extern "C" int WINAPI DaIsEditMode(HWND owner, const char* tag, char* error) {
  Entry e(10, "DaIsEditMode");
  e.Owner(owner).Text("tag", tag);
  State s;
  std::string why = Refusal(s, owner, e.name());
  if (!why.empty()) return e.Refuse(s, error, why, 0);
  return e.Answer(s, PollEdit(s) ? 1 : 0);
}

extern "C" int WINAPI DaIsRunning(void) {
  Entry e(11, "DaIsRunning");
  State s;
  return e.Answer(s, static_cast<int>(s.Num("Task", "Running", 1)));
}

extern "C" int WINAPI DaBringToTop(void) {
  Entry e(13, "DaBringToTop");
  State s;
  s.Set("Task", "BroughtToTop", s.Num("Task", "BroughtToTop", 0) + 1);
  return e.Answer(s, 0);
}
