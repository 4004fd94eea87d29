#include "wordcalls.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "workstation.h"

namespace mcrtest {

namespace {

// A number argument that the bench replaces, at the call, by a fresh search
// handle (for the word that closes one).
constexpr double kFreshFindHandle = -7777777.25;
// A call taking longer than this has hung (the copy word alone may wait
// 15 seconds for a file another program holds).
constexpr DWORD kCallLimitMs = 30000;

// What is being called, for the two ways a call can end the process: an
// exception nobody handles, and a call that does not come back.
char g_calling[512];
std::atomic<DWORD> g_callStarted{0};

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e) {
  std::fprintf(stderr, "\nCRASH (exception %08lx) in %s\n", e->ExceptionRecord->ExceptionCode, g_calling);
  return std::fflush(stderr), EXCEPTION_CONTINUE_SEARCH;
}

void WatchCalls() {
  [[maybe_unused]] static const bool started = [] {
    SetUnhandledExceptionFilter(ReportCrash);
    std::thread([] {
      for (;; Sleep(250)) {
        const DWORD started = g_callStarted;
        if (!started || GetTickCount() - started < Scaled(kCallLimitMs)) continue;
        std::fprintf(stderr, "\nHANG: no answer after %lu ms from %s\n", Scaled(kCallLimitMs), g_calling);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    }).detach();
    return true;
  }();
}

// One row per word that needs more than plain arguments; words without a
// row are called with a text "x", the number 1 and the name Sweep$.
const WordPlan kPlans[] = {
    {"Left$", 0, "abc|2", "1:1008 2:1008 1:1007=128"}, {"Right$", 0, "abcdef|2", "1:1008 2:1008 1:1007=128"},
    {"Space$", 0, "4", "1:1008 1:1011=#1,0,130"}, {"Trim$", 0, " x\t", "1:1008 1:1007=519"},
    {"GetEnv$", 0, "windir", "1:1008 1:1007=128"}, {"Exist", kReadsOnly, "{M}\\run.icp", "1:1008 1:1007=255"},
    {"GetSeqFileVer", kReadsOnly, "{Q}", "1:1008 1:1007=255"},
    {"GetCalMasInf", kReadsOnly, "1|MASS|{M}|calmass", "1:1008 1:1032 2:1008 4:1008 2:1009"},
    {"GetQDBMasInf", kReadsOnly, "1|ON|{M}|qdbmass|1", "1:1008 1:1032 2:1008 4:1008 2:1009 5:1008",
      "1|ON|{M}|qdbmass|~"},
    {"GetTNCMasInf", kReadsOnly, "1|MASS|{M}|tunemass", "1:1008 1:1032 2:1008 4:1008 2:1009"},
    {"CountToken", 0, "a,b,c|,", "1:1008 2:1008 2:1013=#1 1:1007=128 2:1007=128"}, {"QueryQC", kReadsOnly, "QC"},
    {"ChkTuneMass", kReadsOnly, "1", "1:1008 1:1032"}, {"ISWINDOW", 0, "{H}", "1:1026"},
    {"ISWINDOWENABLED", 0, "{H}", "1:1026"}, {"ISWINDOWVISIBLE", 0, "{H}", "1:1026"},
    {"ISICONIC", 0, "{H}", "1:1026"}, {"ISZOOMED", 0, "{H}", "1:1026"}, {"SMOOTHSCROLLING", kUserSetting, "~"},
    {"ScalarToHex", 0, "255", "", "", "", "1"}, {"HexToScalar", 0, "ff"},
    {"GETTUNESTEP", kReadsOnly, "CALB|{M}|calsteps", "1:1033 2:1034 3:1006"},
    {"COMPCALRUN", kReadsOnly, "1|{M}|{M}", "1:1008 2:1035 3:1036"}, {"GETDAACQMODE", kReadsOnly, "{M}"},
    {"ISCUSTRPT", 0, "{P}", "1:1008"},
    {"DBLFMTSTR$", 0, "123.456||3|2|-1e30|1e30|0.1|1000",
      "3:1011=#3,1,6 4:1010=#4,1 5:1008 6:1008 7:1008 8:1008", "", "", "15678"},
    {"CompactPath$", 0, "{M}\\run.icp|28", "1:1008 2:1008 1:1007=255"},
    {"GetElemInfo", kReadsOnly, "7|{D}|1|Name", "1:1008 2:1008 3:1008 4:1008"},
    {"SplitPath", 0, "{M}\\run.icp|drive$|dir$|file$|ext$", "1:1008 1:1007=255"},
    {"GetTempFileName", kWritesFiles, "{W}|MCR|0|temp$", "1:1008 2:1008 4:1008 1:1007=255 2:1007=128", "", "1"},
    {"GetVName4Func", 0, "tickCount|vname$", "1:1007=260"},
    {"GetToken", 0, "a,b,c|,|2|token$",
      "1:1008 2:1008 3:1008 4:1008 2:1013=#1 3:1011=#3,1,50 4:1012=#4 1:1007=128 2:1007=128"},
    {"GetRuntypePrm", kReadsOnly, "RunType|Type2|t$", "1:1008 2:1008 3:1008"},
    {"GetProfile", kReadsOnly, "Tour|Operator|(none)|who$|{W}\\tour.ini",
      "1:1008 2:1008 3:1008 4:1008 5:1008 1:1007=127 2:1007=127 3:1007=127 4:1007=127 5:1007=127"},
    {"WriteProfile", kWritesFiles, "Tour|Operator|Suzuki|{W}\\tour.ini",
      "1:1008 2:1008 3:1008 4:1008 1:1007=127 2:1007=127 3:1007=127 4:1007=127", "", "4"},
    {"MakeHubexIni", kWritesFiles, "{X}runtype.ini|{W}\\hubex.ini", "1:1007=255 2:1007=255",
      "{W}\\text.txt|{W}\\hubex.ini", "12"},
    {"SetV2Vars", kReadsOnly, ""}, {"GetRuntypeNo", kReadsOnly, "|rt"},
    {"SetRuntypeNo", kWritesFiles, "|3", "1:1023", "", "1"},
    {"SetSeqFileVer", kWritesFiles, "{W}\\demo.seq|1", "1:1008 1:1007=255 2:1008 2:1011=#2,0,255", "", "1"},
    {"GetSeqHdStr", kReadsOnly, "{Q}|Comment|c$", "1:1008 1:1007=255 2:1008 2:1017/l 3:1008 1:1016 2:1017",
      "{Q}|Bogus|c$"},
    {"SetSeqHdStr", kWritesFiles, "{W}\\demo.seq|Operator|Tanaka",
      "1:1008 1:1007=255 2:1008 2:1017/l 3:1008 1:1016 2:1017", "{W}\\demo.seq|Bogus|x", "1"},
    {"GetSeqHdNo", kReadsOnly, "{Q}|MethPEnb|m", "1:1008 1:1007=255 2:1008 2:1017/l 3:1008 1:1016 2:1017",
      "{Q}|Bogus|m"},
    {"SetSeqHdNo", kWritesFiles, "{W}\\demo.seq|RunCount|3", "1:1008 1:1007=255 2:1008 3:1008 1:1016 2:1017",
      "{W}\\demo.seq|Bogus|3", "1"},
    {"SetBusyCursor", 0, "1"},
    {"GetQDBInfo", kReadsOnly, "7|1|1|{M}|qc", "1:1008 1:1011=#1,1,260 2:1008 3:1008 3:1032 4:1008 5:1008",
      "10|1|1|{M}|qc"},
    {"SeqFindKwd", kReadsOnly, "{Q}|qc|1|row",
      "1:1008 1:1007=255 2:1008 3:1008 3:1010=#3,1 4:1008 1:1002 1:1019", "{W}\\text.txt|qc|1|row"},
    {"DispQCInfo", kAsks | kReadsOnly, ""},
    {"EX_DELETE", kWritesFiles | kAsks, "{W}\\victim.txt|DONTASK|~", "1:1008", "{W}\\keep|DONTASK|~", "1"},
    {"GETMETHHDRINF", kReadsOnly, "numrepeat|{M}|nr", "1:1008 2:1019 3:1008 2:1002 1:1017", "bogus|{M}|nr"},
    {"SETCURTIMESTAMP", kWritesFiles, "{W}\\text.txt", "1:1008 1:1007=128 1:1019", "", "1"},
    {"QCUNREPELEM", kAsks | kReadsOnly, ""}, {"WriteHdr2Data", kWritesFiles, "|_MISCINFO$", "1:1023 2:1025", "", "1"},
    {"GetHdrFromData", kReadsOnly, "|_MISCINFO$", "1:1023 2:1025 1:1002", "{W}|_MISCINFO$"},
    {"SENDMESSAGE", kSendsMessages, "{H}|0|0|0", "1:1026 1:1030 2:1027 2:1031 3:1028 4:1029", "", "1"},
    {"POSTMESSAGE", kSendsMessages, "{H}|0|0|0", "1:1026 1:1030 2:1027 2:1031 3:1028 4:1029", "", "1"},
    {"BRINGWINDOWTOTOP", kSendsMessages | kSlow, "{H}|~|~", "", "", "1"},
    {"COPY", kWritesFiles | kAsks | kSlow, "{W}\\copy.src|{W}\\copy.dst|DONTASK", "",
      "{W}\\tree|{W}\\clash|DONTASK", "12", "", IDCANCEL, {5004, 5007, 6023}},
    {"SelectTuneStep", kAsks, ""}, {"WinRestorePos", kReadsOnly, ""}, {"SaveLastTask", kWritesFiles, ""},
    {"SetWindowToDefPos", kReadsOnly, "da"},
    {"MsgPopup", 0, "-1|line 1|line 2|line 3|~|0", "1:1011=#1,-1,3600", "9999|line 1|line 2|line 3|~|0"},
    {"EditMethAskAbort", kAsks, "", "", "", "", "", 1000},
    {"SeqRpcMPath", kWritesFiles, "{W}\\demo.seq|{M}|0", "1:1008 1:1007=255 1:1016", "{W}\\text.txt|{M}|0", "1"},
    {"REGGET", 0, "HKEY_CURRENT_USER|{K}|Text|reg$"},
    {"REGSET", kWritesRegistry, "HKEY_CURRENT_USER|{K}|Runs|REG_DWORD|runs", "", "", "2"},
    {"GETISTDSTR", kReadsOnly, "{M}\\calib.01|istd$", "2:1008"}, {"MAXBTNSTAT", 0, "1", "1:1008"},
    {"SVMETHCAL", kAsks, "{W}|{W}|NAME|M:C|1|m$|c$|n$", "1:1007=255 2:1007=255 3:1007=256 4:1007=254"},
    {"SOUND", 0, "BEEP:MB_OK"}, {"GetClassName", 0, "{H}|cls$", "1:1008 2:1008"}, {"FINDCLOSE", 0, "{F}"},
    {"OFFLINECFG", kAsks | kReadsOnly, "{X}vexmon.ist"}, {"SETICON", 0, "{I}|0", "1:1008"},
    {"DATATABLE", kWritesFiles, "CREATE|{W}\\table.txt|{X}dataview.cfg", "1:1008 1:1047 2:1008",
      "APPEND|{W}\\text.txt|{D}", "2"},
    {"UPDATE", kWritesFiles | kForeignTexts, "{W}\\copy.src|{W}\\update.dst|~", "1:1007=259 2:1007=259",
      "{W}\\tree|{W}\\clash|~", "12"},
    {"QCTuneConfig", kAsks | kReadsOnly, ""},
    {"BatchAnalyze", kSimulated | kAsks | kForeignTexts, "{W}\\batch|GEN|0", "1:1008 2:1007=263", "{W}\\other|GEN|0"},
    {"BatchAdd", kSimulated | kAsks | kForeignTexts, "{D}|GEN|1", "1:1008 1:1007=261 2:1007=263",
      "{W}\\missing.D|GEN|1"},
    {"BatchOpen", kSimulated | kAsks | kForeignTexts, "{W}\\batch|GEN|1", "1:1008 2:1007=263", "{W}\\nobatch|GEN|1"},
    {"VerifyBatchQC", kSimulated | kAsks | kForeignTexts, "{W}\\batch|batch.batch.xml|QC|{W}\\names.ini|GEN",
      "1:1008 2:1008 3:1008 4:1008 2:1007=263 4:1007=255 5:1007=263 1:1007=507 3:1007=507",
      "{W}\\nobatch|batch.batch.xml|QC|{W}\\names.ini|GEN", "", "", IDCANCEL, {}, "123:507"},
    {"BatchImportStd", kSimulated | kAsks | kForeignTexts, "Standard 1 ppb|GEN|1", "1:1008 2:1007=263"},
    {"RunDACmd", kSimulated | kForeignTexts, "1|GEN|0|A|~|~|~|~",
      "1:1008 2:1008 2:1007=263 4:1007=135 5:1007=135 6:1007=135 7:1007=135 8:1007=135", "2|GEN|0|A|~|~|~|~"},
    {"WaitForDARun", kSimulated | kForeignTexts, "GEN|1", "1:1008 1:1007=263"},
    {"CheckEditMode", kSimulated | kForeignTexts, "GEN|em", "1:1008 2:1008 1:1007=263 2:1007=263"},
    {"CheckDaExistance", kSimulated, "da", "1:1008 1:1007=255"},
    {"GetMethAcqMode", 0, "{M}|mode", "1:1008 2:1008 1:1007=263 2:1007=263"}, {"BringDAToTop", kSimulated, ""},
};

}  // namespace

const WordPlan& PlanFor(const std::string& word) {
  static const WordPlan none{"", 0, nullptr};
  for (const WordPlan& p : kPlans)
    if (word == p.word) return p;
  return none;
}

const mcr::WordInfo* ReadyWord(const std::string& name) {
  for (const mcr::WordInfo& w : mcr::kWords)
    if (name == w.name) return w.ready ? &w : nullptr;
  return nullptr;
}

Bench::Bench() {
  std::string error;
  EXPECT_TRUE(mcrsample::LayOut(U(sample()), &error)) << error;
  key_.Point(sample());
  // The variables the sample's start-up macro sets: its "NAME = value" lines (UTF-8).
  std::istringstream macro(ReadAll(sample() + "\\startup.mac"));
  for (std::string line; std::getline(macro, line);) {
    line.erase(line.find_last_not_of("\r ") + 1);
    const std::size_t eq = line.find(" = ");
    if (line.empty() || line[0] == '\'' || eq == std::string::npos) continue;
    const std::string value = line.substr(eq + 3);
    startup_.push_back({line.substr(0, eq), value.size() >= 2 && value[0] == '"'
                                                ? Value::Str(A(value.substr(1, value.size() - 2)))
                                                : Value::Num(std::atof(value.c_str()))});
  }
  RegSetKeyValueA(HKEY_CURRENT_USER, kOwnKey, "Text", REG_SZ, "sweep", 6);
  // Whatever a word writes to "the temporary folder" or to a bare name
  // lands in the working folder.
  GetCurrentDirectoryA(sizeof oldDirectory_, oldDirectory_);
  char temp[MAX_PATH] = {};
  GetEnvironmentVariableA("TEMP", temp, sizeof temp);
  oldTemp_ = temp;
  RefreshWork();
  for (const char* name : {"TEMP", "TMP"}) SetEnvironmentVariableA(name, work().c_str());
  SetCurrentDirectoryA(work().c_str());
  SystemParametersInfoA(SPI_GETLISTBOXSMOOTHSCROLLING, 0, &smoothScrolling_, 0);
  host_ = OpenHost();
  table_ = host_->vars().newTable(3);
  ResetVariables();
  // The simulated data-analysis task with a batch in the working folder
  // that holds one data file and has been analysed.
  const std::string state = sample() + "\\analysis\\state.ini";
  WritePrivateProfileStringA("Task", "AnalysisMs", "0", state.c_str());
  for (const auto& [name, fields] : {std::pair{"BatchOpen", "{W}\\batch|GEN|0"},
                                     {"BatchAdd", "{R}\\data\\STD001.D|GEN|1"}, {"BatchAnalyze", "{W}\\batch|GEN|1"}}) {
    if (!ReadyWord(name)) return;
    Outcome o = host_->call(name, Args(*ReadyWord(name), fields));
    EXPECT_EQ(o.status, 0) << name << " preparing the simulated batch: " << (o.error() ? U(*o.error()) : "");
  }
  analysisState_ = ReadAll(state);
}

Bench::~Bench() {
  host_.reset();
  SetFileAttributesA((work() + "\\keep\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(smoothScrolling_)),
                        SPIF_UPDATEINIFILE);
  RegDeleteTreeA(HKEY_CURRENT_USER, kOwnKey);
  SetCurrentDirectoryA(oldDirectory_);
  for (const char* name : {"TEMP", "TMP"}) SetEnvironmentVariableA(name, oldTemp_.c_str());
}

std::string Bench::Expand(const std::string& text) const {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof system);
  const std::string root = sample(), places = "RMDXQWKHPFI", values[] = {
      root, root + "\\methods\\DEMO.M", root + "\\data\\SAMPLE01.D", root + "\\icpexe\\", root + "\\seq\\demo.seq",
      work(), kOwnKey, std::to_string(reinterpret_cast<std::uintptr_t>(host_->window())),
      std::to_string(GetCurrentProcessId()), std::to_string(kFreshFindHandle), std::string(system) + "\\shell32.dll"};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool braced = text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}';
    const std::size_t place = braced ? places.find(text[i + 1]) : std::string::npos;
    if (place == std::string::npos) out += text[i];
    else out += values[place], i += 2;
  }
  return out;
}

