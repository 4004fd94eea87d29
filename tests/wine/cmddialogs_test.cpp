// The dialogs of QCUNREPELEM (265), SelectTuneStep (319), EditMethAskAbort
// (325), SVMETHCAL (353, with its folder browser), OFFLINECFG (355),
// QCTuneConfig (369) and DispQCInfo's box, driven as an operator would: what
// they show, each way out, the files and variables afterwards, their help
// and window information. (Calls that show nothing: tests/calls/dialogs.calls.)
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "dialogs.h"
#include "qcfixtures.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using Strings = std::vector<std::string>;
using Keys = std::vector<std::pair<std::string, std::string>>;
using Steps = std::vector<DialogScript::Step>;

constexpr int kMeasured = 1001, kAdd = 1002, kDelete = 1003, kUnreported = 1004;                  // 265
constexpr int kStepList = 1001;                                                                   // 319
constexpr int kAbort = 1000, kContinue = 1001, kBack = 1002;                                      // 325
constexpr int kMethod = 102, kMethodBrowse = 103, kCalib = 105, kCalibBrowse = 106, kName = 108;  // 353
constexpr int kType = 103, kPump = 104, kApp = 106, kSampler = 108, kMass = 110, kLoadOnline = 120;  // 355
constexpr int kSelect = 1001, kFailAction = 1201, kMethodEdit = 1400, kPercent = 1407;            // 369

