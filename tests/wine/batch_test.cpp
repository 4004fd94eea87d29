// The data-analysis batch commands against the simulated data-analysis task:
// the calls each command makes on the link, in order, read back from the
// task's journal; what the task is left with; the edit-mode prompt.
#include <windows.h>

#include <fstream>
#include <iterator>

#include "bytes.h"
#include "dialogs.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using Lines = std::vector<std::string>;

// A text as the task's journal shows it.
std::string Q(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\t') out += "\\t";
    else if (c == '\\' || c == '"') out += std::string("\\") + c;
    else out += c;
  }
  return out + "\"";
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("MCR_ANLINK", dir_.path().c_str());
    host_ = OpenHost();
    char owner[32];
    wsprintfA(owner, " owner=0x%08lX", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(host_->window())));
    owner_ = owner;
    Set("Task", "AnalysisMs", "50");
    ImportSettings("");
    std::ofstream(names_) << "[SampleName]\nRunType1=S\n";
  }
  void TearDown() override { SetEnvironmentVariableA("MCR_ANLINK", nullptr); }

  void Set(const char* section, const char* key, const std::string& value) {
    WritePrivateProfileStringA(section, key, value.c_str(), dir_.file("state.ini").c_str());
  }
  std::string Get(const char* section, const char* key) {
    char value[2048];
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, dir_.file("state.ini").c_str());
    return value;
  }
  double Num(const std::string& name) {
    const mcrhost::Var* v = host_->vars().find(name);
    return v && v->type == mcrhost::Var::Type::Number ? v->number : -999;
  }

  // The calls the task received since the last look, without their answers.
  Lines Calls() {
    std::ifstream in(dir_.file("journal.txt"), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(seen_));
    Lines lines;
    for (std::string line; std::getline(in, line);) {
      seen_ += line.size() + 1;
      lines.push_back(line.substr(0, line.find('\t')));
    }
    return lines;
  }

  // Expected journal lines.
  std::string Link(int ordinal, const char* name, const std::string& tag, const std::string& more = "") {
    return std::to_string(ordinal) + " " + name + owner_ + " tag=" + Q(tag) + more;
  }
  std::string Connect(const std::string& tag) { return Link(3, "DaConnect", tag); }
  std::string Disconnect(const std::string& tag) { return Link(4, "DaDisconnect", tag); }
  std::string Send(const std::string& tag, std::int32_t code, const std::string& text, bool alt = false) {
    return Link(alt ? 6 : 5, alt ? "DaSendCommandAlt" : "DaSendCommand", tag,
                " code=" + std::to_string(code) + " text=" + Q(text));
  }
  std::string Poll(const std::string& tag) { return Send(tag, 13, ""); }

  Outcome Run(const std::string& word, const std::vector<Arg>& args) { return host_->call(word, args); }
  std::string Raised(const Outcome& o) { return o.error() ? *o.error() : "<none>"; }

  void ImportSettings(const std::string& lines) {
    host_->vars().setString("_EXEPATH$", dir_.path() + "\\");
    std::ofstream(dir_.file("daminf.ini"), std::ios::binary) << "[DAMethInf]\r\n" << lines;
  }

  TempDir dir_;
  std::unique_ptr<Host> host_;
  std::string owner_;
  std::size_t seen_ = 0;
  const std::string names_ = dir_.file("names.ini");  // one sample name, "S"
};

const std::string kRunning = "11 DaIsRunning", kToTop = "13 DaBringToTop";