std::vector<Arg> Bench::Args(const mcr::WordInfo& word, const std::string& fields) const {
  std::vector<Arg> args;
  std::size_t at = 0;
  for (const char* kind = word.params; *kind; ++kind) {
    const std::size_t from = std::min(at, fields.size()), bar = std::min(fields.find('|', at), fields.size());
    const std::string text = Expand(fields.substr(from, bar - from));
    at = bar + 1;
    if (text == "~") args.push_back(Omit());
    else args.push_back(*kind == 'N' ? N(std::strtod(text.c_str(), nullptr)) : Arg(Value::Str(text)));
  }
  return args;
}

std::vector<Arg> Bench::Baseline(const mcr::WordInfo& word) const {
  const char* valid = PlanFor(word.name).valid;
  if (valid && word.ready) {
    EXPECT_EQ(std::count(valid, valid + std::strlen(valid), '|') + (*word.params ? 1u : 0u), std::strlen(word.params))
        << word.name << ": the valid call needs one field per parameter";
    return Args(word, valid);
  }
  std::string plain;  // a text "x", the number 1 and the name Sweep$
  for (const char* k = word.params; *k; ++k)
    plain += (k == word.params ? "" : "|") + std::string(*k == 'N' ? "1" : *k == 'S' ? "x" : "Sweep$");
  return Args(word, plain);
}

