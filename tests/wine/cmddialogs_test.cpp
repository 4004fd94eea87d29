// The dialogs of QCUNREPELEM (265), EditMethAskAbort (325), QCTuneConfig
// (369), SVMETHCAL (353 and its folder browser) and OFFLINECFG (355), driven
// as an operator would: what they show, each way out, the files and
// variables afterwards, the help they ask for and their window information.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest-spi.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "dialogs.h"
#include "help.h"
#include "instwords.h"
#include "qcfixtures.h"

namespace mcrtest {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;
using Keys = std::vector<std::pair<std::string, std::string>>;
using Steps = std::vector<DialogScript::Step>;

constexpr int kMeasured = 1001, kAdd = 1002, kDelete = 1003, kUnreported = 1004;      // 265
constexpr int kAbort = 1000, kContinue = 1001, kBack = 1002, kIconArea = 1003;        // 325
constexpr int kSelect = 1001, kExactMass = 1100, kFailAction = 1201, kMethodEdit = 1400, kPercent = 1407;  // 369
constexpr int kMethod = 102, kMethodBrowse = 103, kCalib = 105, kCalibBrowse = 106, kName = 108;  // 353
constexpr int kType = 103, kPump = 104, kApp = 106, kSampler = 108, kMass = 110, kLoadOnline = 120;  // 355

// The automation never lets a test pass over a dialog it did not meet or
// left open. (A dialog that goes to a message box and back is every refusal
// of 353 below.)
TEST(DialogScript, ADialogThatNeverAppearsOrIsLeftOpenFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        DialogScript script({Press(IDOK), Press(IDOK)});
        MessageBoxA(nullptr, "only one", "A", MB_OK);
      },
      "expected 2 dialog(s), saw 1");
  int answer = 0;
  EXPECT_NONFATAL_FAILURE(
      {
        DialogScript script({[](DialogWindow&) {}}, 300);
        answer = MessageBoxA(nullptr, "stays", "A", MB_OKCANCEL);
      },
      "a dialog was left open");
  EXPECT_EQ(answer, IDCANCEL);
}

// --- shared by the dialogs ----------------------------------------------------------------------

Bytes Of(const std::string& text) { return Bytes().put(0, text.data(), text.size()); }
std::string Ini(const Keys& keys) {
  std::string s = "[PCS,1]\r\n";
  for (const auto& [k, v] : keys) s += k + "=" + v + "\r\n";
  return s;
}

// A message box: its text, its icon, OK.
DialogScript::Step Box(const std::string& text, LPCSTR icon) {
  return [=](DialogWindow& box) {
    EXPECT_EQ(box.text(), text);
    EXPECT_EQ(box.icon(), LoadIconA(nullptr, icon));
    box.press(IDOK);
  };
}

// The normal placement's corner, and where the middle of the work area puts
// a window of its size (each halving rounded toward zero).
std::pair<POINT, POINT> PlacedAndCentred(HWND w) {
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  WINDOWPLACEMENT p{};
  p.length = sizeof p;
  GetWindowPlacement(w, &p);
  const RECT& r = p.rcNormalPosition;
  return {{r.left, r.top},
          {(area.right - area.left) / 2 - (r.right - r.left) / 2, (area.bottom - area.top) / 2 - (r.bottom - r.top) / 2}};
}

// Whether the dialog shows the system's question icon at control 1003's corner.
bool ShowsQuestionIcon(const DialogWindow& d) {
  RedrawWindow(d.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  GetWindowRect(d.item(kIconArea), &r);
  MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  const int n = GetSystemMetrics(SM_CXICON);
  HDC window = GetDC(d.hwnd()), drawn = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, n, n);
  HGDIOBJ old = SelectObject(drawn, bitmap);
  RECT all{0, 0, n, n};
  FillRect(drawn, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawIcon(drawn, 0, 0, LoadIconA(nullptr, IDI_QUESTION));
  int differing = 0, drawnOnFace = 0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      COLORREF shown = GetPixel(window, r.left + x, r.top + y);
      differing += shown != GetPixel(drawn, x, y);
      drawnOnFace += shown != GetSysColor(COLOR_BTNFACE);
    }
  SelectObject(drawn, old);
  DeleteObject(bitmap);
  DeleteDC(drawn);
  ReleaseDC(d.hwnd(), window);
  return differing == 0 && drawnOnFace > 0;
}

// A smaller work area for the test's duration, to tell it from the screen.
class WorkArea {
 public:
  explicit WorkArea(RECT area) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &old_, 0);
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &area, 0);
  }
  ~WorkArea() { SystemParametersInfoA(SPI_SETWORKAREA, 0, &old_, 0); }

 private:
  RECT old_{};
};

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
    host_->vars().setNumber("_BUTTON", 99);
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
  Strings Vars(const Strings& names) {
    Strings values;
    for (const auto& n : names) values.push_back(StrVar(*host_, n));
    return values;
  }

  WorkstationKey key_;
  std::vector<Snapshot> unrep_;
  std::string inst_ = dir_.file("inst"), prog_ = dir_.file("prog\\"), settings_ = dir_.file("offline.ist");
  std::string tuneIni_ = prog_ + "qctune.ini", tray_ = inst_ + "\\icpexe\\vexmon.ist";
};

// --- what each dialog shows -----------------------------------------------------------------------