TEST_F(Batch, AWholeBatchCallByCall) {
  const std::string batch = dir_.file("B1"), d1 = dir_.file("D1.D"), d2 = dir_.file("D2.D"), names = names_;
  for (const std::string& data : {d1, d2}) CreateDirectoryA(data.c_str(), nullptr);
  ImportSettings("DoImport=1\r\nMethodOnly=1\r\nSourcePath=" + dir_.path() + "\r\nXmlFile=Old.C\r\n");
  std::ofstream(dir_.file("Old.C")) << "method";
  std::ofstream(names) << "[SampleName]\nRunType1=S 1\nRunType2=S 2\nRunType4=never read\n";
  Bytes().i32(0, 2).resize(124).save(dir_.file("run.icp"));
  const std::string qcFile = batch + "\\QuantResults\\B1.qc.xml";
  struct Step {
    std::string word;
    std::vector<Arg> args;
    Lines calls;
  } steps[] = {
      {"BatchOpen", {S(batch), S("T"), N(0)},
       {Connect("T"), Poll("T"),
        Link(8, "DaOpenBatch", "T",
             " batch=" + Q(batch) + " source=" + Q(dir_.file("Old.C")) + " import=1 methodAndData=0 open=0"),
        Disconnect("T")}},
      {"BatchAdd", {S(d1), S("T")}, {Connect("VEXHUB"), Poll("T"), Send("T", 4, "TRUE\tTRUE\t" + d1), Disconnect("VEXHUB")}},
      {"BatchAdd", {S(d2), Omit(), N(7)}, {Connect("VEXHUB"), Poll(""), Send("", 4, "TRUE\tTRUE\t" + d2), Disconnect("VEXHUB")}},
      {"BatchImportStd", {S("Std 1"), S("T"), N(1)}, {Connect("T"), Poll("T"), Send("T", 10, "Std 1"), Disconnect("T")}},
      {"BatchAnalyze", {S(batch), S("T")}, {Connect("T"), Poll("T"), Send("T", 5, batch, true), Disconnect("T")}},
      {"WaitForDARun", {S("T")}, {kRunning, Connect("T"), Link(9, "DaWaitRun", "T"), Disconnect("T")}},
      {"VerifyBatchQC", {S(batch), S("B1.batch.xml"), S("QC"), S(names), S("T")},
       {Connect("VEXHUB"), Poll("T"), Send("T", 12, qcFile + "\tQC\tS 1\tS 2"), Disconnect("VEXHUB")}},
      {"RunDACmd", {N(1), S("T")}, {Connect("T"), Send("T", 1, "", true), Disconnect("T")}},
      {"CheckEditMode", {S("T"), S("e")}, {kRunning, Connect("T"), Link(10, "DaIsEditMode", "T"), Disconnect("T")}},
      {"CheckDaExistance", {S("r")}, {kRunning}},
      {"GetMethAcqMode", {S(dir_.path()), S("m")}, {}},
      {"BringDAToTop", {}, {kToTop}},
  };
  for (const Step& s : steps) {
    Outcome o = Run(s.word, s.args);
    EXPECT_EQ(o.status, 0) << s.word << ": " << U(Raised(o));
    EXPECT_EQ(Calls(), s.calls) << s.word;
    EXPECT_EQ(Get("Task", "Connections"), "0") << s.word;
  }
  // What the task holds now, and what the commands set.
  EXPECT_EQ(Get("Batch", "Files") + Get("Batch", "Standards") + Get("Batch", "Analysis"), "21done");
  EXPECT_EQ(Get("QC", "Samples") + Get("QC", "Failed") + Get("QC", "File"), "20" + qcFile);
  EXPECT_EQ((std::vector<double>{Num("DACmdRes"), Num("e"), Num("r"), Num("m")}), (std::vector<double>{3, 0, 1, 2}));
}

TEST_F(Batch, RunDACmdTruncatesItsCodeAndSetsTheResultOnlyOnSuccess) {
  struct Code { double given; std::int32_t sent; } codes[] = {{2.9, 2}, {-2.9, -2}, {0.99, 0}, {3e9, 2147483647}};
  for (const Code& c : codes) {
    Run("RunDACmd", {N(c.given), S("T")});
    EXPECT_EQ(Calls(), (Lines{Connect("T"), Send("T", c.sent, "", true), Disconnect("T")})) << c.given;
  }
  // Empty texts leave no tab; the status of command 13 comes back whole, and
  // the wait for a method edit is the batch commands' alone (no prompt).
  Set("Task", "EditPolls", "1");
  DialogScript none({});
  Outcome o = Run("RunDACmd", {N(13), S("T"), N(1), S("A"), S(""), S("B"), Omit(), S("")});
  none.finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(Calls(), (Lines{Connect("T"), Send("T", 13, "A\tB"), Disconnect("T")}));
  EXPECT_EQ(Num("DACmdRes"), 105);
  // An unknown code fails in the task: its text is raised, DACmdRes stays.
  host_->vars().setNumber("DACmdRes", 77);
  o = Run("RunDACmd", {N(2), S("T"), Omit(), Omit(), Omit(), Omit(), Omit(), S("E")});
  EXPECT_EQ(Raised(o), A("ｺﾏﾝﾄﾞ 2 はﾃﾞｰﾀ解析ﾀｽｸにありません."));
  EXPECT_EQ(Calls(), (Lines{Connect("T"), Send("T", 2, "E", true), Disconnect("T")}));
  EXPECT_EQ(Num("DACmdRes"), 77);
}