// A file of tests/golden, written by hand (UTF-8), and a text to compare
// with one: in UTF-8, its lines ending as the golden files' do.
std::string Golden(const std::string& name) { return ReadAll(std::string(MCR_SOURCE_DIR) + "/tests/golden/" + name); }
std::string Lf(const std::string& ansi) {
  std::string text = U(ansi);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string Ini(const Keys& keys) {
  std::string s = "[PCS,1]\r\n";
  for (const auto& [k, v] : keys) s += k + "=" + v + "\r\n";
  return s;
}

// A message box: its text, its icon, OK.
DialogScript::Step Box(const std::string& text, LPCSTR icon) {
  return [=](DialogWindow& box) {
    EXPECT_EQ(U(box.text()) + (box.icon() == LoadIconA(nullptr, icon) ? "" : " (another icon)"), U(text));
    box.press(IDOK);
  };
}

// The workstation as the dialogs find it: a tune-step method whose run group
// 1 measures masses 1, 2, 7, 59 and 260 and run group 3 masses 7 and 238,
// with unreported elements for steps 1 to 3; a program directory with the
// standard RAPS applications and online settings; an installation with one
// application file; the workstation key pointing at it.
class Dialogs : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    key_.Point(inst_);
    for (const std::string& f : {inst_, inst_ + "\\icpexe", inst_ + "\\RAPS", prog_}) CreateDirectoryA(f.c_str(), nullptr);
    WriteAll(inst_ + "\\RAPS\\a.mpu", "#APP_BEG\r\nAppName\tX\r\n#APP_END\r\n");
    WriteAll(prog_ + "mpm.tbl", "#STD_BEG\r\nStd1\tstd1a.mpu\tstd1.mpm\r\nStd2\tstd2a.mpm\tstd2.mpm\r\n#STD_END\r\n");
    WriteAll(prog_ + "vexmon.ist", Ini({{"_PPUMP", "1"}}));
    host_->vars().setString("_EXEPATH$", prog_);
    host_->vars().setString("_INSTPATH$", inst_ + "\\");
    host_->vars().setString("_MethPath$", "C:\\ICPMS\\METHODS\\");
    LayOutMethod();
    // Step 1 leaves out 1 and 59 (mass 100's entry has a flag byte of 0 and a
    // byte above it), step 2 mass 3 (its file ends inside mass 260's entry),
    // step 3 mass 238 (a byte above the flag too).
    Bytes files[] = {Bytes(1040).i32(4 * 58, 1).i32(0, 1).i32(4 * 99, 0x100),
                     Bytes(1040).i32(4 * 2, 1).i32(4 * 259, 1).resize(1038), Bytes(1040).i32(4 * 237, 0x101)};
    for (int step : {1, 2, 3}) unrep_.push_back(Save(files[step - 1], Unrep(step)));
  }
  void LayOutMethod() {
    host_->vars().setString("_CurrentMeth$", dir_.path());
    Save(fx::Method(4), dir_.file("run.icp"));
    Save(fx::RunGroup({{59, "Co"}, {1, "H"}, {7, "Li"}, {2, "He"}, {260, "Zz"}}), dir_.file("rungroup.01"));
    DeleteFileA(dir_.file("rungroup.02").c_str());
    Save(fx::RunGroup({{238, "U"}, {7, "Li"}}), dir_.file("rungroup.03"));
  }
  std::string Unrep(int step) const { return dir_.file("qcunrep.0" + std::to_string(step)); }
  void ExpectUnrepUnchanged() {
    for (const Snapshot& s : unrep_) ExpectUnchanged(s);
    for (int step : {4, 5, 6}) EXPECT_EQ(GetFileAttributesA(Unrep(step).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  // Runs the word with the steps; the call must end with status 0.
  void Run(const char* word, std::vector<Arg> args, Steps steps) {
    DialogScript script(std::move(steps));
    Ok(host_->call(word, std::move(args)));
  }
  void Open(int dialog, Steps steps) {
    if (dialog == 369) Run("QCTuneConfig", {}, std::move(steps));
    else if (dialog == 353) Run("SVMETHCAL", {S("C:\\m"), S("C:\\c"), S("n")}, std::move(steps));
    else Run("OFFLINECFG", {S(settings_)}, std::move(steps));
  }
  // Variables as one line: a number whole, a text as it is, a table its numbers.
  std::string Vars(const Strings& names) {
    std::string line;
    for (const std::string& n : names) {
      const mcrhost::Var* v = host_->vars().find(n);
      using Type = mcrhost::Var::Type;
      std::string value = !v ? "<missing>" : v->type == Type::String ? U(v->text)
                        : v->type == Type::Number ? std::to_string(static_cast<int>(v->number)) : "";
      for (double d : v && v->type == Type::Table ? *host_->vars().table(v->table) : std::vector<double>{})
        value += (value.empty() ? "" : " ") + std::to_string(static_cast<int>(d));
      line += (line.empty() ? "" : "|") + value;
    }
    return line;
  }

  WorkstationKey key_;
  std::vector<Snapshot> unrep_;
  std::string inst_ = dir_.file("inst"), prog_ = dir_.file("prog\\"), settings_ = dir_.file("offline.ist");
  std::string tuneIni_ = prog_ + "qctune.ini";
};

// Each dialog as its dump shows it, owned by the host window; the properties
// it keeps while open (the first the host's context, but for 353) and
// removes on its way out; and what that way out leaves in the variable.
TEST_F(Dialogs, EachLooksAsDesigned) {
  host_->vars().setNumber("_optintro", 5);  // the fourth type: "SITYPE" 3
  struct Look { const char* word; std::vector<Arg> args; const char* golden; Strings properties; int out;
                const char* variable; double value; } looks[] = {
      {"QCUNREPELEM", {}, "dialog_265.txt", {"srvPasskey", "Dlg265Data"}, IDCANCEL, "_Button", 0},
      {"SelectTuneStep", {}, "dialog_319.txt", {"srvPasskey"}, IDOK, "SelectedTuneStep", 1},
      {"EditMethAskAbort", {}, "dialog_325.txt", {"srvPasskey"}, kContinue, "_Button", 1},
      {"SVMETHCAL", {S("C:\\m"), S("C:\\c"), S("n")}, "dialog_353.txt", {"SVMETHCALRMS"}, IDCANCEL, "_BUTTON", 0},
      // Without Help, OK stands where Cancel stood and Cancel where Help stood.
      {"SVMETHCAL", {S("C:\\m"), S("C:\\c"), S("n"), Omit(), N(0.4)}, "dialog_353_nohelp.txt", {"SVMETHCALRMS"}, IDCANCEL,
       "_BUTTON", 0},
      {"OFFLINECFG", {S(settings_)}, "dialog_355.txt", {"SRVPASSKEY", "355PRM", "SITYPE"}, IDCANCEL, "_BUTTON", 0},
      {"QCTuneConfig", {}, "dialog_369.txt", {"srvPasskey"}, IDCANCEL, "_BUTTON", 99},
  };
  for (const Look& l : looks) {
    SCOPED_TRACE(l.golden);
    host_->vars().setNumber(l.variable, 99);
    Run(l.word, l.args, {[&](DialogWindow& d) {
      EXPECT_EQ(Lf(d.dump()), Golden(l.golden));
      EXPECT_EQ(d.owner(), host_->window());
      for (const std::string& p : l.properties) EXPECT_NE(GetPropA(d.hwnd(), p.c_str()), nullptr) << p;
      EXPECT_TRUE(l.properties[0] == "SVMETHCALRMS" || GetPropA(d.hwnd(), l.properties[0].c_str()) == host_->context());
      // (The focus is this thread's only while the dialog is active: a suite beside this one may hold the activation.)
      EXPECT_TRUE(l.golden != std::string("dialog_353.txt") || GetActiveWindow() != d.hwnd() || GetFocus() == d.item(IDOK));
      d.press(l.out);
      // The dialog has ended but not yet gone: its properties are already removed.
      for (const std::string& p : l.properties) EXPECT_EQ(GetPropA(d.hwnd(), p.c_str()), nullptr) << p;
    }});
    EXPECT_EQ(Num(l.variable), l.value);
  }
}

// A list as one line: "  7\tLi\t#1" reads "7 Li #1", entries joined by ", ".
std::string Line(const Strings& items) {
  std::string line;
  for (const std::string& item : items) {
    std::string entry = item.substr(item.find_first_not_of(' '));
    std::replace(entry.begin(), entry.end(), '\t', ' ');
    line += (line.empty() ? "" : ", ") + entry;
  }
  return line;
}

TEST_F(Dialogs, UnreportedMovesThenOkRewritesEverySixFiles) {
  // Each operation on the entries of a list that read so, and list 1004
  // after it. A double click acts only on one entry selected alone.
  enum Op { AddSel, DeleteSel, Dbl };
  struct Move { int list; Strings select; Op op; const char* after; } moves[] = {
      {kUnreported, {"1 #1"}, DeleteSel, "3 #2, 59 #1, 238 #3"},
      // Mass 1 cannot be added; 2 and 260, the bounds, can.
      {kMeasured, {"1 H #1", "2 He #1", "7 Li #1", "260 Zz #1"}, AddSel, "2 #1, 3 #2, 7 #1, 59 #1, 238 #3, 260 #1"},
      {kMeasured, {"7 Li #1", "7 Li #3"}, Dbl, "2 #1, 3 #2, 7 #1, 59 #1, 238 #3, 260 #1"},
      {kMeasured, {"7 Li #3"}, Dbl, "2 #1, 3 #2, 7 #1, 7 #3, 59 #1, 238 #3, 260 #1"},
      // Already listed: no second copy.
      {kMeasured, {"7 Li #1", "7 Li #3", "238 U #3"}, AddSel, "2 #1, 3 #2, 7 #1, 7 #3, 59 #1, 238 #3, 260 #1"},
      {kUnreported, {"2 #1", "3 #2"}, Dbl, "2 #1, 3 #2, 7 #1, 7 #3, 59 #1, 238 #3, 260 #1"},
      {kUnreported, {"59 #1"}, Dbl, "2 #1, 3 #2, 7 #1, 7 #3, 238 #3, 260 #1"},
      {kUnreported, {"2 #1", "7 #3", "238 #3"}, DeleteSel, "3 #2, 7 #1, 260 #1"},
  };
  Run("QCUNREPELEM", {}, {[&](DialogWindow& d) {
    for (const Move& m : moves) {
      SCOPED_TRACE(&m - moves);
      std::vector<int> indexes;
      Strings items = d.listItems(m.list);
      for (std::size_t i = 0; i < items.size(); ++i)
        if (std::count(m.select.begin(), m.select.end(), Line({items[i]}))) indexes.push_back(static_cast<int>(i));
      ASSERT_EQ(indexes.size(), m.select.size());
      d.selectList(m.list, indexes);
      m.op == Dbl ? d.notify(m.list, LBN_DBLCLK) : d.press(m.op == AddSel ? kAdd : kDelete);
      EXPECT_EQ(Line(d.listItems(kUnreported)), m.after);
    }
    d.press(IDOK);
  }});
  EXPECT_EQ(Num("_BUTTON"), 1.0);
  // The flags come from the list; the bytes above them stay as read.
  const Bytes want[] = {Bytes(1040).i32(4 * 6, 1).i32(4 * 99, 0x100).i32(4 * 259, 1), Bytes(1040).i32(4 * 2, 1),
                        Bytes(1040).i32(4 * 237, 0x100), Bytes(1040), Bytes(1040), Bytes(1040)};
  for (int step = 1; step <= 6; ++step) EXPECT_TRUE(Bytes::Load(Unrep(step)) == want[step - 1]) << step;
}

TEST_F(Dialogs, UnreportedEscHelpAndAnEndFromOutsideWriteNothing) {
  // Help asks the host for topic 265 and leaves the dialog open; Esc is Cancel.
  Run("QCUNREPELEM", {}, {[&](DialogWindow& d) {
    d.selectList(kUnreported, {0, 1, 2, 3});
    d.press(kDelete);
    d.press(IDHELP);
    EXPECT_EQ(host_->helpTopic(), (265u << 16) | 1u);
    d.key(VK_ESCAPE);
  }});
  EXPECT_EQ(Num("_BUTTON"), 0.0);
  // Ended by the platform, not by a button: _BUTTON untouched, nothing left behind.
  host_->vars().setNumber("_BUTTON", 99);
  HGLOBAL data = nullptr;
  Run("QCUNREPELEM", {}, {[&](DialogWindow& d) {
    data = GetPropA(d.hwnd(), "Dlg265Data");
    EndDialog(d.hwnd(), IDCANCEL);
  }});
  EXPECT_EQ(Num("_BUTTON"), 99.0);
  EXPECT_EQ(GlobalSize(data), 0u);
  ExpectUnrepUnchanged();
}

// A warning names the method header when the method itself cannot be read,
// the first run group when none of a tune-step method's exists, and
// otherwise the run group that could not be read whole: the dialog closes as
// Cancel, its data with it. A file that cannot be created stops the writing.
TEST_F(Dialogs, UnreportedWarnings) {
  const std::string group1 = dir_.file("rungroup.01"), group2 = dir_.file("rungroup.02");
  struct Case { std::function<void()> spoil; std::string text; } cases[] = {
      {[&] { host_->vars().setString("_CurrentMeth$", ""); }, Msg(1021)},
      {[&] { DeleteFileA(dir_.file("run.icp").c_str()); }, Msg(1002, dir_.file("run.icp"))},
      {[&] { DeleteFileA(group1.c_str()), DeleteFileA(dir_.file("rungroup.03").c_str()); }, Msg(1002, group1)},
      {[&] { Save(fx::RunGroup({{9, "Be"}}).resize(436 + 25), group2); }, Msg(1002, group2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U(c.text));
    c.spoil();
    host_->vars().setNumber("_BUTTON", 99);
    HGLOBAL data = nullptr;
    Run("QCUNREPELEM", {}, {[&](DialogWindow& box) {
      EXPECT_EQ(box.buttons(), std::vector<int>{IDOK});
      EXPECT_EQ(GetWindow(box.owner(), GW_OWNER), host_->window()) << "owned by the dialog";
      data = GetPropA(box.owner(), "Dlg265Data");
      Box(c.text, IDI_WARNING)(box);
    }});
    EXPECT_TRUE(data && !GlobalSize(data)) << "the dialog's data, freed";
    EXPECT_EQ(Num("_BUTTON"), 0.0);
    ExpectUnrepUnchanged();
    LayOutMethod();
  }
  // Held open without sharing, qcunrep.03 cannot be created anew.
  HANDLE held = CreateFileA(Unrep(3).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Run("QCUNREPELEM", {}, {Press(IDOK), Box(Msg(1022), IDI_WARNING)});
  CloseHandle(held);
  EXPECT_EQ(Num("_BUTTON"), 1.0);
  EXPECT_EQ(Bytes::Load(Unrep(2)).size(), 1040u);  // rewritten whole, the part of an entry too
  ExpectUnchanged(unrep_[2]);
  EXPECT_EQ(GetFileAttributesA(Unrep(4).c_str()), INVALID_FILE_ATTRIBUTES);
}

// Only a click on OK takes the step chosen; any other way out is step 1.
// DispQCInfo's box shows the original QC file, "---" without one.
TEST_F(Dialogs, TuneStepAndQcInformation) {
  struct Way { int choose, button; WORD notification; double step; } ways[] = {
      {3, IDOK, BN_CLICKED, 4}, {4, IDCANCEL, BN_CLICKED, 1}, {2, IDOK, 1, 1}};
  for (const Way& w : ways) {
    host_->vars().setNumber("SelectedTuneStep", 99);
    Run("SelectTuneStep", {}, {[&](DialogWindow& d) {
      if (w.choose >= 0) d.selectCombo(kStepList, w.choose);
      d.notify(w.button, w.notification);
    }});
    EXPECT_EQ(Num("SelectedTuneStep"), w.step) << &w - ways;
  }
  SetFocus(host_->window());  // the box's owner
  for (bool file : {false, true}) {
    const std::string path = file ? "C:\\ICPMS\\QCMODE\\" : "---", name = file ? "GENERAL.QCC" : "---";
    if (file) WriteAll(dir_.file("qcinfo.ini"), "[QCINFO]\r\nOrgPath=" + path + "\r\nOrgFile=" + name + "\r\n");
    Run("DispQCInfo", {}, {[&](DialogWindow& d) {
      EXPECT_EQ(U(d.caption()) + (d.owner() == host_->window() ? "" : " (not the host's)"), "QC情報");
      EXPECT_EQ(d.buttons(), std::vector<int>{IDOK});
      Box(Msg(1233, path, name), nullptr)(d);
    }});
  }
}

TEST_F(Dialogs, EditMethodPromptClosesOnlyThroughItsButtons) {
  for (int button : {kAbort, kContinue, kBack}) {
    host_->vars().setNumber("_BUTTON", 99);
    Run("EditMethAskAbort", {}, {[&](DialogWindow& d) {
      d.key(VK_ESCAPE);
      for (WPARAM command : {IDOK, IDCANCEL}) SendMessageA(d.hwnd(), WM_COMMAND, command, 0);
      SendMessageA(d.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
      MSG m;  // the posted Esc, as the dialog's own loop would handle it
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageA(d.hwnd(), &m)) DispatchMessageA(&m);
      EXPECT_EQ(Num("_BUTTON"), 99.0);
      EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context()) << "still open";
      d.press(button);
    }});
    EXPECT_EQ(Num("_BUTTON"), button - kAbort);
  }
}

// The file as the dialog finds it, what is shown (the method, the mass-defect
// box and the action, then each criterion's box and flag, and the
// percentage), what the operator does, and the file afterwards: only OK
// writes, the method chosen included.
TEST_F(Dialogs, TuneCriteriaReadEditedAndWritten) {
  TempDir logDir;
  const std::string log = logDir.file("dlgframe.log");
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", log.c_str());
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", "D:\\NEW\\|PICKED.M");
  const std::vector<int> shown = {kMethodEdit, 1100, kFailAction, 1300, 1401, 1301, 1402, 1302, 1403,
                                  1303,        1404, 1304,        1405, 1305, 1406, kPercent};
  const std::string stored =
      "[Header]\r\nMethPath=C:\\ICPMS\\METHODS\\\r\nMethFile=TUNE.M\r\n[Tune]\r\nExactMass=1\r\nAOF3=1\r\n"
      "TNITEM1=1,0.1,0\r\nTNITEM2=0,5000,0\r\nTNITEM3=1,,0\r\nTNITEM4=1,0.8,10\r\nTNITEM5=,,,\r\nTNITEM6=2\r\n";
  auto edit = [](DialogWindow& d) {
    d.setText(kPercent, "15%");  // put right when it loses the focus
    d.notify(kPercent, EN_KILLFOCUS);
    EXPECT_EQ(d.itemText(kPercent), "15");
    d.setText(kPercent, "25");
    d.setText(kMethodEdit, "C:\\OLD\\ONE.M");
    d.press(kSelect);
    EXPECT_EQ(d.itemText(kMethodEdit), "D:\\NEW\\PICKED.M");
    for (int id : {1100, 1301, 1304}) CheckDlgButton(d.hwnd(), id, BST_CHECKED);
    for (int id : {1300, 1302, 1303}) CheckDlgButton(d.hwnd(), id, BST_UNCHECKED);
    d.setText(1401, "0.2");
    d.setText(1402, std::string(260, 'g'));  // 259 bytes taken
    d.setText(1404, A("高い"));
    d.setText(1406, std::string(258, 'f') + A("高"));  // read in 259 bytes: no half character
    d.selectCombo(kFailAction, 1);
  };
  const std::string storedShown = "C:\\ICPMS\\METHODS\\TUNE.M 1 1/2 1 0.1 0 5000 1 0 1 0.8 0  1  10";
  struct Case { std::string before, shown; std::function<void(DialogWindow&)> act; int out; std::string after; } cases[] = {
      {"", "C:\\ICPMS\\METHODS\\ 0 -1/2 0  0  0  0  0  0", nullptr, IDOK, A(Golden("qctune_defaults.ini"))},
      {stored, storedShown, edit, IDCANCEL, stored},
      {stored, storedShown, edit, IDOK, A(Golden("qctune_edited.ini"))},
  };
  for (const Case& c : cases) {
    DeleteFileA(tuneIni_.c_str());
    if (!c.before.empty()) WriteAll(tuneIni_, c.before);
    Run("QCTuneConfig", {}, {[&](DialogWindow& d) {
      EXPECT_EQ(U(d.state(shown)), c.shown);
      if (c.act) c.act(d);
      d.press(c.out);
    }});
    EXPECT_EQ(Lf(ReadAll(tuneIni_)), Lf(c.after)) << &c - cases;
  }
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", nullptr);
  const std::string selected = "SelectMethodFile owner=1 kind=4 title=Title pattern=*.M dir=C:\\OLD\\ file=ONE.M\r\n";
  EXPECT_EQ(ReadAll(log), selected + selected);
}

TEST_F(Dialogs, MethCalFoldersNamesAndRefusals) {
  host_->vars().setString("_METHPATH$", "C:\\meth");
  host_->vars().setString("_CALPATH$", "C:\\cal\\");
  host_->vars().setString("_METHFILE$", "D:\\x\\N1.M");
  const std::string title = A("ﾒｿｯﾄﾞ及び検量線のためのﾌｧｲﾙ名を指定");
  // Omitted texts come from the host, folders end in "\", a name is cut to
  // its name part; a refused name keeps the dialog open until put right;
  // only the variables named are set, and emptied after Cancel.
  struct Case { std::vector<Arg> args; std::string shown, typed, refusal, vars; } cases[] = {
      {{Omit(), Omit(), Omit(), Omit(), Omit(), S("m$"), S("c$"), S("n$")}, "C:\\meth\\ C:\\cal\\ N1", "ab.c",
       Msg(1041), "C:\\meth\\|C:\\cal\\|ok"},
      {{S("E:\\a"), S("E:\\b\\"), S("abc.def.ghi"), Omit(), Omit(), Omit(), S("c$")}, "E:\\a\\ E:\\b\\ abc.def",
       "a b c d e", Msg(1042), "old|E:\\b\\|old"},
      {{S(""), S("E:\\b"), Omit(), Omit(), Omit(), S("m$"), S("c$")}, " E:\\b\\ N1", "ab", Msg(1038), "||old"},
  };
  for (const Case& c : cases) {
    for (const char* v : {"m$", "c$", "n$"}) host_->vars().setString(v, "old");
    const bool folders = c.refusal != Msg(1038);
    Run("SVMETHCAL", c.args, {[&](DialogWindow& d) {
      EXPECT_EQ(d.state({kMethod, kCalib, kName}), c.shown);
      d.setText(kName, c.typed);
      d.press(IDOK);
    }, [&](DialogWindow& box) {
      EXPECT_EQ(box.caption(), title);
      Box(c.refusal, IDI_HAND)(box);
    }, [&](DialogWindow& d) {
      d.setText(kName, "ok");
      folders ? d.key(VK_RETURN) : d.press(IDCANCEL);
    }});
    EXPECT_EQ(Vars({"_BUTTON", "m$", "c$", "n$"}), (folders ? "1|" : "0|") + c.vars) << &c - cases;
  }
}

TEST_F(Dialogs, MethCalBuffersAreBounded) {
  using Ui = int(WINAPI*)(HWND, HINSTANCE, int, const char*, const char*, const char*, const char*, char*, char*, char*);
  auto ui = reinterpret_cast<Ui>(GetProcAddress(host_->library(), "SvMethCalUI"));
  ASSERT_NE(ui, nullptr);
  const std::string f256 = "C:\\" + std::string(252, 'f') + "\\", f257 = f256 + "g", x255(255, 'x');
  char out[3][258];
  std::memset(out, 'Q', sizeof out);
  // Cancel writes nothing; what does not fit its 257 bytes shows no dialog.
  DialogScript script({Press(IDCANCEL), Press(IDOK), Press(IDOK)});
  EXPECT_EQ(ui(nullptr, nullptr, 1, f256.c_str(), "C:\\c\\", "n", nullptr, out[0], out[1], out[2]), 0);
  EXPECT_EQ(out[0][0], 'Q');
  EXPECT_EQ(ui(nullptr, nullptr, 1, f257.c_str(), "C:\\c\\", "n", "", out[0], out[1], out[2]), -1);
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", x255.c_str(), out[0], out[1], out[2]), -1);
  EXPECT_EQ(ui(host_->window(), nullptr, 0, f256.c_str(), "C:\\c\\", "nm", "M", out[0], out[1], out[2]), 1);
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", nullptr, nullptr, nullptr, nullptr), 1);
  script.finish();
  EXPECT_EQ((Strings{out[0], out[1], out[2]}), (Strings{f256, "C:\\c\\", "nm"}));
  EXPECT_EQ(out[0][257], 'Q');
}

// The folders the browser is asked to select (BFFM_SETSELECTIONA), seen
// through a hook on the messages sent to this thread's windows.
Strings g_selections;
LRESULT CALLBACK SeeSelections(int code, WPARAM wp, LPARAM lp) {
  auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && m->message == BFFM_SETSELECTIONA)
    g_selections.push_back(m->wParam ? reinterpret_cast<const char*>(m->lParam) : "(an item list)");
  return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(Dialogs, MethCalFolderBrowser) {
  // This Wine's browser cannot walk to a folder under the user's profile,
  // where the temporary folder is: these folders live under C:\.
  TempDir root("C:\\");
  const std::string meth = root.file("A.m") + "\\", cal = root.file("cal") + "\\", capitals = root.file("CAL") + "\\";
  CreateDirectoryA(meth.c_str(), nullptr);
  CreateDirectoryA(cal.c_str(), nullptr);
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, SeeSelections, nullptr, GetCurrentThreadId());
  // On opening, the callback asks the browser to select the folder shown,
  // under the title 1244 and without a New Folder button. (Wine's walk to it
  // now and then stops short; the test then asks again.)
  auto browser = [&](std::string shown, const char* name, int button) {
    return [=](DialogWindow& d) {
      EXPECT_EQ(g_selections, Strings{shown});
      EXPECT_NE(d.text().find(Msg(1244)), std::string::npos);
      EXPECT_EQ(d.buttons(), (std::vector<int>{IDOK, IDCANCEL}));
      HWND tree = FindWindowExA(d.hwnd(), nullptr, WC_TREEVIEWA, nullptr);
      char text[MAX_PATH] = {};
      TVITEMA item{TVIF_TEXT, nullptr, 0, 0, text, MAX_PATH, 0, 0, 0, 0};
      for (int i = 0; i < 5 && (i == 0 || std::strcmp(text, name) != 0); ++i) {
        if (i) SendMessageA(d.hwnd(), BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(shown.c_str()));
        item.hItem = TreeView_GetSelection(tree);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      }
      EXPECT_STREQ(text, name);
      g_selections.clear();
      d.press(button);
    };
  };
  // A folder carrying a reserved extension is refused. The calibration folder
  // is given in capitals: the control then shows the browser's answer, in the
  // folder's own spelling.
  Run("SVMETHCAL", {S(meth), S(capitals), S("n"), S("C:M"), Omit(), S("m$"), S("c$")},
      {Press(kMethodBrowse), browser(meth, "A.m", IDOK), Box(Msg(1037, ".M"), IDI_HAND), Press(kCalibBrowse),
       browser(capitals, "cal", IDOK), Press(kMethodBrowse), browser(meth, "A.m", IDCANCEL), Press(IDOK)});
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(Vars({"m$", "c$"}), meth + "|" + cal);
}

// Dialog 355 in one line: type, autosampler, application, pump, the masses.
const std::vector<int> k355 = {kType, kSampler, kApp, kPump, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119};

// What the dialog shows first, from the variables ("NAME=number" or
// "NAME$=text") or the online settings; whatever is changed then, Cancel or
// Esc stores nothing.
TEST_F(Dialogs, OfflineFillsFromVariablesOrOnlineSettings) {
  using Act = std::function<void(DialogWindow&)>;
  const Act online = [](DialogWindow& d) { d.press(kLoadOnline); };
  auto type = [](int sampler, int type) -> Act {
    return [=](DialogWindow& d) {
      if (sampler >= 0) d.selectCombo(kSampler, sampler);
      d.selectCombo(kType, type);
    };
  };
  struct Case { Keys vars, online; Act act; std::string look; } cases[] = {
      // A RAPS application in use wins over the type; RAPS has its own autosamplers and no pump.
      {{{"_mpm", "0.6"}, {"_optintro", "0"}, {"_optals", "5"}, {"_MPMFile$", "a.mpu"}, {"_MPMApp$", "X"},
        {"OPT_PMP2", "1"}}, {{"_PPUMP", "1"}}, nullptr, "2/4 2/4 2/3 -0"},
      {{{"_mpm", "0.4"}, {"_optintro", "4.6"}, {"_optals", "1"}, {"OPT_PMP2", "1"}}, {{"_PPUMP", "1"}}, nullptr,
       "3/4 2/5 -0/3 1"},
      {{{"_optintro", "9"}, {"_optals", "7"}}, {{"_PPUMP", "1"}}, nullptr, "0/4 -1/5 -0/3 0"},
      {{{"_optintro", "0"}, {"OPT_PMP2", "1"}}, {{"_PPUMP", "0"}}, nullptr, "1/4 -1/5 -0/3 -0"},
      // The application by file and name, by name alone, or none; no file: the first.
      {{{"_mpm", "1"}, {"_MPMFile$", "zz"}, {"_MPMApp$", "std2"}}, {}, nullptr, "2/4 -1/4 1/3 -0"},
      {{{"_mpm", "1"}, {"_MPMFile$", "zz"}, {"_MPMApp$", "none"}}, {}, nullptr, "2/4 -1/4 -1/3 -0"},
      {{{"_mpm", "1"}, {"_MPMFile$", ""}, {"_MPMApp$", "X"}}, {}, nullptr, "2/4 -1/4 0/3 -0"},
      // The online settings: an empty autosampler key is the first entry, an unknown one none.
      {{{"_optintro", "4"}}, {{"_INHIBIT", "7 50x 0099 "}, {"_MPM", "1"}, {"_MPMFILE$", "a.mpu"}, {"SI_TYPE", "0"},
        {"ALS_TYPE", ""}, {"_PPUMP", "1"}}, online, "2/4 0/4 2/3 -0 7 50 99"},
      {{{"_optintro", "4"}}, {{"SI_TYPE", "5"}, {"ALS_TYPE", "1"}, {"OPT_PMP2", "1"}, {"_PPUMP", "1"}}, online,
       "3/4 2/5 -0/3 1"},
      {{{"_optals", "1"}}, {}, online, "0/4 0/5 -0/3 -0"},
      // Another type: its autosamplers from the first; the same type again keeps the choice.
      {{{"_optintro", "0"}}, {{"_PPUMP", "1"}}, type(3, 2), "2/4 0/4 0/3 -0"},
      {{{"_optintro", "0"}}, {{"_PPUMP", "1"}}, type(3, 1), "1/4 3/5 -0/3 0"},
      {{{"_optintro", "4"}, {"OPT_PMP2", "1"}}, {{"_PPUMP", "1"}}, type(-1, 3), "3/4 0/5 -0/3 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const char* v : {"_mpm", "_optintro", "_optals", "OPT_PMP2", "_MPMFile$", "_MPMApp$"}) host_->vars().erase(v);
    for (const auto& [name, value] : c.vars) {
      if (name.back() == '$') host_->vars().setString(name, value);
      else host_->vars().setNumber(name, std::stod(value));
    }
    WriteAll(prog_ + "vexmon.ist", Ini(c.online));
    const std::string type = Vars({"_optintro"});
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      if (c.act) c.act(d);
      EXPECT_EQ(d.state(k355), c.look);
      d.setText(kMass, "7");
      &c - cases < 7 ? d.press(IDCANCEL) : d.key(VK_ESCAPE);
    }});
    EXPECT_EQ(Vars({"_BUTTON", "_optintro", "_INHIBIT"}), "0|" + type + "|<missing>");
    EXPECT_EQ(GetFileAttributesA(settings_.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  // The first ten elements of the table, each cut to a whole number.
  host_->vars().erase("_optintro");
  std::uint32_t t = host_->vars().newTable(12);
  *host_->vars().table(t) = {7.9, -3.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  host_->vars().setTable("_INHIBIT", t);
  Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
    EXPECT_EQ(d.state(k355), "0/4 -1/5 -0/3 1 7 -3 1 2 3 4 5 6 7 8");
    d.press(IDCANCEL);
  }});
}

// Type, autosampler and application chosen, OK: the settings file, the
// variables and the masses afterwards, case after case, in
// tests/golden/offline_ok.txt.
TEST_F(Dialogs, OfflineOkStoresTheChoices) {
  std::string transcript;
  for (auto [type, sampler, app] : {std::tuple(1, 2, -1), {2, 1, 0}, {2, 0, 1}, {2, 2, 2}}) {
    WriteAll(settings_, Ini({{"_INHIBIT", "9 "}}));
    host_->vars().setNumber("_INHIBIT", 9);
    Run("OFFLINECFG", {S(settings_)}, {[&, type = type, sampler = sampler, app = app](DialogWindow& d) {
      d.selectCombo(kType, type);
      d.selectCombo(kSampler, sampler);
      d.selectCombo(kApp, app);
      CheckDlgButton(d.hwnd(), kPump, BST_CHECKED);  // counts only while enabled
      for (int i = 0; i < 4 && type == 1; ++i) d.setText(kMass + i, Strings{"050", "7", "7", "300"}[i]);
      d.press(IDOK);
      transcript += "== type " + std::to_string(type) + ", autosampler " + std::to_string(sampler) +
                    ", application " + std::to_string(app) + "\nmasses shown [" + d.state({110, 111, 112, 113}) + "]\n";
    }});
    transcript += Lf(ReadAll(settings_));
    for (const char* n : {"_BUTTON", "_MPM", "_OPTALS", "_ALSID", "OPT_PMP2", "_optintro", "_MPMApp$", "_MPMFile$"})
      transcript += std::string(n) + " " + Vars({n}) + "\n";
    const std::string masses = Vars({"_INHIBIT"});
    transcript += "_INHIBIT" + (masses == "<missing>" ? std::string(" none") : masses.empty() ? "" : " " + masses) + "\n";
  }
  EXPECT_EQ(transcript, Golden("offline_ok.txt"));

  // RAPS without an application keeps the dialog open and writes nothing.
  Snapshot before = Save(Bytes().put(0, "[PCS,1]\r\n", 9), settings_);
  Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
    d.selectCombo(kType, 2);
    d.selectCombo(kApp, -1);
    d.press(IDOK);
    EXPECT_TRUE(IsWindowVisible(d.hwnd()));
    d.press(IDCANCEL);
  }});
  ExpectUnchanged(before);

  // Z-QT: a tray lacking a key is written whole with the defaults in the
  // installation's settings; a whole one is left alone.
  const std::string tray = inst_ + "\\icpexe\\vexmon.ist";
  Keys keys = {{"TRAY_ID", "2"}, {"MAX_BOTTLE", "60"}, {"RINSE_DEPTH", "1"}, {"SAMPLE_DEPTH", "2"}, {"STD_DEPTH", "3"},
               {"ONEBOTTLE_DEPTH", "4"}};
  for (bool whole : {false, true}) {
    if (whole) keys.push_back({"ESC_MODE", "1"});
    Snapshot installed = Save(Bytes().put(0, Ini(keys).data(), Ini(keys).size()), tray);
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      d.selectCombo(kType, 1);
      d.selectCombo(kSampler, 4);
      d.press(IDOK);
    }});
    if (whole) ExpectUnchanged(installed);
    else EXPECT_EQ(Lf(ReadAll(tray)), Golden("ztqt_tray.ist"));
    EXPECT_EQ(ReadAll(settings_).find("TRAY_ID"), std::string::npos);
  }
}