// Every dialog: caption, owner, font, size in dialog units, control texts,
// the dialog library's marker control (5 by 5 units at the corner, id -1),
// the properties it keeps while open and removes on its way out, where it
// sits, and what the way out leaves in _BUTTON.
TEST_F(Dialogs, EachLooksAsDesigned) {
  WorkArea area({0, 0, 1000, 700});
  const std::string title353 = "ﾒｿｯﾄﾞ及び検量線のためのﾌｧｲﾙ名を指定";
  struct Look {
    const char* word;
    std::vector<Arg> args;
    std::string caption;
    SIZE units;  // {0, 0}: not checked
    const char* statics;
    std::vector<std::pair<int, const char*>> items;
    const char* marker;
    Strings properties;
    bool centred;
    std::function<void(DialogWindow&)> more;
    int out;
    double button;
  } looks[] = {
      {"QCUNREPELEM", {}, "出力しない元素の設定", {210, 150}, "測定元素 / ﾁｭｰﾝｽﾃｯﾌﾟ#\n出力しない元素",
       {{kAdd, "追加->"}, {kDelete, "<-削除"}, {IDOK, "OK"}, {IDCANCEL, "ｷｬﾝｾﾙ"}, {IDHELP, "ﾍﾙﾌﾟ"}}, "DFDLG265",
       {"srvPasskey", "Dlg265Data"}, false,
       [&](DialogWindow& d) {
         EXPECT_EQ(d.listItems(kMeasured), (Strings{"  1\tH\t#1", "  2\tHe\t#1", "  7\tLi\t#1", "  7\tLi\t#3",
                                                    " 59\tCo\t#1", "238\tU\t#3", "260\tZz\t#1"}));
         // Mass 260 of step 2 lies in the part of an entry at the end of its file.
         EXPECT_EQ(d.listItems(kUnreported), (Strings{"  1\t#1", "  3\t#2", " 59\t#1", "238\t#3"}));
       },
       IDCANCEL, 0},
      {"EditMethAskAbort", {}, "", {155, 57}, "残りのﾊﾟﾈﾙを編集しますか?", {{kAbort, "中止"}, {kContinue, "継続"}, {kBack, "戻る"}},
       "DFDLG325", {"srvPasskey"}, true,
       [&](DialogWindow& d) {
         EXPECT_FALSE(IsWindowVisible(d.item(kIconArea)));
         EXPECT_TRUE(ShowsQuestionIcon(d));
       },
       kContinue, 1},
      {"QCTuneConfig", {}, "QC ﾁｭｰﾝｸﾗｲﾃﾘｱｺﾝﾌｨｸﾞﾚｰｼｮﾝ", {254, 203}, "ﾃﾞｰﾀ採取ﾒｿｯﾄﾞ:\nﾌｪｲﾙ時のｱｸｼｮﾝ3:\nﾌﾗｸﾞ\n高さの%:\n%",
       {{IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDHELP, "ﾍﾙﾌﾟ"}, {kSelect, "選択..."}, {kExactMass, "質量欠損補正をしない"},
        {1300, "ﾏｽ軸"}, {1301, "最小ﾚｽﾎﾟﾝｽ"}, {1302, "ﾚｽﾎﾟﾝｽ比"}, {1303, "分解能"}, {1304, "RSD"}, {1305, "最大Bkg"}},
       nullptr, {"srvPasskey"}, true,
       [&](DialogWindow& d) {
         // Sorted: the stored index is a place in the sorted list.
         EXPECT_EQ(d.comboItems(kFailAction), (Strings{A("次のｻﾝﾌﾟﾙ"), A("中止")}));
       },
       IDCANCEL, 99},
      {"SVMETHCAL", {S("C:\\m"), S("C:\\c"), S("n")}, title353, {259, 130}, nullptr,
       {{101, "ﾒｿｯﾄﾞのﾊﾟｽ:"}, {kMethod, "C:\\m\\"}, {104, "検量線のﾊﾟｽ:"}, {kCalib, "C:\\c\\"}, {107, "ﾌｧｲﾙ名(&F):"},
        {kName, "n"}, {IDOK, "OK"}, {IDCANCEL, "ｷｬﾝｾﾙ"}, {IDHELP, "ﾍﾙﾌﾟ(&H)"}},
       nullptr, {"SVMETHCALRMS"}, true,
       [&](DialogWindow& d) {
         HANDLE folder = LoadImageA(host_->library(), MAKEINTRESOURCEA(2000), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
         for (int id : {kMethodBrowse, kCalibBrowse})
           EXPECT_EQ(reinterpret_cast<HANDLE>(SendMessageA(d.item(id), BM_GETIMAGE, IMAGE_ICON, 0)), folder);
         EXPECT_EQ(SendMessageA(d.item(kName), EM_GETLIMITTEXT, 0, 0), 256);
         // (The focus is this thread's only while the dialog is active: a
         // suite running beside this one may hold the activation.)
         if (GetActiveWindow() == d.hwnd()) {
           EXPECT_EQ(GetFocus(), d.item(IDOK));
         }
       },
       IDCANCEL, 0},
      {"OFFLINECFG", {S(settings_)}, "ｵﾌﾗｲﾝ ｺﾝﾌｨｸﾞﾚｰｼｮﾝ", {0, 0}, nullptr,
       {{kPump, "ｻﾝﾌﾟﾙﾎﾟﾝﾌﾟ(&S)"}, {105, "RAPS ｱﾌﾟﾘｹｰｼｮﾝ(&I):"}, {kLoadOnline, "ｵﾝﾗｲﾝ設定を読み込み(&L)"}}, nullptr,
       {"SRVPASSKEY", "355PRM", "SITYPE"}, false,
       [&](DialogWindow& d) {
         EXPECT_EQ(d.comboItems(kType), (Strings{A("なし"), A("ﾍﾟﾘﾎﾟﾝﾌﾟ"), "RAPS", A("LC/GC/ﾚｰｻﾞｰｱﾌﾞﾚｰｼｮﾝ")}));
         EXPECT_EQ(d.comboItems(kSampler), (Strings{A("なし"), "ASX500", "ASX100", "EXR-8", "Z-QT"}));
         EXPECT_EQ(d.comboItems(kApp), (Strings{"Std1", "Std2", "a.mpu-X"}));
         for (int id = kMass; id < kMass + 10; ++id) EXPECT_EQ(SendMessageA(d.item(id), EM_GETLIMITTEXT, 0, 0), 3);
       },
       IDCANCEL, 0},
  };
  host_->vars().setNumber("_optintro", 5);  // the fourth type: "SITYPE" 3
  for (const Look& l : looks) {
    SCOPED_TRACE(l.word);
    host_->vars().setNumber("_BUTTON", 99);
    Run(l.word, l.args, {[&](DialogWindow& d) {
      EXPECT_EQ(d.caption(), A(l.caption));
      EXPECT_EQ(d.owner(), host_->window());
      EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
      SIZE want = d.toPixels(l.units.cx, l.units.cy), got = d.clientSize();
      if (l.units.cx) {
        EXPECT_EQ(std::pair(got.cx, got.cy), std::pair(want.cx, want.cy));
      }
      if (l.statics) {
        EXPECT_EQ(d.text(), A(l.statics));
      }
      for (const auto& [id, text] : l.items) EXPECT_EQ(U(d.itemText(id)), text) << id;
      HWND marker = FindWindowExA(d.hwnd(), nullptr, "DLGINFO", nullptr);
      ASSERT_EQ(marker != nullptr, l.marker != nullptr);
      if (marker) {
        char text[32] = {};
        GetWindowTextA(marker, text, sizeof text);
        RECT r{};
        GetWindowRect(marker, &r);
        MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        SIZE five = d.toPixels(5, 5);
        EXPECT_EQ(std::string(text) + " " + std::to_string(GetDlgCtrlID(marker)) + " " + std::to_string(IsWindowVisible(marker)),
                  std::string(l.marker) + " 65535 1");
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{0, 0, five.cx, five.cy}));
      }
      if (l.centred) {
        auto [placed, centred] = PlacedAndCentred(d.hwnd());
        EXPECT_EQ(std::pair(placed.x, placed.y), std::pair(centred.x, centred.y));
      }
      for (const std::string& p : l.properties) EXPECT_NE(GetPropA(d.hwnd(), p.c_str()), nullptr) << p;
      if (l.properties[0] != "SVMETHCALRMS") {
        EXPECT_EQ(GetPropA(d.hwnd(), l.properties[0].c_str()), host_->context());
      }
      l.more(d);
      d.press(l.out);
      for (const std::string& p : l.properties) EXPECT_EQ(GetPropA(d.hwnd(), p.c_str()), nullptr) << p;
    }});
    EXPECT_EQ(Num("_BUTTON"), l.button);
  }
}

