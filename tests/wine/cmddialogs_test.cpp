// The dialogs of QCUNREPELEM (265), EditMethAskAbort (325) and QCTuneConfig
// (369), driven as an operator would: what they show, each way out, the
// files and variables afterwards, and the help they ask for.
#include <fstream>
#include <sstream>

#include "dialogs.h"
#include "help.h"
#include "instwords.h"
#include "qcfixtures.h"

namespace mcrtest {
namespace {

using Strings = std::vector<std::string>;

constexpr int kMeasured = 1001, kAdd = 1002, kDelete = 1003, kUnreported = 1004;
constexpr int kAbort = 1000, kContinue = 1001, kBack = 1002, kIconArea = 1003;
constexpr int kSelect = 1001, kExactMass = 1100, kFailAction = 1201, kMethodEdit = 1400, kPercent = 1407;
constexpr int kMessageBoxIcon = 0x0440;  // the icon control of the platform's message box
constexpr char kButton[] = "_Button";

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The controls that take the focus with Tab, from the first on.
std::vector<int> TabOrder(const DialogWindow& d) {
  std::vector<int> ids;
  HWND first = GetNextDlgTabItem(d.hwnd(), nullptr, FALSE);
  for (HWND w = first; w; w = GetNextDlgTabItem(d.hwnd(), w, FALSE)) {
    ids.push_back(GetDlgCtrlID(w));
    if (GetNextDlgTabItem(d.hwnd(), w, FALSE) == first) break;
  }
  return ids;
}

// The dialog library's marker control: its text and its place in dialog units.
void ExpectDlgInfo(const DialogWindow& d, const char* text) {
  HWND info = FindWindowExA(d.hwnd(), nullptr, "DLGINFO", nullptr);
  ASSERT_NE(info, nullptr);
  char t[32] = {};
  GetWindowTextA(info, t, sizeof t);
  EXPECT_STREQ(t, text);
  EXPECT_EQ(GetDlgCtrlID(info), 0xFFFF);
  EXPECT_TRUE(IsWindowVisible(info));
  RECT r{};
  GetWindowRect(info, &r);
  MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  SIZE five = d.toPixels(5, 5);
  EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({0, 0, five.cx, five.cy}));
}

void ExpectSize(const DialogWindow& d, int cx, int cy) {
  SIZE want = d.toPixels(cx, cy), got = d.clientSize();
  EXPECT_EQ(std::pair(got.cx, got.cy), std::pair(want.cx, want.cy));
}

// The normal placement's corner, and where the middle of the work area puts
// a window of its size (each halving rounded toward zero).
std::pair<std::pair<LONG, LONG>, std::pair<LONG, LONG>> PlacedAndCentred(HWND w) {
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  WINDOWPLACEMENT p{};
  p.length = sizeof p;
  GetWindowPlacement(w, &p);
  const RECT& r = p.rcNormalPosition;
  LONG width = r.right - r.left, height = r.bottom - r.top;
  return {{r.left, r.top},
          {(area.right - area.left) / 2 - width / 2, (area.bottom - area.top) / 2 - height / 2}};
}

// Lets the dialog handle what was posted to it, keys included, as its own
// loop would.
void Pump(HWND dialog) {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (IsDialogMessageA(dialog, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
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

class CmdDialogs : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    host_->vars().setString("_CurrentMeth$", dir_.path());
    host_->vars().setString("_Exepath$", exe_.path() + "\\");
    host_->vars().setString("_MethPath$", "C:\\ICPMS\\METHODS\\");
    host_->vars().setNumber(kButton, 99);
  }
  void Put(const std::string& name, const Bytes& b) { Save(b, dir_.file(name)); }
  std::string Unrep(int step) const { return dir_.file("qcunrep.0" + std::to_string(step)); }
  std::string Settings() const { return exe_.file("qctune.ini"); }
  // Runs the word with one or more steps; the call must end with status 0.
  const std::vector<DialogScript::Seen> Run(const char* word, std::vector<DialogScript::Step> steps) {
    DialogScript script(std::move(steps));
    Outcome o = host_->call(word, {});
    script.finish();
    Ok(o);
    return script.seen();
  }

  TempDir exe_;
};

// --- 265: the unreported elements ---------------------------------------------------------

// A tune-step method: run group 1 measures masses 1, 2, 7, 59 and 260, run
// group 3 masses 7 and 238. Step 1 leaves out 1 and 59 (mass 100's entry
// has a flag byte of 0 and a byte above it), step 2 mass 3 (its file ends
// inside mass 260's entry), step 3 mass 238 (a byte above the flag too).
class Unreported : public CmdDialogs {
 protected:
  void SetUp() override {
    CmdDialogs::SetUp();
    LayOutMethod();
    files_[1] = Bytes(1040).i32(4 * 58, 1).i32(0, 1).i32(4 * 99, 0x100);
    files_[2] = Bytes(1040).i32(4 * 2, 1).i32(4 * 259, 1).resize(1038);
    files_[3] = Bytes(1040).i32(4 * 237, 0x101);
    for (int step : {1, 2, 3}) before_.push_back(Save(files_[step], Unrep(step)));
  }
  void LayOutMethod() {
    host_->vars().setString("_CurrentMeth$", dir_.path());
    Put("run.icp", fx::Method(4));
    Put("rungroup.01", fx::RunGroup({{59, "Co"}, {1, "H"}, {7, "Li"}, {2, "He"}, {260, "Zz"}}));
    DeleteFileA(dir_.file("rungroup.02").c_str());
    Put("rungroup.03", fx::RunGroup({{238, "U"}, {7, "Li"}}));
  }
  void ExpectFilesUnchanged() {
    for (const Snapshot& s : before_) ExpectUnchanged(s);
    for (int step : {4, 5, 6}) EXPECT_EQ(GetFileAttributesA(Unrep(step).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  static void Choose(const DialogWindow& d, int list, const Strings& texts) {
    Strings items = d.listItems(list);
    std::vector<int> indexes;
    for (const std::string& t : texts) {
      auto at = std::find(items.begin(), items.end(), t);
      ASSERT_NE(at, items.end()) << t;
      indexes.push_back(static_cast<int>(at - items.begin()));
    }
    d.selectList(list, indexes);
  }
  static void DoubleClick(const DialogWindow& d, int list) {
    SendMessageA(d.hwnd(), WM_COMMAND, MAKEWPARAM(list, LBN_DBLCLK), reinterpret_cast<LPARAM>(d.item(list)));
  }

  Bytes files_[4];
  std::vector<Snapshot> before_;
};

TEST_F(Unreported, LooksAsDesignedAndCancelWritesNothing) {
  HGLOBAL data = nullptr;
  auto seen = Run("QCUNREPELEM", {[&](DialogWindow& d) {
    EXPECT_EQ(d.caption(), A("出力しない元素の設定"));
    EXPECT_EQ(d.owner(), host_->window());
    EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
    ExpectSize(d, 210, 150);
    ExpectDlgInfo(d, "DFDLG265");
    EXPECT_EQ(d.text(), A("測定元素 / ﾁｭｰﾝｽﾃｯﾌﾟ#\n出力しない元素"));
    HWND right = FindWindowExA(d.hwnd(), nullptr, "Static", A("出力しない元素").c_str());
    EXPECT_EQ(GetWindowLongA(right, GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
    EXPECT_EQ(d.buttons(), (std::vector<int>{kAdd, kDelete, IDOK, IDCANCEL, IDHELP}));
    Strings texts;
    for (int id : d.buttons()) texts.push_back(U(d.itemText(id)));
    EXPECT_EQ(texts, (Strings{"追加->", "<-削除", "OK", "ｷｬﾝｾﾙ", "ﾍﾙﾌﾟ"}));
    EXPECT_EQ(GetWindowLongA(d.item(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(TabOrder(d), (std::vector<int>{kMeasured, kAdd, kDelete, kUnreported, IDOK, IDCANCEL, IDHELP}));
    for (int list : {kMeasured, kUnreported}) {
      LONG style = GetWindowLongA(d.item(list), GWL_STYLE);
      EXPECT_EQ(style & (LBS_SORT | LBS_EXTENDEDSEL | LBS_USETABSTOPS),
                LBS_SORT | LBS_EXTENDEDSEL | LBS_USETABSTOPS);
    }
    EXPECT_EQ(d.listItems(kMeasured), (Strings{"  1\tH\t#1", "  2\tHe\t#1", "  7\tLi\t#1", "  7\tLi\t#3",
                                               " 59\tCo\t#1", "238\tU\t#3", "260\tZz\t#1"}));
    // Mass 260 of step 2 lies in the part of an entry at the end of the file.
    EXPECT_EQ(d.listItems(kUnreported), (Strings{"  1\t#1", "  3\t#2", " 59\t#1", "238\t#3"}));
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context());
    data = GetPropA(d.hwnd(), "Dlg265Data");
    EXPECT_EQ(GlobalSize(data), 6240u);
    d.selectList(kUnreported, {0, 1, 2, 3});
    d.press(kDelete);  // nothing of it is kept after Cancel
    d.press(IDCANCEL);
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), nullptr);
    EXPECT_EQ(GetPropA(d.hwnd(), "Dlg265Data"), nullptr);
  }});
  EXPECT_EQ(Num(kButton), 0.0);
  EXPECT_EQ(GlobalSize(data), 0u) << "the working data is freed";
  ExpectFilesUnchanged();
}

TEST_F(Unreported, MovesThenOkRewritesEverySixFiles) {
  // Each operation, and list 1004 after it.
  enum Op { AddSel, DeleteSel, Dbl };
  struct Move { int list; Strings select; Op op; Strings after; } moves[] = {
      {kUnreported, {"  1\t#1"}, DeleteSel, {"  3\t#2", " 59\t#1", "238\t#3"}},
      // Mass 1 cannot be added; 2 and 260, the bounds, can.
      {kMeasured, {"  1\tH\t#1", "  2\tHe\t#1", "  7\tLi\t#1", "260\tZz\t#1"}, AddSel,
       {"  2\t#1", "  3\t#2", "  7\t#1", " 59\t#1", "238\t#3", "260\t#1"}},
      {kMeasured, {"  7\tLi\t#1", "  7\tLi\t#3"}, Dbl, {"  2\t#1", "  3\t#2", "  7\t#1", " 59\t#1", "238\t#3", "260\t#1"}},
      {kMeasured, {"  7\tLi\t#3"}, Dbl, {"  2\t#1", "  3\t#2", "  7\t#1", "  7\t#3", " 59\t#1", "238\t#3", "260\t#1"}},
      // Already listed: no second copy.
      {kMeasured, {"  7\tLi\t#1", "  7\tLi\t#3", "238\tU\t#3"}, AddSel,
       {"  2\t#1", "  3\t#2", "  7\t#1", "  7\t#3", " 59\t#1", "238\t#3", "260\t#1"}},
      {kUnreported, {"  2\t#1", "  3\t#2"}, Dbl, {"  2\t#1", "  3\t#2", "  7\t#1", "  7\t#3", " 59\t#1", "238\t#3", "260\t#1"}},
      {kUnreported, {" 59\t#1"}, Dbl, {"  2\t#1", "  3\t#2", "  7\t#1", "  7\t#3", "238\t#3", "260\t#1"}},
      {kUnreported, {"  2\t#1", "  7\t#3", "238\t#3"}, DeleteSel, {"  3\t#2", "  7\t#1", "260\t#1"}},
  };
  Run("QCUNREPELEM", {[&](DialogWindow& d) {
    for (const Move& m : moves) {
      SCOPED_TRACE(&m - moves);
      Choose(d, m.list, m.select);
      if (m.op == Dbl) DoubleClick(d, m.list);
      else d.press(m.op == AddSel ? kAdd : kDelete);
      EXPECT_EQ(d.listItems(kUnreported), m.after);
    }
    d.press(IDOK);
  }});
  EXPECT_EQ(Num(kButton), 1.0);
  // The flags come from the list; the bytes above them stay as read.
  Bytes want[7];
  for (int step = 1; step <= 6; ++step) want[step] = Bytes(1040);
  want[1].i32(4 * 6, 1).i32(4 * 99, 0x100).i32(4 * 259, 1);
  want[2].i32(4 * 2, 1);
  want[3].i32(4 * 237, 0x100);
  for (int step = 1; step <= 6; ++step) EXPECT_TRUE(Bytes::Load(Unrep(step)) == want[step]) << step;
}

TEST_F(Unreported, EscHelpAndAnEndFromOutside) {
  // Esc is Cancel; Help asks the host for topic 265 and leaves the dialog open.
  Run("QCUNREPELEM", {[&](DialogWindow& d) {
    d.press(IDHELP);
    EXPECT_EQ(host_->helpTopic(), (265u << 16) | 1u);
    d.key(VK_ESCAPE);
  }});
  EXPECT_EQ(Num(kButton), 0.0);
  // Ended by the platform, not by a button: nothing written, nothing left behind.
  host_->vars().setNumber(kButton, 99);
  HGLOBAL data = nullptr;
  Run("QCUNREPELEM", {[&](DialogWindow& d) {
    data = GetPropA(d.hwnd(), "Dlg265Data");
    EndDialog(d.hwnd(), IDCANCEL);
  }});
  EXPECT_EQ(Num(kButton), 99.0);
  EXPECT_EQ(GlobalSize(data), 0u);
  ExpectFilesUnchanged();
}

TEST_F(Unreported, WhatCannotBeReadClosesAsCancel) {
  struct Case { std::string why; std::function<void()> spoil; std::string text; } cases[] = {
      {"no method", [&] { host_->vars().setString("_CurrentMeth$", ""); }, Msg(1021)},
      {"no run.icp", [&] { DeleteFileA(dir_.file("run.icp").c_str()); }, Msg(1002, dir_.file("run.icp").c_str())},
      {"run group 1 of a method without steps",
       [&] {
         Put("run.icp", fx::Method(0));
         DeleteFileA(dir_.file("rungroup.01").c_str());
       },
       Msg(1002, dir_.file("rungroup.01").c_str())},
      {"no run group of a tune-step method",
       [&] {
         DeleteFileA(dir_.file("rungroup.01").c_str());
         DeleteFileA(dir_.file("rungroup.03").c_str());
       },
       Msg(1002, dir_.file("rungroup.01").c_str())},
      {"a short run group", [&] { Put("rungroup.02", fx::RunGroup({{9, "Be"}}).resize(436 + 25)); },
       Msg(1002, dir_.file("rungroup.02").c_str())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    c.spoil();
    host_->vars().setNumber(kButton, 99);
    auto seen = Run("QCUNREPELEM", {[&](DialogWindow& box) {
      EXPECT_EQ(box.text(), c.text);
      EXPECT_EQ(SendMessageA(box.item(kMessageBoxIcon), STM_GETICON, 0, 0),
                reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_WARNING)));
      EXPECT_EQ(box.buttons(), std::vector<int>{IDOK});
      EXPECT_EQ(GetWindow(box.owner(), GW_OWNER), host_->window()) << "owned by the dialog";
      box.press(IDOK);
    }});
    EXPECT_EQ(Num(kButton), 0.0);
    ExpectFilesUnchanged();
    LayOutMethod();
  }
}

TEST_F(Unreported, AFileThatCannotBeCreatedStopsTheWriting) {
  // Held open without sharing, qcunrep.03 cannot be created anew.
  HANDLE held = CreateFileA(Unrep(3).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto seen = Run("QCUNREPELEM", {Press(IDOK), [&](DialogWindow& box) {
                                    EXPECT_EQ(box.text(), Msg(1022));
                                    box.press(IDOK);
                                  }});
  CloseHandle(held);
  EXPECT_EQ(Num(kButton), 1.0);
  EXPECT_EQ(Bytes::Load(Unrep(2)).size(), 1040u);  // rewritten whole, the part of an entry too
  ExpectUnchanged(before_[2]);
  EXPECT_EQ(GetFileAttributesA(Unrep(4).c_str()), INVALID_FILE_ATTRIBUTES);
}

// --- 325: the edit-method prompt --------------------------------------------------------------

// Control 1003's corner as the dialog painted it, against the question icon
// drawn on the dialog's background.
bool ShowsQuestionIcon(const DialogWindow& d) {
  RedrawWindow(d.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  GetWindowRect(d.item(kIconArea), &r);
  MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  const int n = GetSystemMetrics(SM_CXICON);
  HDC window = GetDC(d.hwnd());
  HDC shown = CreateCompatibleDC(window), drawn = CreateCompatibleDC(window);
  HBITMAP a = CreateCompatibleBitmap(window, n, n), b = CreateCompatibleBitmap(window, n, n);
  HGDIOBJ oldA = SelectObject(shown, a), oldB = SelectObject(drawn, b);
  BitBlt(shown, 0, 0, n, n, window, r.left, r.top, SRCCOPY);
  RECT all{0, 0, n, n};
  FillRect(drawn, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawIcon(drawn, 0, 0, LoadIconA(nullptr, IDI_QUESTION));
  int differing = 0, differingFromBackground = 0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      differing += GetPixel(shown, x, y) != GetPixel(drawn, x, y);
      differingFromBackground += GetPixel(shown, x, y) != GetSysColor(COLOR_BTNFACE);
    }
  SelectObject(shown, oldA);
  SelectObject(drawn, oldB);
  DeleteObject(a);
  DeleteObject(b);
  DeleteDC(shown);
  DeleteDC(drawn);
  ReleaseDC(d.hwnd(), window);
  return differing == 0 && differingFromBackground > 0;
}

TEST_F(CmdDialogs, EditMethodPromptLooksAsDesigned) {
  // A work area smaller than the screen: the dialog sits in its middle.
  WorkArea area({0, 0, 1000, 700});
  Run("EditMethAskAbort", {[&](DialogWindow& d) {
    EXPECT_EQ(d.caption(), "");
    LONG style = GetWindowLongA(d.hwnd(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME), WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    EXPECT_EQ(d.owner(), host_->window());
    EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
    ExpectSize(d, 155, 57);
    ExpectDlgInfo(d, "DFDLG325");
    EXPECT_EQ(d.text(), A("残りのﾊﾟﾈﾙを編集しますか?"));
    EXPECT_EQ(d.buttons(), (std::vector<int>{kAbort, kContinue, kBack}));
    Strings texts;
    for (int id : d.buttons()) texts.push_back(U(d.itemText(id)));
    EXPECT_EQ(texts, (Strings{"中止", "継続", "戻る"}));
    EXPECT_EQ(TabOrder(d), (std::vector<int>{kAbort, kContinue, kBack}));
    auto [placed, centred] = PlacedAndCentred(d.hwnd());
    EXPECT_EQ(placed, centred);
    EXPECT_FALSE(IsWindowVisible(d.item(kIconArea)));
    EXPECT_TRUE(ShowsQuestionIcon(d));
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context());
    d.press(kContinue);
  }});
}

TEST_F(CmdDialogs, EditMethodPromptClosesOnlyThroughItsButtons) {
  for (int button : {kAbort, kContinue, kBack}) {
    SCOPED_TRACE(button);
    host_->vars().setNumber(kButton, 99);
    Run("EditMethAskAbort", {[&](DialogWindow& d) {
      d.key(VK_ESCAPE);
      Pump(d.hwnd());
      for (WPARAM command : {IDOK, IDCANCEL}) SendMessageA(d.hwnd(), WM_COMMAND, command, 0);
      SendMessageA(d.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
      Pump(d.hwnd());
      EXPECT_EQ(Num(kButton), 99.0);
      EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context()) << "still open";
      d.press(button);
      EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), nullptr);
    }});
    EXPECT_EQ(Num(kButton), button - kAbort);
  }
}

// --- 369: the QC tune criteria --------------------------------------------------------------

const Strings kCriteria = {"ﾏｽ軸", "最小ﾚｽﾎﾟﾝｽ", "ﾚｽﾎﾟﾝｽ比", "分解能", "RSD", "最大Bkg"};

// What the dialog shows: the method, the mass-defect box and the action,
// then each criterion's box and flag, and the percentage.
std::string Shown(const DialogWindow& d) {
  auto box = [&](int id) { return IsDlgButtonChecked(d.hwnd(), id) == BST_CHECKED ? "[x]" : "[ ]"; };
  std::string s = U(d.itemText(kMethodEdit)) + box(kExactMass) + std::to_string(d.comboSelection(kFailAction));
  for (int k = 1; k <= 6; ++k) s += std::string(" ") + box(1299 + k) + d.itemText(1400 + k);
  return s + " " + d.itemText(kPercent) + "%";
}

TEST_F(CmdDialogs, TuneCriteriaLookAsDesigned) {
  WorkArea area({0, 0, 900, 760});
  const std::string file =
      "[Header]\r\nMethPath=C:\\ICPMS\\METHODS\\\r\nMethFile=TUNE.M\r\n[Tune]\r\nExactMass=1\r\nAOF3=1\r\n"
      "TNITEM1=1,0.1,0\r\nTNITEM2=0,5000,0\r\nTNITEM3=1,,0\r\nTNITEM4=1,0.8,10\r\nTNITEM5=,,,\r\nTNITEM6=2\r\n";
  WriteAll(Settings(), file);
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", "D:\\NEW\\|PICKED.M");
  Run("QCTuneConfig", {[&](DialogWindow& d) {
    EXPECT_EQ(d.caption(), A("QC ﾁｭｰﾝｸﾗｲﾃﾘｱｺﾝﾌｨｸﾞﾚｰｼｮﾝ"));
    EXPECT_EQ(d.owner(), host_->window());
    EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
    ExpectSize(d, 254, 203);
    EXPECT_EQ(FindWindowExA(d.hwnd(), nullptr, "DLGINFO", nullptr), nullptr);
    EXPECT_EQ(d.text(), A("ﾃﾞｰﾀ採取ﾒｿｯﾄﾞ:\nﾌｪｲﾙ時のｱｸｼｮﾝ3:\nﾌﾗｸﾞ\n高さの%:\n%"));
    Strings texts;
    for (int id : {IDOK, IDCANCEL, IDHELP, kSelect, kExactMass, 1300, 1301, 1302, 1303, 1304, 1305})
      texts.push_back(U(d.itemText(id)));
    Strings want = {"OK", "Cancel", "ﾍﾙﾌﾟ", "選択...", "質量欠損補正をしない"};
    want.insert(want.end(), kCriteria.begin(), kCriteria.end());
    EXPECT_EQ(texts, want);
    EXPECT_EQ(TabOrder(d), (std::vector<int>{IDOK, IDCANCEL, IDHELP, kMethodEdit, kSelect, kExactMass, kFailAction,
                                             1300, 1301, 1302, 1303, 1304, 1305, 1401, 1402, 1403, 1404, 1405,
                                             1406, kPercent}));
    EXPECT_EQ(GetWindowLongA(d.item(kFailAction), GWL_STYLE) & (CBS_DROPDOWNLIST | CBS_SORT), CBS_DROPDOWN | CBS_SORT);
    // Sorted: the stored index is a place in the sorted list.
    EXPECT_EQ(d.comboItems(kFailAction), (Strings{A("次のｻﾝﾌﾟﾙ"), A("中止")}));
    EXPECT_EQ(d.itemText(kFailAction), A("中止"));
    EXPECT_EQ(Shown(d), "C:\\ICPMS\\METHODS\\TUNE.M[x]1 [x]0.1 [ ]5000 [x]0 [x]0.8 [ ] [x] 10%");
    auto [placed, centred] = PlacedAndCentred(d.hwnd());
    EXPECT_EQ(placed, centred);
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context());
    // The procedure answers TRUE for what it handles, FALSE for the rest.
    auto proc = reinterpret_cast<DLGPROC>(GetProcAddress(host_->library(), "DfDlg369Proc"));
    struct Answer { UINT message; WPARAM wp; LPARAM lp; INT_PTR handled; } answers[] = {
        {WM_COMMAND, 4321, 0, FALSE}, {WM_MOUSEMOVE, 0, 0, FALSE}, {WM_RBUTTONDBLCLK, 0, MAKELPARAM(90, 90), TRUE},
        {WM_COMMAND, MAKEWPARAM(kPercent, EN_CHANGE), 0, TRUE}};
    for (const Answer& a : answers) EXPECT_EQ(proc(d.hwnd(), a.message, a.wp, a.lp), a.handled) << a.message;
    // Nothing of what changed, the method chosen included, is kept after Cancel.
    d.setText(1401, "changed");
    d.press(kSelect);
    EXPECT_EQ(d.itemText(kMethodEdit), "D:\\NEW\\PICKED.M");
    d.press(IDCANCEL);
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), nullptr);
  }});
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  EXPECT_EQ(ReadAll(Settings()), file);
}

TEST_F(CmdDialogs, TuneCriteriaWithoutAFileThenOk) {
  Run("QCTuneConfig", {[&](DialogWindow& d) {
    EXPECT_EQ(Shown(d), "C:\\ICPMS\\METHODS\\[ ]-1 [ ] [ ] [ ] [ ] [ ] [ ] %") << "the host's method folder";
    d.press(IDOK);
  }});
  EXPECT_EQ(ReadAll(Settings()),
            "[Header]\r\nMethPath=C:\\ICPMS\\METHODS\\\r\nMethFile=\r\n[Tune]\r\nExactMass=0\r\nAOF3=-1\r\n"
            "TNITEM1=0,,0\r\nTNITEM2=0,,0\r\nTNITEM3=0,,0\r\nTNITEM4=0,,\r\nTNITEM5=0,,0\r\nTNITEM6=0,,0\r\n");
}

TEST_F(CmdDialogs, TuneCriteriaEditedSelectedAndSaved) {
  TempDir logDir;
  const std::string log = logDir.file("dlgframe.log");
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", log.c_str());
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", "D:\\NEW\\|PICKED.M");
  // The percentage box after it loses the focus.
  struct Percent { const char* typed; const char* shown; } percents[] = {{"-5", "0"}, {"abc", "0"}, {"15%", "15"}};
  Run("QCTuneConfig", {[&](DialogWindow& d) {
    for (const Percent& p : percents) {
      d.setText(kPercent, p.typed);
      SendMessageA(d.hwnd(), WM_COMMAND, MAKEWPARAM(kPercent, EN_KILLFOCUS), reinterpret_cast<LPARAM>(d.item(kPercent)));
      EXPECT_EQ(d.itemText(kPercent), p.shown) << p.typed;
    }
    d.setText(kPercent, "25");
    d.setText(kMethodEdit, "C:\\OLD\\ONE.M");
    d.press(kSelect);
    EXPECT_EQ(d.itemText(kMethodEdit), "D:\\NEW\\PICKED.M");
    CheckDlgButton(d.hwnd(), kExactMass, BST_CHECKED);
    CheckDlgButton(d.hwnd(), 1301, BST_CHECKED);
    CheckDlgButton(d.hwnd(), 1304, BST_CHECKED);
    d.setText(1401, "0.2");
    d.setText(1404, A("高い"));
    d.setText(1406, std::string(260, 'f'));  // read at most 259
    d.selectCombo(kFailAction, 1);
    d.press(IDOK);
  }});
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  SetEnvironmentVariableA("MCR_DLGFRAME_LOG", nullptr);
  EXPECT_EQ(ReadAll(log), "SelectMethodFile owner=1 kind=4 title=Title pattern=*.M dir=C:\\OLD\\ file=ONE.M\r\n");
  EXPECT_EQ(ReadAll(Settings()),
            "[Header]\r\nMethPath=D:\\NEW\\\r\nMethFile=PICKED.M\r\n[Tune]\r\nExactMass=1\r\nAOF3=1\r\n"
            "TNITEM1=0,0.2,0\r\nTNITEM2=1,,0\r\nTNITEM3=0,,0\r\nTNITEM4=0," + A("高い") + ",25\r\nTNITEM5=1,,0\r\n"
            "TNITEM6=0," + std::string(259, 'f') + ",0\r\n");
}

TEST_F(CmdDialogs, TuneCriteriaHelp) {
  // The help file named in vexmon.ist under the installation folder; the
  // extension decides the viewer, letter case included.
  WorkstationKey key;
  TempDir install;
  CreateDirectoryA(install.file("icpexe").c_str(), nullptr);
  const std::string ist = install.file("icpexe\\vexmon.ist");
  struct Case { const char* path; const char* file; bool installed; std::string help; bool html; } cases[] = {
      {"C:\\HELP\\", "ICP-MS.chm", true, "C:\\HELP\\ICP-MS.chm", true},
      {"C:\\HELP\\", "ICP-MS.CHM", true, "C:\\HELP\\ICP-MS.CHM", false},
      {"C:\\HELP\\", nullptr, true, "C:\\HELP\\ICP-MS.CHM", false},
      {nullptr, "x.chm", true, ist + "x.chm", true},
      {"C:\\HELP\\", "x.chm", false, "\\icpexe\\vexmon.istICP-MS.CHM", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.help);
    DeleteFileA(ist.c_str());
    if (c.path) WritePrivateProfileStringA("PCS,1", "_HELPPATH$", c.path, ist.c_str());
    if (c.file) WritePrivateProfileStringA("PCS,1", "_HELPFILE$", c.file, ist.c_str());
    key.Point(c.installed ? std::optional<std::string>(install.path()) : std::nullopt);
    HtmlHelpRecorder html;
    WinHelpCatcher winHelp;
    Run("QCTuneConfig", {[&](DialogWindow& d) {
      d.press(IDHELP);
      d.press(IDCANCEL);
    }});
    if (c.html) {
      auto calls = html.calls();
      ASSERT_EQ(calls.size(), 2u);
      for (const auto& call : calls) {
        EXPECT_EQ(call.window, GetDesktopWindow());
        EXPECT_EQ(call.file, c.help);
      }
      EXPECT_EQ(std::pair(calls[0].command, calls[0].data), std::pair(1u, DWORD_PTR{0}));
      EXPECT_EQ(std::pair(calls[1].command, calls[1].data), std::pair(15u, DWORD_PTR{369}));
      EXPECT_TRUE(winHelp.requests().empty());
    } else {
      EXPECT_TRUE(html.calls().empty());
      ASSERT_EQ(winHelp.requests().size(), 1u);
      const auto& r = winHelp.requests()[0];
      EXPECT_EQ(r.owner, host_->window());
      EXPECT_EQ(r.file, c.help);
      EXPECT_EQ(std::pair(r.command, r.data), std::pair(UINT{HELP_CONTEXT}, 369u));
    }
  }
}

TEST_F(CmdDialogs, TuneCriteriaWindowInformation) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(host_->library(), module, sizeof module);
  // A right double click with the left button down, near the client area's corner.
  struct Click { WPARAM keys; int x, y; bool shows; } clicks[] = {
      {MK_LBUTTON | MK_RBUTTON, 5, 5, true}, {MK_LBUTTON | MK_RBUTTON, 0, 6, false},
      {MK_LBUTTON | MK_RBUTTON, 6, 0, false}, {MK_RBUTTON, 0, 0, false}};
  for (const Click& c : clicks) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    std::string want;
    HWND owner = nullptr;
    std::vector<DialogScript::Step> steps = {[&](DialogWindow& d) {
      // The box belongs to the window with the focus: the dialog's, unless
      // a suite running beside this one holds the activation.
      HWND focus = GetFocus();
      owner = focus ? GetAncestor(focus, GA_ROOT) : nullptr;
      RECT r{};
      GetWindowRect(d.hwnd(), &r);
      char text[200];
      wsprintfA(text, "Handle:%d\nId:%d\n(%d, %d)-(%d, %d)\nParent:%d", static_cast<int>(INT_PTR(d.hwnd())), 369,
                r.left, r.top, r.right, r.bottom, static_cast<int>(INT_PTR(host_->window())));
      want = text;
      SendMessageA(d.hwnd(), WM_RBUTTONDBLCLK, c.keys, MAKELPARAM(c.x, c.y));
      d.press(IDCANCEL);
    }};
    if (c.shows) steps.push_back([&](DialogWindow& box) {
      EXPECT_EQ(box.caption(), module);
      EXPECT_EQ(box.text(), want);
      EXPECT_EQ(box.owner(), owner);
      EXPECT_EQ(SendMessageA(box.item(kMessageBoxIcon), STM_GETICON, 0, 0),
                reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_INFORMATION)));
      box.press(IDOK);
    });
    Run("QCTuneConfig", std::move(steps));
  }
}

}  // namespace
}  // namespace mcrtest