// Each step of the frame failing: a refused connection sends nothing more;
// a refused request is still followed by the disconnect; the link's text is
// raised whole, even when it fills the 1004-byte buffer.
TEST_F(Batch, FrameFailuresRaiseTheLinksText) {
  const std::string full = A("ﾃﾞｰﾀ解析ｴﾗｰ ") + std::string(1003 - 12, 'x');
  ASSERT_EQ(full.size(), 1003u);
  Set("Task", "FailText", full);
  struct Case {
    std::string word;
    std::vector<Arg> args;
    std::string connectTag, failing;
    Lines before;  // calls before the connection
    bool editWait;
  } cases[] = {
      {"BatchAdd", {S("f"), S("T")}, "VEXHUB", "DaSendCommand 4", {}, true},
      {"BatchOpen", {S("b"), S("T")}, "T", "DaOpenBatch", {}, true},
      {"VerifyBatchQC", {S("d"), S("r"), S("q"), S(names_), S("T")}, "VEXHUB", "DaSendCommand 12", {}, true},
      {"RunDACmd", {N(1), S("T")}, "T", "DaSendCommandAlt", {}, false},
      {"WaitForDARun", {S("T"), N(0)}, "T", "DaWaitRunAlt", {kRunning}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Set("Task", "Fail", "DaConnect");
    Outcome o = Run(c.word, c.args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(Raised(o), full);
    Lines expected = c.before;
    expected.push_back(Connect(c.connectTag));
    EXPECT_EQ(Calls(), expected);

    Set("Task", "Fail", c.failing);
    o = Run(c.word, c.args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(Raised(o), full);
    Lines calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.size(), c.before.size() + (c.editWait ? 4 : 3));
    EXPECT_EQ(calls.back(), Disconnect(c.connectTag));
    EXPECT_EQ(Get("Task", "Connections"), "0");
  }
  // A double-byte character that the buffer cuts in half goes whole.
  Set("Task", "FailText", full.substr(0, 1002) + A("エ"));
  Set("Task", "Fail", "DaSendCommandAlt");
  EXPECT_EQ(Raised(Run("RunDACmd", {N(1), S("T")})), full.substr(0, 1002));
  Set("Task", "FailText", full);
  // A refused disconnect is not the command's failure.
  Set("Task", "Fail", "DaDisconnect");
  Outcome o = Run("RunDACmd", {N(1), S("T")});
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.raised.empty());
  // CheckEditMode: a refused connection leaves the variable; a refused
  // query reads as "not being edited".
  host_->vars().setNumber("v", 5);
  Set("Task", "Fail", "DaConnect");
  EXPECT_EQ(Raised(Run("CheckEditMode", {S("T"), S("v")})), full);
  EXPECT_EQ(Num("v"), 5);
  Set("Task", "Fail", "DaIsEditMode");
  Set("Task", "EditPolls", "3");
  EXPECT_EQ(Run("CheckEditMode", {S("T"), S("v")}).status, 0);
  EXPECT_EQ(Num("v"), 0);
}

// What each word's own checks let through, exactly at its limits, and the
// switches, which count only when given, and as given (not rounded). A failed
// check sends nothing. (Each single text limit and missing argument, and the
// message of two at once, the robustness sweep checks for every word.)
TEST_F(Batch, ArgumentsSwitchesAndLimits) {
  const std::string names = names_, b = dir_.file("b"), opens = " batch=" + Q(b) + " source=\"\" import=0 methodAndData=1 open=";
  auto x = [](std::size_t n) { return std::string(n, 'x'); };
  const std::string t263 = x(263), j663 = x(135) + "\t" + x(135) + "\t" + x(135) + "\t" + x(135) + "\t" + x(119);
  struct Case {
    std::string word;
    std::vector<Arg> args;
    std::string message;  // "" when the call reaches the task
    std::string sent;     // then a text the task must have received
  } cases[] = {
      {"BatchAnalyze", {S(x(3000)), S(t263)}, "", Q(x(3000))},
      {"BatchAnalyze", {S("b"), S("T"), N(-0.25)}, "", Send("T", 5, "b")},
      {"BatchAdd", {S(x(261)), S(t263)}, "", "tag=" + Q(t263) + " code=4 text=" + Q("TRUE\tTRUE\t" + x(261))},
      {"BatchOpen", {S(b), S("T"), N(0.4)}, "", Link(8, "DaOpenBatch", "T", opens + "1")},
      {"BatchOpen", {S(b)}, "", Link(8, "DaOpenBatch", "", opens + "1")},
      // Every required text is checked before any is measured; the tag before their sum.
      {"VerifyBatchQC", {S("d"), S(x(264)), S("q"), Omit()}, Msg(1008), ""},
      {"VerifyBatchQC", {S(x(100)), S(x(263)), S(x(145)), S(names), S(x(264))}, Msg(1007, 263), ""},
      {"VerifyBatchQC", {S(x(100)), S(x(263)), S(x(145)), S(names)}, Msg(1007, 507), ""},
      {"VerifyBatchQC", {S(x(100)), S(x(263)), S(x(144)), S(names)}, "", Q(x(100) + "\\QuantResults\\" + x(263) + "\t" + x(144) + "\tS")},
      {"RunDACmd", {N(1), S("T"), Omit(), S(x(135)), S(x(135)), S(x(135)), S(x(135)), S(x(120))}, Msg(1007, 663), ""},
      {"RunDACmd", {N(1), S(t263), Omit(), S(x(135)), S(x(135)), S(x(135)), S(x(135)), S(x(119))}, "", Q(j663)},
      {"RunDACmd", {N(7), S("T"), N(0.5)}, "", Send("T", 7, "")},
      {"WaitForDARun", {S("T"), N(0.5)}, "", Link(9, "DaWaitRun", "T")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word + " " + c.message.substr(0, 12));
    Outcome o = Run(c.word, c.args);
    std::string all;
    for (const std::string& call : Calls()) all += call == kRunning ? "" : call + "\n";
    if (!c.message.empty()) {
      EXPECT_EQ(Raised(o), c.message);
      EXPECT_EQ(all, "") << "nothing may be sent";
    } else {
      EXPECT_NE(all.find(c.sent), std::string::npos) << all;
    }
  }
}

// BatchOpen reads the program directory and its settings before its
// arguments: no program directory fails silently, a source path over its
// limit comes before the missing batch, and each value is read up to 259
// bytes.
TEST_F(Batch, BatchOpenReadsItsSettingsFirst) {
  host_->vars().setString("_EXEPATH$", "");
  Outcome o = Run("BatchOpen", {});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.raised.empty());
  EXPECT_EQ(Calls(), Lines{});

  struct Case {
    std::string settings, message;
  } cases[] = {
      {"SourcePath=" + std::string(259, 'p') + "\r\nXmlFile=a.C\r\n", Msg(1008)},            // 263 bytes
      {"SourcePath=" + std::string(300, 'p') + "\r\nXmlFile=a.C\r\n", Msg(1008)},            // cut to 259
      {"SourcePath=" + std::string(250, 'p') + "\r\nXmlFile=ab.batch.xml\r\n", Msg(1007, 263)},  // 276 bytes
  };
  for (const Case& c : cases) {
    ImportSettings(c.settings);
    EXPECT_EQ(Raised(Run("BatchOpen", {Omit(), S(std::string(300, 't'))})), c.message) << c.settings.substr(0, 20);
  }
}