// --- 265: the unreported elements --------------------------------------------------------------------

// A list as one line: "  7\tLi\t#1" reads "7 Li #1", entries joined by ", ".
std::string Line(const Strings& items) {
  std::string line;
  for (const std::string& item : items) {
    std::string entry = item.substr(item.find_first_not_of(' '));
    for (char& c : entry) c = c == '\t' ? ' ' : c;
    line += (line.empty() ? "" : ", ") + entry;
  }
  return line;
}

// Selects the entries of the list that read so in Line's form.
void Choose(const DialogWindow& d, int list, const Strings& entries) {
  Strings items = d.listItems(list);
  std::vector<int> indexes;
  for (const std::string& e : entries)
    for (std::size_t i = 0; i < items.size(); ++i)
      if (Line({items[i]}) == e) indexes.push_back(static_cast<int>(i));
  ASSERT_EQ(indexes.size(), entries.size());
  d.selectList(list, indexes);
}

TEST_F(Dialogs, UnreportedMovesThenOkRewritesEverySixFiles) {
  // Each operation, and list 1004 after it. A double click acts only on one
  // entry selected alone.
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
      Choose(d, m.list, m.select);
      if (m.op == Dbl)
        SendMessageA(d.hwnd(), WM_COMMAND, MAKEWPARAM(m.list, LBN_DBLCLK), reinterpret_cast<LPARAM>(d.item(m.list)));
      else
        d.press(m.op == AddSel ? kAdd : kDelete);
      EXPECT_EQ(Line(d.listItems(kUnreported)), m.after);
    }
    d.press(IDOK);
  }});
  EXPECT_EQ(Num("_BUTTON"), 1.0);
  // The flags come from the list; the bytes above them stay as read.
  Bytes want[7];
  for (int step = 1; step <= 6; ++step) want[step] = Bytes(1040);
  want[1].i32(4 * 6, 1).i32(4 * 99, 0x100).i32(4 * 259, 1);
  want[2].i32(4 * 2, 1);
  want[3].i32(4 * 237, 0x100);
  for (int step = 1; step <= 6; ++step) EXPECT_TRUE(Bytes::Load(Unrep(step)) == want[step]) << step;
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

// The warning names the method header when the method itself cannot be
// read, the first run group when none of a tune-step method's exists, and
// otherwise the run group that could not be read whole.
TEST_F(Dialogs, UnreportedWhatCannotBeReadClosesAsCancel) {
  struct Case { std::function<void()> spoil; std::string text; } cases[] = {
      {[&] { host_->vars().setString("_CurrentMeth$", ""); }, Msg(1021)},
      {[&] { DeleteFileA(dir_.file("run.icp").c_str()); }, Msg(1002, dir_.file("run.icp").c_str())},
      {[&] {
         DeleteFileA(dir_.file("rungroup.01").c_str());
         DeleteFileA(dir_.file("rungroup.03").c_str());
       },
       Msg(1002, dir_.file("rungroup.01").c_str())},
      {[&] { Save(fx::RunGroup({{9, "Be"}}).resize(436 + 25), dir_.file("rungroup.02")); },
       Msg(1002, dir_.file("rungroup.02").c_str())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U(c.text));
    c.spoil();
    host_->vars().setNumber("_BUTTON", 99);
    Run("QCUNREPELEM", {}, {[&](DialogWindow& box) {
      EXPECT_EQ(box.buttons(), Ids{IDOK});
      EXPECT_EQ(GetWindow(box.owner(), GW_OWNER), host_->window()) << "owned by the dialog";
      Box(c.text, IDI_WARNING)(box);
    }});
    EXPECT_EQ(Num("_BUTTON"), 0.0);
    ExpectUnrepUnchanged();
    LayOutMethod();
  }
}