// Without a host window only the edit-method prompt shows, unowned; SVMETHCAL
// says why first, even before a text that is too long.
TEST_F(Dialogs, WithoutAHostWindow) {
  mcrhost::HostOptions options;
  options.createWindow = false;
  auto windowless = OpenHost(options);
  windowless->vars().setNumber("_BUTTON", 7);
  struct Case { const char* word; std::vector<Arg> args; std::uint16_t status; std::string error; } cases[] = {
      {"QCUNREPELEM", {}, 1, ""}, {"SelectTuneStep", {}, 1, ""}, {"QCTuneConfig", {}, 0, ""},
      {"OFFLINECFG", {S(settings_)}, 0, ""}, {"SVMETHCAL", {S(std::string(300, 'f'))}, 1, Msg(1040)}};
  DialogScript one({[&](DialogWindow& d) {
    EXPECT_EQ(d.owner(), nullptr);
    d.press(kBack);
  }});
  EXPECT_EQ(windowless->call("EditMethAskAbort", {}).status, 0);
  one.finish();
  EXPECT_EQ(windowless->vars().find("_BUTTON")->number, 2);
  DialogScript none({});
  for (const Case& c : cases) {
    Outcome o = windowless->call(c.word, c.args);
    EXPECT_EQ(std::to_string(o.status) + U(o.error() ? *o.error() : ""), std::to_string(c.status) + U(c.error)) << c.word;
  }
  EXPECT_EQ(windowless->vars().find("_BUTTON")->number, 0) << "OFFLINECFG";
}