// The batch commands wait while the task's method is being edited, asking
// the user (that each of the five polls is shown by the whole batch above).
TEST_F(Batch, EditModeWaitAsksTheUser) {
  struct Case {
    std::string word;
    std::vector<Arg> args;
    std::string connectTag;
  } cases[] = {
      {"BatchAdd", {S("f"), S("T")}, "VEXHUB"},
      {"BatchOpen", {S("b"), S("T")}, "T"},
      {"VerifyBatchQC", {S("d"), S("r"), S("q"), S(names_), S("T")}, "VEXHUB"},
  };
  const HWND owner = host_->window();
  auto prompt = [&](int button) {
    return [=](DialogWindow& d) {
      EXPECT_EQ(d.text(), A("ﾃﾞｰﾀ解析ﾒｿｯﾄﾞの編集を終了して下さい."));
      EXPECT_EQ(d.caption(), "");
      EXPECT_EQ(d.owner(), owner);
      EXPECT_EQ(d.buttons(), (std::vector<int>{IDOK, IDCANCEL}));
      EXPECT_EQ(d.icon(), LoadIconA(nullptr, IDI_INFORMATION));
      d.press(button);
    };
  };
  // OK asks again while the edit goes on; Cancel ends the command, which
  // succeeds without its request.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Set("Task", "EditPolls", "2");
    DialogScript script({prompt(IDOK), prompt(IDCANCEL)});
    Outcome o = Run(c.word, c.args);
    script.finish();
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty());
    EXPECT_EQ(Calls(), (Lines{Connect(c.connectTag), Poll("T"), kRunning, Poll("T"), Disconnect(c.connectTag)}));
  }
  // The edit ends after one OK: the request goes.
  Set("Batch", "Path", dir_.path());
  Set("Task", "EditPolls", "1");
  DialogScript ok({prompt(IDOK)});
  EXPECT_EQ(Run("BatchImportStd", {S("s"), S("T")}).status, 0);
  ok.finish();
  EXPECT_EQ(Calls(), (Lines{Connect("T"), Poll("T"), kRunning, Poll("T"), Send("T", 10, "s"), Disconnect("T")}));
  // The task ends while the prompt is shown: OK ends the command.
  Set("Task", "EditPolls", "5");
  DialogScript ended({[&](DialogWindow& d) {
    Set("Task", "Running", "0");
    d.press(IDOK);
  }});
  EXPECT_EQ(Run("BatchImportStd", {S("s"), S("T")}).status, 0);
  ended.finish();
  EXPECT_EQ(Calls(), (Lines{Connect("T"), Poll("T"), kRunning, Disconnect("T")}));
}