TEST_F(Dialogs, UnreportedFileThatCannotBeCreatedStopsTheWriting) {
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

// --- 325: the edit-method prompt ------------------------------------------------------------------------

TEST_F(Dialogs, EditMethodPromptClosesOnlyThroughItsButtons) {
  for (int button : {kAbort, kContinue, kBack}) {
    SCOPED_TRACE(button);
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

// --- 369: the QC tune criteria ----------------------------------------------------------------------------

// What the dialog shows: the method, the mass-defect box and the action,
// then each criterion's box and flag, and the percentage.
std::string Shown(const DialogWindow& d) {
  auto box = [&](int id) { return IsDlgButtonChecked(d.hwnd(), id) == BST_CHECKED ? "[x]" : "[ ]"; };
  std::string s = U(d.itemText(kMethodEdit)) + box(kExactMass) + std::to_string(d.comboSelection(kFailAction));
  for (int k = 1; k <= 6; ++k) s += std::string(" ") + box(1299 + k) + d.itemText(1400 + k);
  return s + " " + d.itemText(kPercent) + "%";
}

// The file as the dialog finds it, what is shown, what the operator does,
// and the file afterwards: only OK writes, the method chosen included.
TEST_F(Dialogs, TuneCriteriaReadEditedAndWritten) {
  TempDir logDir;
  const std::string log = logDir.file("dlgframe.log");
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", log.c_str());
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", "D:\\NEW\\|PICKED.M");
  const std::string stored =
      "[Header]\r\nMethPath=C:\\ICPMS\\METHODS\\\r\nMethFile=TUNE.M\r\n[Tune]\r\nExactMass=1\r\nAOF3=1\r\n"
      "TNITEM1=1,0.1,0\r\nTNITEM2=0,5000,0\r\nTNITEM3=1,,0\r\nTNITEM4=1,0.8,10\r\nTNITEM5=,,,\r\nTNITEM6=2\r\n";
  auto edit = [](DialogWindow& d) {
    // The percentage after it loses the focus.
    for (auto [typed, shown] : {std::pair("-5", "0"), {"abc", "0"}, {"15%", "15"}}) {
      d.setText(kPercent, typed);
      SendMessageA(d.hwnd(), WM_COMMAND, MAKEWPARAM(kPercent, EN_KILLFOCUS), reinterpret_cast<LPARAM>(d.item(kPercent)));
      EXPECT_EQ(d.itemText(kPercent), shown) << typed;
    }
    d.setText(kPercent, "25");
    d.setText(kMethodEdit, "C:\\OLD\\ONE.M");
    d.press(kSelect);
    EXPECT_EQ(d.itemText(kMethodEdit), "D:\\NEW\\PICKED.M");
    for (int id : {kExactMass, 1301, 1304}) CheckDlgButton(d.hwnd(), id, BST_CHECKED);
    for (int id : {1300, 1302, 1303}) CheckDlgButton(d.hwnd(), id, BST_UNCHECKED);
    d.setText(1401, "0.2");
    d.setText(1402, "");
    d.setText(1404, A("高い"));
    d.setText(1406, std::string(258, 'f') + A("高"));  // read in 259 bytes: no half character
    d.selectCombo(kFailAction, 1);
  };
  struct Case { std::string before, shown; std::function<void(DialogWindow&)> act; int out; std::string after; } cases[] = {
      {"", "C:\\ICPMS\\METHODS\\[ ]-1 [ ] [ ] [ ] [ ] [ ] [ ] %", nullptr, IDOK,
       "[Header]\r\nMethPath=C:\\ICPMS\\METHODS\\\r\nMethFile=\r\n[Tune]\r\nExactMass=0\r\nAOF3=-1\r\n"
       "TNITEM1=0,,0\r\nTNITEM2=0,,0\r\nTNITEM3=0,,0\r\nTNITEM4=0,,\r\nTNITEM5=0,,0\r\nTNITEM6=0,,0\r\n"},
      {stored, "C:\\ICPMS\\METHODS\\TUNE.M[x]1 [x]0.1 [ ]5000 [x]0 [x]0.8 [ ] [x] 10%", edit, IDCANCEL, stored},
      {stored, "C:\\ICPMS\\METHODS\\TUNE.M[x]1 [x]0.1 [ ]5000 [x]0 [x]0.8 [ ] [x] 10%", edit, IDOK,
       "[Header]\r\nMethPath=D:\\NEW\\\r\nMethFile=PICKED.M\r\n[Tune]\r\nExactMass=1\r\nAOF3=1\r\nTNITEM1=0,0.2,0\r\n"
       "TNITEM2=1,,0\r\nTNITEM3=0,0,0\r\nTNITEM4=0," + A("高い") + ",25\r\nTNITEM5=1,,0\r\nTNITEM6=1," +
           std::string(258, 'f') + ",0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    DeleteFileA(tuneIni_.c_str());
    if (!c.before.empty()) WriteAll(tuneIni_, c.before);
    Run("QCTuneConfig", {}, {[&](DialogWindow& d) {
      EXPECT_EQ(Shown(d), c.shown);
      if (c.act) c.act(d);
      d.press(c.out);
    }});
    EXPECT_EQ(ReadAll(tuneIni_), c.after);
  }
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", nullptr);
  const std::string selected = "SelectMethodFile owner=1 kind=4 title=Title pattern=*.M dir=C:\\OLD\\ file=ONE.M\r\n";
  EXPECT_EQ(ReadAll(log), selected + selected);
}

// --- 353: the method and calibration file names ----------------------------------------------------------

TEST_F(Dialogs, MethCalHelpFlagMovesButtons) {
  // Without Help, OK stands where Cancel stood and Cancel where Help stood.
  for (auto [help, shown] : {std::pair(Omit(), true), {N(0.5), true}, {N(0.4), false}}) {
    Run("SVMETHCAL", {S("C:\\m"), S("C:\\c"), S("n"), Omit(), help}, {[&, shown = shown](DialogWindow& d) {
      EXPECT_EQ(d.buttons(), shown ? (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL, IDHELP})
                                   : (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL}));
      auto at = [&](int id, RECT units) {
        RECT r{};
        GetWindowRect(d.item(id), &r);
        MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        MapDialogRect(d.hwnd(), &units);
        return EqualRect(&r, &units) != FALSE;
      };
      EXPECT_TRUE(at(IDOK, shown ? RECT{91, 106, 141, 120} : RECT{146, 106, 196, 120}));
      EXPECT_TRUE(at(IDCANCEL, shown ? RECT{146, 106, 196, 120} : RECT{201, 106, 251, 120}));
      d.press(IDCANCEL);
    }});
  }
}

TEST_F(Dialogs, MethCalFoldersNamesAndRefusals) {
  host_->vars().setString("_METHPATH$", "C:\\meth");
  host_->vars().setString("_CALPATH$", "C:\\cal\\");
  host_->vars().setString("_METHFILE$", "D:\\x\\N1.M");
  const std::string title = A("ﾒｿｯﾄﾞ及び検量線のためのﾌｧｲﾙ名を指定");
  // Omitted texts come from the host, folders end in "\", a name is cut to
  // its name part; a refused name keeps the dialog open until put right;
  // only the variables named are set, and emptied after Cancel.
  struct Case { std::vector<Arg> args; Strings shown; std::string typed, refusal; Strings vars; } cases[] = {
      {{Omit(), Omit(), Omit(), Omit(), Omit(), S("m$"), S("c$"), S("n$")}, {"C:\\meth\\", "C:\\cal\\", "N1"},
       "ab.c", Msg(1041), {"C:\\meth\\", "C:\\cal\\", "ok"}},
      {{S("E:\\a"), S("E:\\b\\"), S("abc.def.ghi"), Omit(), Omit(), Omit(), S("c$")}, {"E:\\a\\", "E:\\b\\", "abc.def"},
       "a b c d e", Msg(1042), {"old", "E:\\b\\", "old"}},
      {{S(""), S("E:\\b"), Omit(), Omit(), Omit(), S("m$"), S("c$")}, {"", "E:\\b\\", "N1"}, "ab", Msg(1038),
       {"", "", "old"}},
      {{S("E:\\a"), S(""), S("n"), Omit(), Omit(), S("m$")}, {"E:\\a\\", "", "n"}, "ab", Msg(1038), {"", "old", "old"}},
      {{S("E:\\a"), S("E:\\b"), S("n"), Omit(), Omit(), S("m$")}, {"E:\\a\\", "E:\\b\\", "n"}, "", Msg(1039),
       {"E:\\a\\", "old", "old"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const char* v : {"m$", "c$", "n$"}) host_->vars().setString(v, "old");
    bool folders = !c.shown[0].empty() && !c.shown[1].empty();
    Run("SVMETHCAL", c.args,
        {[&](DialogWindow& d) {
           EXPECT_EQ((Strings{d.itemText(kMethod), d.itemText(kCalib), d.itemText(kName)}), c.shown);
           d.setText(kName, c.typed);
           d.press(IDOK);
         },
         [&](DialogWindow& box) {
           EXPECT_EQ(box.caption(), title);
           Box(c.refusal, IDI_HAND)(box);
         },
         [&](DialogWindow& d) {
           d.setText(kName, "ok");
           folders ? d.key(VK_RETURN) : d.press(IDCANCEL);
         }});
    EXPECT_EQ(Num("_BUTTON"), folders ? 1 : 0);
    EXPECT_EQ(Vars({"m$", "c$", "n$"}), c.vars);
  }
}

TEST_F(Dialogs, MethCalBuffersAreBounded) {
  using Ui = int(WINAPI*)(HWND, HINSTANCE, int, const char*, const char*, const char*, const char*, char*, char*,
                          char*);
  auto ui = reinterpret_cast<Ui>(GetProcAddress(host_->library(), "SvMethCalUI"));
  ASSERT_NE(ui, nullptr);
  const std::string f256 = "C:\\" + std::string(252, 'f') + "\\", f257 = f256 + "g", x255(255, 'x');
  char out[3][258];
  std::memset(out, 'Q', sizeof out);
  // Cancel writes nothing; what does not fit its 257 bytes shows no dialog.
  DialogScript cancel({Press(IDCANCEL)});
  EXPECT_EQ(ui(nullptr, nullptr, 1, f256.c_str(), "C:\\c\\", "n", nullptr, out[0], out[1], out[2]), 0);
  cancel.finish();
  EXPECT_EQ(out[0][0], 'Q');
  DialogScript none({});
  EXPECT_EQ(ui(nullptr, nullptr, 1, f257.c_str(), "C:\\c\\", "n", "", out[0], out[1], out[2]), -1);
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", x255.c_str(), out[0], out[1], out[2]), -1);
  none.finish();
  DialogScript ok({Press(IDOK), Press(IDOK)});
  EXPECT_EQ(ui(host_->window(), nullptr, 0, f256.c_str(), "C:\\c\\", "nm", "M", out[0], out[1], out[2]), 1);
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", nullptr, nullptr, nullptr, nullptr), 1);
  ok.finish();
  EXPECT_EQ((Strings{out[0], out[1], out[2]}), (Strings{f256, "C:\\c\\", "nm"}));
  EXPECT_EQ(out[0][257], 'Q');
  // The command says why; without a host window it says that first.
  Err(host_->call("SVMETHCAL", {S(f256.substr(0, 255) + "h")}), Msg(1007, 255));  // a folder gains its "\"
  mcrhost::HostOptions windowless;
  windowless.createWindow = false;
  Err(OpenHost(windowless)->call("SVMETHCAL", {S(f257)}), Msg(1040));
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
  // On opening, the callback asks the browser to select the folder shown.
  // (Wine's walk to it now and then stops short; the test then asks again.)
  auto browser = [&](std::string shown, const char* name, int button) {
    return [=](DialogWindow& d) {
      EXPECT_EQ(g_selections, Strings{shown});
      EXPECT_NE(d.text().find(Msg(1244)), std::string::npos);
      EXPECT_EQ(d.buttons(), (Ids{IDOK, IDCANCEL}));  // no New Folder button
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
  // The calibration folder is given in capitals: the control then shows the
  // browser's answer, in the folder's own spelling.
  Run("SVMETHCAL", {S(meth), S(capitals), S("n"), S("C:M"), Omit(), S("m$"), S("c$")},
      {Press(kMethodBrowse), browser(meth, "A.m", IDOK), Box(Msg(1037, ".M"), IDI_HAND), Press(kCalibBrowse),
       browser(capitals, "cal", IDOK), Press(kMethodBrowse), browser(meth, "A.m", IDCANCEL), Press(IDOK)});
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(Vars({"m$", "c$"}), (Strings{meth, cal}));
}

// --- 355: the offline configuration ----------------------------------------------------------------------

// Dialog 355 in one line: the selections (-1 none), what is enabled or
// checked, and the mass fields up to the last one filled.
std::string Look355(const DialogWindow& d) {
  std::ostringstream s;
  s << "type " << d.comboSelection(kType) << " sampler " << d.comboSelection(kSampler) << " of "
    << d.comboItems(kSampler).size() << " app " << d.comboSelection(kApp) << (IsWindowEnabled(d.item(kApp)) ? "" : " off")
    << " pump " << (IsWindowEnabled(d.item(kPump)) ? "" : "off ") << IsDlgButtonChecked(d.hwnd(), kPump) << " masses";
  std::string masses;
  for (int id = kMass; id < kMass + 10; ++id) masses += " " + d.itemText(id);
  return s.str() + masses.substr(0, masses.find_last_not_of(' ') + 1);
}

TEST_F(Dialogs, OfflineCancelChangesNothing) {
  Snapshot settings = Save(Of(Ini({{"SI_TYPE", "5"}})), settings_);
  host_->vars().setNumber("_optintro", 5);
  for (bool escape : {false, true}) {
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      d.selectCombo(kType, 2);
      d.setText(kMass, "7");
      escape ? d.key(VK_ESCAPE) : d.press(IDCANCEL);
    }});
    EXPECT_EQ(Num("_BUTTON"), 0);
    ExpectUnchanged(settings);
    EXPECT_EQ(Num("_optintro"), 5);
    EXPECT_FALSE(TableOf("_INHIBIT"));
  }
}

TEST_F(Dialogs, OfflineFillsFromVariablesOrOnlineSettings) {
  struct Var { const char* name; double number; const char* text = nullptr; };
  std::function<void(DialogWindow&)> online = [](DialogWindow& d) { d.press(kLoadOnline); };
  struct Case { std::vector<Var> vars; Keys online; std::function<void(DialogWindow&)> act; std::string look; } cases[] = {
      // A RAPS application in use wins over the type; RAPS has its own autosamplers and no pump.
      {{{"_mpm", 0.6}, {"_optintro", 0}, {"_optals", 5}, {"_MPMFile$", 0, "a.mpu"}, {"_MPMApp$", 0, "X"},
        {"OPT_PMP2", 1}}, {{"_PPUMP", "1"}}, nullptr, "type 2 sampler 2 of 4 app 2 pump off 0 masses"},
      {{{"_mpm", 0.4}, {"_optintro", 4.6}, {"_optals", 1}, {"OPT_PMP2", 1}}, {{"_PPUMP", "1"}}, nullptr,
       "type 3 sampler 2 of 5 app 0 off pump 1 masses"},
      {{{"_optintro", 9}, {"_optals", 7}}, {{"_PPUMP", "1"}}, nullptr, "type 0 sampler -1 of 5 app 0 off pump 0 masses"},
      {{{"_optintro", 0}, {"OPT_PMP2", 1}}, {{"_PPUMP", "0"}}, nullptr, "type 1 sampler -1 of 5 app 0 off pump off 0 masses"},
      // The application by file and name, by name alone, or none; no file: the first.
      {{{"_mpm", 1}, {"_MPMFile$", 0, "zz"}, {"_MPMApp$", 0, "std2"}}, {}, nullptr, "type 2 sampler -1 of 4 app 1 pump off 0 masses"},
      {{{"_mpm", 1}, {"_MPMFile$", 0, "zz"}, {"_MPMApp$", 0, "none"}}, {}, nullptr, "type 2 sampler -1 of 4 app -1 pump off 0 masses"},
      {{{"_mpm", 1}, {"_MPMFile$", 0, ""}, {"_MPMApp$", 0, "X"}}, {}, nullptr, "type 2 sampler -1 of 4 app 0 pump off 0 masses"},
      // The online settings: an empty autosampler key is the first entry, an unknown one none.
      {{{"_optintro", 4}}, {{"_INHIBIT", "7 50x 0099 "}, {"_MPM", "1"}, {"_MPMFILE$", "a.mpu"}, {"SI_TYPE", "0"},
        {"ALS_TYPE", ""}, {"_PPUMP", "1"}}, online, "type 2 sampler 0 of 4 app 2 pump off 0 masses 7 50 99"},
      {{{"_optintro", 4}}, {{"SI_TYPE", "5"}, {"ALS_TYPE", "1"}, {"OPT_PMP2", "1"}, {"_PPUMP", "1"}}, online,
       "type 3 sampler 2 of 5 app 0 off pump 1 masses"},
      {{}, {{"ALS_TYPE", "7"}, {"_PPUMP", "1"}}, online, "type 0 sampler -1 of 5 app 0 off pump 0 masses"},
      {{{"_optals", 1}}, {}, online, "type 0 sampler 0 of 5 app 0 off pump off 0 masses"},
      // Another type: its autosamplers from the first; the same type again keeps the choice.
      {{{"_optintro", 0}}, {{"_PPUMP", "1"}}, [](DialogWindow& d) { d.selectCombo(kSampler, 3); d.selectCombo(kType, 2); },
       "type 2 sampler 0 of 4 app 0 pump off 0 masses"},
      {{{"_optintro", 0}}, {{"_PPUMP", "1"}}, [](DialogWindow& d) { d.selectCombo(kSampler, 3); d.selectCombo(kType, 1); },
       "type 1 sampler 3 of 5 app 0 off pump 0 masses"},
      {{{"_optintro", 4}, {"OPT_PMP2", 1}}, {{"_PPUMP", "1"}}, [](DialogWindow& d) { d.selectCombo(kType, 3); },
       "type 3 sampler 0 of 5 app 0 off pump 0 masses"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const char* v : {"_mpm", "_optintro", "_optals", "OPT_PMP2", "_MPMFile$", "_MPMApp$"}) host_->vars().erase(v);
    for (const Var& v : c.vars) {
      if (v.text) host_->vars().setString(v.name, v.text);
      else host_->vars().setNumber(v.name, v.number);
    }
    WriteAll(prog_ + "vexmon.ist", Ini(c.online));
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      if (c.act) c.act(d);
      EXPECT_EQ(Look355(d), c.look);
      d.press(IDCANCEL);
    }});
  }
  // The first ten elements of the table, each cut to a whole number.
  host_->vars().erase("_optintro");
  std::uint32_t t = host_->vars().newTable(12);
  *host_->vars().table(t) = {7.9, -3.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  host_->vars().setTable("_INHIBIT", t);
  Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
    EXPECT_EQ(Look355(d), "type 0 sampler -1 of 5 app 0 off pump 1 masses 7 -3 1 2 3 4 5 6 7 8");
    d.press(IDCANCEL);
  }});
}