// The help file named in the installation's settings; ".chm" goes to HTML
// Help, in any letter case for 353 and 355, only in lower case for 369,
// which without a folder of its own takes the settings file's path itself.
TEST_F(Dialogs, HelpFollowsTheInstallationsSettings) {
  const std::string ist = inst_ + "\\icpexe\\vexmon.ist", chm = inst_ + "\\icpexe\\ICP-MS.CHM";
  struct Case { int dialog; Keys keys; bool installed; std::string calls; } cases[] = {
      {353, {}, true, "html 1 0 " + chm + "\nhtml 15 353 " + chm + "\n"},
      {355, {{"_HELPPATH$", "D:\\help"}, {"_HELPFILE$", "Manual.Chm"}}, true,
       "html 1 0 D:\\help\\Manual.Chm\nhtml 15 355 D:\\help\\Manual.Chm\n"},
      {353, {{"_HELPFILE$", "OLD.HLP"}}, true, "winhelp 1 353 " + inst_ + "\\icpexe\\OLD.HLP\n"},
      {369, {{"_HELPPATH$", "C:\\HELP\\"}, {"_HELPFILE$", "ICP-MS.chm"}}, true,
       "html 1 0 C:\\HELP\\ICP-MS.chm\nhtml 15 369 C:\\HELP\\ICP-MS.chm\n"},
      {369, {{"_HELPFILE$", "x.chm"}}, true, "html 1 0 " + ist + "x.chm\nhtml 15 369 " + ist + "x.chm\n"},
      {369, {{"_HELPPATH$", "C:\\HELP\\"}}, false, "winhelp 1 369 \\icpexe\\vexmon.istICP-MS.CHM\n"},
  };
  for (const Case& c : cases) {
    WriteAll(ist, Ini(c.keys));
    key_.Point(c.installed ? std::optional<std::string>(inst_) : std::nullopt);
    EXPECT_EQ(CatchHelp(host_->window(), [&] {
      Open(c.dialog, {[](DialogWindow& d) {
        d.press(IDHELP);
        d.press(IDCANCEL);
      }});
    }), c.calls) << &c - cases;
  }
}