// The task not running: the queries answer without a connection, and
// WaitForDARun does not even read its arguments.
TEST_F(Batch, TaskNotRunning) {
  Set("Task", "Running", "0");
  Lines ops;
  host_->onTrace = [&](const char* op, const std::string&, std::uint16_t) { ops.push_back(op); };
  Outcome o = Run("WaitForDARun", {Omit(), S("no")});
  host_->onTrace = nullptr;
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(ops, Lines{}) << "no argument read";
  host_->vars().setNumber("v", 5);
  EXPECT_EQ(Run("CheckEditMode", {S("T"), S("v")}).status, 0);
  Run("CheckDaExistance", {S("r")});
  EXPECT_EQ(Run("BringDAToTop", {}).status, 0);
  EXPECT_EQ(Calls(), (Lines{kRunning, kRunning, kRunning, kToTop}));
  EXPECT_EQ(Num("v") + Num("r"), 0);
  // A connection is refused with the task's own text.
  EXPECT_EQ(Raised(Run("BatchAdd", {S("f")})), A("ﾃﾞｰﾀ解析ﾀｽｸが起動していません."));
  // DaIsRunning's answer is stored as it comes.
  Set("Task", "Running", "7");
  Run("CheckDaExistance", {S("r")});
  EXPECT_EQ(Num("r"), 7);
}

}  // namespace
}  // namespace mcrtest