TEST_F(Dialogs, OfflineOkStoresTheChoices) {
  // type, autosampler, application; what OK leaves in the settings file and
  // in _MPM, _OPTALS, OPT_PMP2, _optintro, _MPMApp$ and _MPMFile$.
  struct Case { int type, sampler, app; Keys file; std::vector<double> numbers; Strings app$; } cases[] = {
      // (The platform's profile writer drops the blank after the last mass.)
      {1, 2, -1, {{"_MPM", "0"}, {"_MPMFILE$", ""}, {"_INHIBIT", "7 50"}, {"SI_TYPE", "0"}, {"ALS_TYPE", "1"},
                  {"OPT_PMP2", "1"}}, {0, 1, 1, 0}, {"<missing>", "<missing>"}},
      // A standard application: its file with an autosampler, or without one.
      {2, 1, 0, {{"_MPM", "2"}, {"_MPMFILE$", "std1a.mpu"}, {"SI_TYPE", "4"}, {"ALS_TYPE", "0"}, {"OPT_PMP2", "0"}},
       {2, 0, 0, 4}, {"Std1", "std1a.mpu"}},
      {2, 0, 1, {{"_MPM", "1"}, {"_MPMFILE$", "std2.mpm"}, {"SI_TYPE", "4"}, {"ALS_TYPE", ""}, {"OPT_PMP2", "0"}},
       {1, -1, 0, 4}, {"Std2", "std2.mpm"}},
      {2, 2, 2, {{"_MPM", "2"}, {"_MPMFILE$", "a.mpu"}, {"SI_TYPE", "4"}, {"ALS_TYPE", "5"}, {"OPT_PMP2", "0"}},
       {2, 5, 0, 4}, {"X", "a.mpu"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    WriteAll(settings_, Ini({{"_INHIBIT", "9 "}}));
    host_->vars().setNumber("_INHIBIT", 9);
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      d.selectCombo(kType, c.type);
      d.selectCombo(kSampler, c.sampler);
      d.selectCombo(kApp, c.app);
      CheckDlgButton(d.hwnd(), kPump, BST_CHECKED);  // counts only while enabled
      if (c.type == 1)
        for (int i = 0; i < 4; ++i) d.setText(kMass + i, Strings{"050", "7", "7", "300"}[i]);
      d.press(IDOK);
      if (c.type == 1) {
        EXPECT_NE(Look355(d).find("masses 50 7"), std::string::npos);
      }
    }});
    EXPECT_EQ(ReadAll(settings_), Ini(c.file));
    EXPECT_EQ((std::vector<double>{Num("_MPM"), Num("_OPTALS"), Num("OPT_PMP2"), Num("_optintro")}), c.numbers);
    EXPECT_EQ((std::vector<double>{Num("_BUTTON"), Num("_ALSID")}), (std::vector<double>{1, 0}));
    EXPECT_EQ(Vars({"_MPMApp$", "_MPMFile$"}), c.app$);
    EXPECT_EQ(TableOf("_INHIBIT"), c.type == 1 ? std::optional<Table>(Table{7, 50}) : std::nullopt);
  }

  // RAPS without an application keeps the dialog open and writes nothing.
  Snapshot before = Save(Of(Ini({{"SI_TYPE", "0"}})), settings_);
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
  const std::string tray = "[PCS,1]\r\nTRAY_ID=2\r\nMAX_BOTTLE=60\r\nRINSE_DEPTH=1\r\nSAMPLE_DEPTH=2\r\nSTD_DEPTH=3\r\n"
                           "ONEBOTTLE_DEPTH=4\r\n";
  for (bool whole : {false, true}) {
    Snapshot installed = Save(Of(tray + (whole ? "ESC_MODE=1\r\n" : "")), tray_);
    Run("OFFLINECFG", {S(settings_)}, {[&](DialogWindow& d) {
      d.selectCombo(kType, 1);
      d.selectCombo(kSampler, 4);
      d.press(IDOK);
    }});
    if (whole) ExpectUnchanged(installed);
    else EXPECT_EQ(ReadAll(tray_), Ini({{"TRAY_ID", "1"}, {"MAX_BOTTLE", "89"}, {"RINSE_DEPTH", "280"},
                                        {"SAMPLE_DEPTH", "440"}, {"STD_DEPTH", "440"}, {"ONEBOTTLE_DEPTH", "440"},
                                        {"ESC_MODE", "0"}}));
    EXPECT_EQ(ReadAll(settings_).find("TRAY_ID"), std::string::npos);
  }
}