std::string Bench::GuardPrefix(const mcr::WordInfo& word) const {
  const unsigned flags = PlanFor(word.name).flags;
  return flags & kWritesFiles ? work() + "\\" : flags & kWritesRegistry ? std::string(kOwnKey) + "\\" : "";
}

void Bench::ResetVariables() {
  mcrhost::VarStore& vars = host_->vars();
  vars.clear();
  vars.setTable("SweepTable", table_);
  vars.dropUnboundTables();
  for (const auto& [name, v] : startup_) v.isString ? vars.setString(name, v.text) : vars.setNumber(name, v.number);
  vars.setString("_MISCINFO$", "robustness");
  vars.setString("text$", "x");
  vars.setNumber("runs", 42);
  vars.setNumber("tickCount", 1);
}

void Bench::RefreshWork() {
  const std::string w = work() + "\\";
  CreateDirectoryA(w.c_str(), nullptr);
  // The trees of the late failures: the copy words meet a file where the
  // source has a folder two levels down (clash\sub\deep), and the tree
  // delete a read-only file two levels down.
  const std::pair<const char*, std::string> files[] = {
      {"text.txt", "text\r\n"}, {"victim.txt", "delete me\r\n"}, {"copy.src", std::string(40000, 'c')},
      {"tour.ini", "[Tour]\r\nOperator=Sato\r\n"}, {"names.ini", "[SampleName]\r\nRunType1=Blank\r\n"},
      {"tree\\a.txt", "a"}, {"tree\\sub\\deep\\d.txt", "d"}, {"clash\\sub\\deep", "a file"}, {"keep\\sub\\ro.txt", "ro"}};
  for (const auto& [name, bytes] : files) {
    const std::string path = w + name;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    for (std::size_t s = path.find('\\', w.size()); s != std::string::npos; s = path.find('\\', s + 1))
      CreateDirectoryA(path.substr(0, s).c_str(), nullptr);
    WriteAll(path, bytes);
  }
  SetFileAttributesA((w + "keep\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  for (const char* name : {"icpexe\\hubex.ini", "seq\\demo.seq"})
    CopyFileA((sample() + "\\" + name).c_str(), (w + (std::strrchr(name, '\\') + 1)).c_str(), TRUE);
}

Outcome Bench::Call(const mcr::WordInfo& word, std::vector<Arg> args, bool endStatement, const std::string& what) {
  WatchCalls();
  const WordPlan& plan = PlanFor(word.name);
  ResetVariables();
  if (plan.flags & kWritesFiles) RefreshWork();
  if ((plan.flags & kSimulated) && !analysisState_.empty()) {
    WriteAll(sample() + "\\analysis\\state.ini", analysisState_);
    DeleteFileA((sample() + "\\analysis\\journal.txt").c_str());
  }
  watchdog_.answer(plan.answer);
  WIN32_FIND_DATAA found;
  for (Arg& a : args)
    if (a && !a->isString && a->number == kFreshFindHandle)
      a = N(static_cast<double>(reinterpret_cast<std::intptr_t>(FindFirstFileA((work() + "\\*").c_str(), &found))));
  std::snprintf(g_calling, sizeof g_calling, "%s with %s", word.name, what.c_str());
  host_->clearShown();
  g_callStarted = GetTickCount();
  Outcome o = host_->call(word.name, args);
  if (endStatement) EndStatement();
  g_callStarted = 0;
  return o;
}

void Bench::EndStatement() {
  host_->server(mcr::kCodeMacroEnded);
  host_->pump(0);
}

}  // namespace mcrtest