// A right double-click with the left button held, near the client area's
// corner: within 5 pixels for 369, within the 5 by 5 pixels for 353 and 355.
// The box is titled with the library's file and owned by the window with the
// focus (369) or the dialog.
TEST_F(Dialogs, WindowInformation) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(host_->library(), module, sizeof module);
  const WPARAM both = MK_LBUTTON | MK_RBUTTON;
  struct Click { int dialog; WPARAM keys; int x, y; bool shows; } clicks[] = {
      {369, both, 5, 5, true}, {369, both, 0, 6, false}, {369, both, 6, 0, false}, {369, MK_RBUTTON, 0, 0, false},
      {353, both, 4, 4, true}, {353, both, 5, 2, false}, {355, both, 4, 4, true}, {355, MK_RBUTTON, 2, 2, false}};
  for (const Click& c : clicks) {
    std::string want;
    HWND owner = nullptr;
    Steps steps = {[&](DialogWindow& d) {
      // (The focus is the dialog's unless a suite beside this one holds the activation.)
      owner = c.dialog != 369 ? d.hwnd() : GetFocus() ? GetAncestor(GetFocus(), GA_ROOT) : nullptr;
      RECT r{};
      GetWindowRect(d.hwnd(), &r);
      char text[200];
      wsprintfA(text, "Handle:%d\nId:%d\n(%d, %d)-(%d, %d)\nParent:%d", static_cast<int>(INT_PTR(d.hwnd())), c.dialog,
                r.left, r.top, r.right, r.bottom, static_cast<int>(INT_PTR(host_->window())));
      want = text;
      SendMessageA(d.hwnd(), WM_RBUTTONDBLCLK, c.keys, MAKELPARAM(c.x, c.y));
      d.press(IDCANCEL);
    }};
    if (c.shows) steps.push_back([&](DialogWindow& box) {
      EXPECT_EQ(box.caption() + (box.owner() == owner ? "" : " (another owner)"), module);
      Box(want, IDI_INFORMATION)(box);
    });
    Open(c.dialog, std::move(steps));
  }
}

}  // namespace
}  // namespace mcrtest