TEST_F(Dialogs, OfflineWithoutAFileOrWindowShowsNothing) {
  const std::string f263 = "C:\\" + std::string(256, 'f') + ".ist";
  mcrhost::HostOptions options;
  options.createWindow = false;
  auto windowless = OpenHost(options);
  struct Case { Host* host; Arg file; std::string said; } cases[] = {
      {host_.get(), Omit(), ""}, {host_.get(), S(""), ""}, {host_.get(), S(f263 + "x"), Msg(1007, 263)},
      {windowless.get(), S(settings_), ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    c.host->vars().setNumber("_BUTTON", 7);
    DialogScript none({});
    Outcome o = c.host->call("OFFLINECFG", {c.file});
    none.finish();
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(c.host->vars().find("_BUTTON")->number, 0);
    // A path that cannot be used is told (kind 0), the macro goes on.
    EXPECT_EQ(o.raised.size(), c.said.empty() ? 0u : 1u);
    for (const auto& r : o.raised) EXPECT_EQ(std::pair(r.kind, r.text), std::pair(std::uint16_t(0), c.said));
  }
  DialogScript one({Press(IDCANCEL)});
  host_->call("OFFLINECFG", {S(f263)});
}

// --- help and window information of 353, 355 and 369 -----------------------------------------------------

// The help file named in the installation's settings; ".chm" goes to HTML
// Help, in any letter case for 353 and 355, only in lower case for 369.
TEST_F(Dialogs, HelpFollowsTheInstallationsSettings) {
  const std::string ist = inst_ + "\\icpexe\\vexmon.ist";
  struct Case { int dialog; Keys keys; bool installed; std::string calls; } cases[] = {
      {353, {}, true, "html 1 0 " + inst_ + "\\icpexe\\ICP-MS.CHM\nhtml 15 353 " + inst_ + "\\icpexe\\ICP-MS.CHM\n"},
      {355, {{"_HELPPATH$", "D:\\help"}, {"_HELPFILE$", "Manual.Chm"}}, true,
       "html 1 0 D:\\help\\Manual.Chm\nhtml 15 355 D:\\help\\Manual.Chm\n"},
      {353, {{"_HELPFILE$", "OLD.HLP"}}, true, "winhelp 1 353 " + inst_ + "\\icpexe\\OLD.HLP\n"},
      {369, {{"_HELPPATH$", "C:\\HELP\\"}, {"_HELPFILE$", "ICP-MS.chm"}}, true,
       "html 1 0 C:\\HELP\\ICP-MS.chm\nhtml 15 369 C:\\HELP\\ICP-MS.chm\n"},
      {369, {{"_HELPPATH$", "C:\\HELP\\"}}, true, "winhelp 1 369 C:\\HELP\\ICP-MS.CHM\n"},
      // 369 without a folder of its own takes the settings file's path itself.
      {369, {{"_HELPFILE$", "x.chm"}}, true, "html 1 0 " + ist + "x.chm\nhtml 15 369 " + ist + "x.chm\n"},
      {369, {{"_HELPPATH$", "C:\\HELP\\"}}, false, "winhelp 1 369 \\icpexe\\vexmon.istICP-MS.CHM\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    WriteAll(ist, Ini(c.keys));
    key_.Point(c.installed ? std::optional<std::string>(inst_) : std::nullopt);
    HelpCatcher help;
    Open(c.dialog, {[&](DialogWindow& d) {
      d.press(IDHELP);
      d.press(IDCANCEL);
    }});
    EXPECT_EQ(help.calls(host_->window()), c.calls);
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
      {369, both, 5, 5, true},  {369, both, 0, 6, false}, {369, both, 6, 0, false}, {369, MK_RBUTTON, 0, 0, false},
      {353, both, 4, 4, true},  {353, both, 5, 2, false}, {355, both, 4, 4, true},  {355, MK_RBUTTON, 2, 2, false},
  };
  for (const Click& c : clicks) {
    SCOPED_TRACE(std::to_string(c.dialog) + " at " + std::to_string(c.x) + "," + std::to_string(c.y));
    std::string want;
    HWND owner = nullptr;
    Steps steps = {[&](DialogWindow& d) {
      // (The focus is the dialog's unless a suite running beside this one
      // holds the activation.)
      HWND focus = GetFocus();
      owner = c.dialog != 369 ? d.hwnd() : focus ? GetAncestor(focus, GA_ROOT) : nullptr;
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
      EXPECT_EQ(box.caption(), module);
      EXPECT_EQ(box.owner(), owner);
      Box(want, IDI_INFORMATION)(box);
    });
    Open(c.dialog, std::move(steps));
  }
}

}  // namespace
}  // namespace mcrtest
