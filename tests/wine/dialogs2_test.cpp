// SVMETHCAL (dialog 353 and its folder browser) and OFFLINECFG (dialog 355)
// driven as an operator would: what the dialogs show, each way out, the
// variables and files they leave, their help and window information.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "dialogs.h"
#include "helpcalls.h"
#include "instwords.h"

namespace mcrtest {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;

constexpr int kMethod = 102, kMethodBrowse = 103, kCalib = 105, kCalibBrowse = 106, kName = 108;
constexpr int kType = 103, kPump = 104, kApp = 106, kSampler = 108, kMass = 110, kLoadOnline = 120;
const char kRecordProperty[] = "SVMETHCALRMS";

std::string Text(const std::string& path) {
  Bytes b = Bytes::Load(path);
  return std::string(b.data().begin(), b.data().end());
}
Bytes Of(const std::string& text) { return Bytes().put(0, text.data(), text.size()); }
void Put(const std::string& path, const std::string& text) { Of(text).save(path); }
std::string Ini(const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string s = "[PCS,1]\r\n";
  for (const auto& [k, v] : keys) s += k + "=" + v + "\r\n";
  return s;
}

// A control's place in the dialog's client area, and a place given in dialog units.
RECT Placed(const DialogWindow& d, int id) {
  RECT r{};
  GetWindowRect(d.item(id), &r);
  MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
RECT Units(const DialogWindow& d, RECT r) {
  MapDialogRect(d.hwnd(), &r);
  return r;
}
bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
LONG Style(const DialogWindow& d, int id) { return GetWindowLongA(d.item(id), GWL_STYLE); }
bool Enabled(const DialogWindow& d, int id) { return IsWindowEnabled(d.item(id)) != FALSE; }

// The ids of the tab stops in tab order, disabled ones included.
Ids TabOrder(const DialogWindow& d) {
  Ids ids;
  for (HWND w = GetWindow(d.hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP) ids.push_back(GetDlgCtrlID(w));
  return ids;
}

std::string TreeSelection(const DialogWindow& d) {
  HWND tree = FindWindowExA(d.hwnd(), nullptr, WC_TREEVIEWA, nullptr);
  char text[MAX_PATH] = {};
  TVITEMA item{};
  item.mask = TVIF_TEXT;
  item.hItem = TreeView_GetSelection(tree);
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return text;
}

// A message box: its text, caption and whether it shows the stop icon.
DialogScript::Step StopBox(std::string text, std::string caption) {
  return [=](DialogWindow& d) {
    EXPECT_EQ(d.text(), text);
    EXPECT_EQ(d.caption(), caption);
    HWND icon = nullptr;
    for (HWND w = FindWindowExA(d.hwnd(), nullptr, "Static", nullptr); w && !icon;
         w = FindWindowExA(d.hwnd(), w, "Static", nullptr))
      if ((GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = w;
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)), LoadIconA(nullptr, IDI_HAND));
    d.press(IDOK);
  };
}

class DialogWords : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    key_.Point(inst_);
    CreateDirectoryA(inst_.c_str(), nullptr);
    CreateDirectoryA((inst_ + "\\icpexe").c_str(), nullptr);
    CreateDirectoryA((inst_ + "\\RAPS").c_str(), nullptr);
    CreateDirectoryA(prog_.c_str(), nullptr);
    Put(inst_ + "\\RAPS\\a.mpu", "#APP_BEG\r\nAppName\tX\r\n#APP_END\r\n");
    Put(inst_ + "\\RAPS\\b.mpu", "#APP_BEG\r\nAppName\tY\r\n#APP_END\r\n");
    Put(prog_ + "mpm.tbl", "#STD_BEG\r\nStd1\tstd1a.mpu\tstd1.mpm\r\nStd2\tstd2a.mpm\tstd2.mpm\r\n#STD_END\r\n");
    Online({{"_PPUMP", "1"}});
    host_->vars().setString("_EXEPATH$", prog_);
    host_->vars().setString("_INSTPATH$", inst_ + "\\");
  }
  void Online(const std::vector<std::pair<std::string, std::string>>& keys) { Put(prog_ + "vexmon.ist", Ini(keys)); }
  std::string Tray() const { return inst_ + "\\icpexe\\vexmon.ist"; }
  // The application combo's entries: the table's, then the application files as they are found.
  Strings Applications() const {
    Strings apps{"Std1", "Std2"};
    WIN32_FIND_DATAA f{};
    HANDLE h = FindFirstFileA((inst_ + "\\RAPS\\*.mpu").c_str(), &f);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &f))
      apps.push_back(std::string(f.cFileName) + (f.cFileName[0] == 'a' ? "-X" : "-Y"));
    FindClose(h);
    return apps;
  }
  int AppIndex(const std::string& entry) const {
    Strings apps = Applications();
    return static_cast<int>(std::find(apps.begin(), apps.end(), entry) - apps.begin());
  }
  Outcome Offline() { return host_->call("OFFLINECFG", {S(settings_)}); }
  Outcome MethCal(std::vector<Arg> args) { return host_->call("SVMETHCAL", std::move(args)); }

  WorkstationKey key_;
  std::string inst_ = dir_.file("inst"), prog_ = dir_.file("prog\\"), settings_ = dir_.file("offline.ist");
  const std::string kTitle = A("ﾒｿｯﾄﾞ及び検量線のためのﾌｧｲﾙ名を指定");
};

// ------------------------------------------------------------------ SVMETHCAL

TEST_F(DialogWords, MethCalLooksAsDesigned) {
  for (const char* v : {"m$", "c$", "n$"}) host_->vars().setString(v, "stale");
  for (bool escape : {false, true}) {
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ(d.caption(), kTitle);
      EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
      SIZE want = d.toPixels(259, 130), got = d.clientSize();
      EXPECT_EQ(std::pair(got.cx, got.cy), std::pair(want.cx, want.cy));
      EXPECT_EQ(d.owner(), host_->window());
      EXPECT_EQ((Strings{d.itemText(101), d.itemText(104), d.itemText(107)}),
                (Strings{A("ﾒｿｯﾄﾞのﾊﾟｽ:"), A("検量線のﾊﾟｽ:"), A("ﾌｧｲﾙ名(&F):")}));
      EXPECT_EQ((Strings{d.itemText(kMethod), d.itemText(kCalib), d.itemText(kName)}),
                (Strings{"C:\\m\\", "C:\\c\\", "NAME"}));
      HANDLE folder = LoadImageA(host_->library(), MAKEINTRESOURCEA(2000), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
      for (int id : {kMethod, kCalib}) EXPECT_EQ(Style(d, id) & (SS_SUNKEN | SS_ELLIPSISMASK), SS_SUNKEN | SS_PATHELLIPSIS);
      for (int id : {kMethodBrowse, kCalibBrowse}) {
        EXPECT_TRUE(Style(d, id) & BS_ICON);
        EXPECT_EQ(reinterpret_cast<HANDLE>(SendMessageA(d.item(id), BM_GETIMAGE, IMAGE_ICON, 0)), folder);
      }
      EXPECT_TRUE(Style(d, kName) & ES_AUTOHSCROLL);
      EXPECT_EQ(SendMessageA(d.item(kName), EM_GETLIMITTEXT, 0, 0), 256);
      EXPECT_EQ(d.buttons(), (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL, IDHELP}));
      EXPECT_EQ(TabOrder(d), (Ids{kMethodBrowse, kCalibBrowse, kName, IDOK, IDCANCEL, IDHELP}));
      EXPECT_EQ(GetFocus(), d.item(IDOK));
      RECT area{}, r{};
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
      GetWindowRect(d.hwnd(), &r);
      EXPECT_LE(std::abs((r.left + r.right) - (area.left + area.right)), 1);
      EXPECT_LE(std::abs((r.top + r.bottom) - (area.top + area.bottom)), 1);
      auto record = static_cast<HGLOBAL>(GetPropA(d.hwnd(), kRecordProperty));
      EXPECT_GE(GlobalSize(record), 2984u);
      if (escape) {
        d.key(VK_ESCAPE);
        return;
      }
      d.press(IDCANCEL);
      EXPECT_EQ(GetPropA(d.hwnd(), kRecordProperty), nullptr);
    }});
    Outcome o = MethCal({S("C:\\m"), S("C:\\c\\"), S("D:\\x\\NAME.M"), Omit(), Omit(), S("m$"), S("c$"), S("n$")});
    script.finish();
    Ok(o);
    // Cancel fills no buffer: the variables are emptied.
    EXPECT_EQ(Num("_BUTTON"), 0);
    for (const char* v : {"m$", "c$", "n$"}) EXPECT_EQ(StrVar(*host_, v), "") << v;
  }
}

TEST_F(DialogWords, MethCalHelpFlagMovesButtons) {
  struct Case { Arg help; bool shown; } cases[] = {{Omit(), true}, {N(1), true}, {N(0.5), true}, {N(-1), true},
                                                  {N(0), false}, {N(0.4), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    DialogScript script({[&](DialogWindow& d) {
      RECT cancel = Units(d, {146, 106, 196, 120}), help = Units(d, {201, 106, 251, 120});
      EXPECT_EQ(d.buttons(), c.shown ? (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL, IDHELP})
                                     : (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL}));
      EXPECT_TRUE(Same(Placed(d, IDOK), c.shown ? Units(d, {91, 106, 141, 120}) : cancel));
      EXPECT_TRUE(Same(Placed(d, IDCANCEL), c.shown ? cancel : help));
      d.press(IDCANCEL);
    }});
    MethCal({S("C:\\m"), S("C:\\c"), S("n"), Omit(), c.help});
  }
}

TEST_F(DialogWords, MethCalFoldersAndNames) {
  // Omitted folders and name come from the host; only the variables named are set.
  struct Case { std::vector<Arg> args; Strings shown; Strings vars; } cases[] = {
      {{Omit(), Omit(), Omit(), Omit(), Omit(), S("m$"), S("c$"), S("n$")},
       {"C:\\meth\\", "C:\\cal\\", "N1"}, {"C:\\meth\\", "C:\\cal\\", "N1"}},
      {{S("E:\\a"), S("E:\\b\\"), S("abc.def.ghi"), Omit(), Omit(), Omit(), S("c$")},
       {"E:\\a\\", "E:\\b\\", "abc.def"}, {"old", "E:\\b\\", "old"}}};
  host_->vars().setString("_METHPATH$", "C:\\meth");
  host_->vars().setString("_CALPATH$", "C:\\cal\\");
  host_->vars().setString("_METHFILE$", "D:\\x\\N1.M");
  for (const Case& c : cases) {
    for (const char* v : {"m$", "c$", "n$"}) host_->vars().setString(v, "old");
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ((Strings{d.itemText(kMethod), d.itemText(kCalib), d.itemText(kName)}), c.shown);
      d.setText(kName, "ab.c");  // refused, then put right
      d.press(IDOK);
    }, StopBox(Msg(1041), kTitle), [&](DialogWindow& d) {
      d.setText(kName, "N1");
      d.key(VK_RETURN);
    }});
    Ok(MethCal(c.args));
    script.finish();
    EXPECT_EQ(Num("_BUTTON"), 1);
    EXPECT_EQ((Strings{StrVar(*host_, "m$"), StrVar(*host_, "c$"), StrVar(*host_, "n$")}), c.vars);
  }
}

TEST_F(DialogWords, MethCalRefusesUntilPutRight) {
  // Folders before the name; an empty name, a path or extension, the length, the characters.
  struct Case { const char* method; const char* calib; std::string name; int message; } cases[] = {
      {"", "", "a b", 1038}, {"C:\\m", "", "a b", 1038}, {"C:\\m", "C:\\c", "", 1039},
      {"C:\\m", "C:\\c", "NAME.M", 1041}, {"C:\\m", "C:\\c", "a b c d e", 1042}, {"C:\\m", "C:\\c", "ab*", 1039}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    DialogScript script({[&](DialogWindow& d) {
      d.setText(kName, c.name);
      d.press(IDOK);
    }, StopBox(Msg(c.message), kTitle), Press(IDCANCEL)});
    Ok(MethCal({S(c.method), S(c.calib), S("x")}));
    script.finish();
    EXPECT_EQ(Num("_BUTTON"), 0);
  }
}

TEST_F(DialogWords, MethCalBuffersAreBounded) {
  using Ui = int(WINAPI*)(HWND, HINSTANCE, int, const char*, const char*, const char*, const char*, char*, char*,
                          char*);
  auto ui = reinterpret_cast<Ui>(GetProcAddress(host_->library(), "SvMethCalUI"));
  ASSERT_NE(ui, nullptr);
  const std::string f256 = "C:\\" + std::string(252, 'f') + "\\", f257 = f256 + "g", x255(255, 'x');
  char out[3][258];
  std::memset(out, 'Q', sizeof out);
  // Cancel writes nothing; what does not fit 257 bytes shows no dialog at all.
  DialogScript cancel({Press(IDCANCEL)});
  EXPECT_EQ(ui(nullptr, nullptr, 1, f256.c_str(), "C:\\c\\", "n", nullptr, out[0], out[1], out[2]), 0);
  cancel.finish();
  EXPECT_EQ(out[0][0], 'Q');
  DialogScript none({});
  EXPECT_EQ(ui(nullptr, nullptr, 1, f257.c_str(), "C:\\c\\", "n", "", out[0], out[1], out[2]), -1);
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", x255.c_str(), out[0], out[1], out[2]), -1);
  none.finish();
  DialogScript ok({Press(IDOK)});
  EXPECT_EQ(ui(host_->window(), nullptr, 0, f256.c_str(), "C:\\c\\", "nm", "M", out[0], out[1], out[2]), 1);
  ok.finish();
  EXPECT_EQ(std::string(out[0]), f256);
  EXPECT_EQ(out[0][257], 'Q');
  EXPECT_EQ((Strings{out[1], out[2]}), (Strings{"C:\\c\\", "nm"}));
  DialogScript nulls({Press(IDOK)});
  EXPECT_EQ(ui(nullptr, nullptr, 1, "C:\\m\\", "C:\\c\\", "n", nullptr, nullptr, nullptr, nullptr), 1);
  nulls.finish();
  // The command says why; without a host window it says that first.
  Outcome o = MethCal({S(f256.substr(0, 256 - 1) + "h")});  // 256 bytes and the backslash added
  Err(o, Msg(1007, 256));
  auto windowless = OpenHost([] { mcrhost::HostOptions h; h.createWindow = false; return h; }());
  o = windowless->call("SVMETHCAL", {S(f257)});
  EXPECT_EQ(o.status, 1);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(*o.error(), Msg(1040));
}

TEST_F(DialogWords, MethCalFolderBrowser) {
  // This Wine's browser cannot walk to a folder under the user's profile,
  // where the temporary folder is: these folders live under C:\.
  TempDir root("C:\\");
  const std::string meth = root.file("A.m") + "\\", cal = root.file("cal") + "\\";
  CreateDirectoryA(meth.c_str(), nullptr);
  CreateDirectoryA(cal.c_str(), nullptr);
  auto browser = [&](const char* selected, int button) {
    return [=](DialogWindow& d) {
      EXPECT_NE(d.text().find(Msg(1244)), std::string::npos);
      EXPECT_EQ(d.buttons(), (Ids{IDOK, IDCANCEL}));  // no New Folder button
      EXPECT_EQ(TreeSelection(d), selected);
      d.press(button);
    };
  };
  DialogScript script({Press(kMethodBrowse), browser("A.m", IDOK), StopBox(Msg(1037, ".M"), kTitle),
                       [&](DialogWindow& d) {
                         EXPECT_EQ(d.itemText(kMethod), meth);
                         d.press(kCalibBrowse);
                       },
                       browser("cal", IDOK), Press(kMethodBrowse), browser("A.m", IDCANCEL), Press(IDOK)});
  // The entry that refuses is named as the macro wrote it, found in any letter case.
  // The calibration folder is given in capitals: the browser answers with the folder's own spelling.
  Ok(MethCal({S(meth), S(root.file("CAL")), S("n"), S("C:M"), Omit(), S("m$"), S("c$")}));
  script.finish();
  EXPECT_EQ((Strings{StrVar(*host_, "m$"), StrVar(*host_, "c$")}), (Strings{meth, cal}));

  // The callback asks the browser to select the folder shown, and nothing else.
  auto callback = reinterpret_cast<BFFCALLBACK>(GetProcAddress(host_->library(), "BrowseSelFldCallbackProc"));
  static std::vector<std::pair<UINT, LPARAM>> asked;
  HWND w = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m >= WM_USER) asked.push_back({m, wp == TRUE ? lp : -1});
    return 0;
  }));
  char path[] = "C:\\x\\", empty[] = "";
  EXPECT_EQ(callback(w, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(path)), 0);
  callback(w, BFFM_SELCHANGED, 0, reinterpret_cast<LPARAM>(path));
  callback(w, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(empty));
  DestroyWindow(w);
  EXPECT_EQ(asked, (std::vector<std::pair<UINT, LPARAM>>{{BFFM_SETSELECTIONA, reinterpret_cast<LPARAM>(path)}}));
}

// ----------------------------------------------------------------- OFFLINECFG

// What dialog 355 shows: the selections (-1 none), which parts are enabled,
// the pump's check and the mass fields.
struct Shown {
  int type, sampler, app;
  bool appOn, pumpOn, pumpChecked;
  Strings masses;
  bool operator==(const Shown& o) const {
    return std::tie(type, sampler, app, appOn, pumpOn, pumpChecked, masses) ==
           std::tie(o.type, o.sampler, o.app, o.appOn, o.pumpOn, o.pumpChecked, o.masses);
  }
};
std::ostream& operator<<(std::ostream& os, const Shown& s) {
  os << s.type << " " << s.sampler << " " << s.app << " " << s.appOn << s.pumpOn << s.pumpChecked;
  for (const auto& m : s.masses) os << " [" << m << "]";
  return os;
}
Shown Look(const DialogWindow& d) {
  Strings masses;
  for (int id = kMass; id < kMass + 10; ++id) masses.push_back(d.itemText(id));
  while (!masses.empty() && masses.back().empty()) masses.pop_back();
  return {d.comboSelection(kType), d.comboSelection(kSampler), d.comboSelection(kApp), Enabled(d, kApp),
          Enabled(d, kPump), IsDlgButtonChecked(d.hwnd(), kPump) == BST_CHECKED, masses};
}
const Strings kSamplers{A("なし"), "ASX500", "ASX100", "EXR-8", "Z-QT"}, kRapsSamplers{A("なし"), "ASX500", "EXR-8", "Z-QT"};

TEST_F(DialogWords, OfflineLooksAsDesignedAndCancelChangesNothing) {
  Snapshot settings = Save(Of(Ini({{"SI_TYPE", "5"}})), settings_);
  host_->vars().setNumber("_optintro", 5);
  for (UINT way : {UINT(IDCANCEL), UINT(VK_ESCAPE)}) {
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ(d.caption(), A("ｵﾌﾗｲﾝ ｺﾝﾌｨｸﾞﾚｰｼｮﾝ"));
      EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
      EXPECT_EQ(d.owner(), host_->window());
      EXPECT_EQ((Strings{d.itemText(kPump), d.itemText(105), d.itemText(kLoadOnline)}),
                (Strings{A("ｻﾝﾌﾟﾙﾎﾟﾝﾌﾟ(&S)"), A("RAPS ｱﾌﾟﾘｹｰｼｮﾝ(&I):"), A("ｵﾝﾗｲﾝ設定を読み込み(&L)")}));
      EXPECT_EQ(d.comboItems(kType), (Strings{A("なし"), A("ﾍﾟﾘﾎﾟﾝﾌﾟ"), "RAPS", A("LC/GC/ﾚｰｻﾞｰｱﾌﾞﾚｰｼｮﾝ")}));
      EXPECT_EQ(d.comboItems(kSampler), kSamplers);
      EXPECT_EQ(d.comboItems(kApp), Applications());
      for (int id = kMass; id < kMass + 10; ++id) {
        EXPECT_TRUE(Style(d, id) & ES_NUMBER);
        EXPECT_EQ(SendMessageA(d.item(id), EM_GETLIMITTEXT, 0, 0), 3);
      }
      EXPECT_EQ(d.buttons(), (Ids{kLoadOnline, IDOK, IDCANCEL, IDHELP}));
      EXPECT_EQ(TabOrder(d), (Ids{kType, kPump, kApp, kSampler, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119,
                                  kLoadOnline, IDOK, IDCANCEL, IDHELP}));
      EXPECT_EQ(GetPropA(d.hwnd(), "SRVPASSKEY"), host_->context());
      EXPECT_NE(GetPropA(d.hwnd(), "355PRM"), nullptr);
      EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(d.hwnd(), "SITYPE")), 3);
      d.selectCombo(kType, 2);
      d.setText(kMass, "7");
      if (way == IDCANCEL) d.press(IDCANCEL);
      else d.key(way);
    }});
    Ok(Offline());
    script.finish();
    EXPECT_EQ(Num("_BUTTON"), 0);
    ExpectUnchanged(settings);
    EXPECT_EQ(Num("_optintro"), 5);
    EXPECT_FALSE(TableOf("_INHIBIT"));
  }
}

TEST_F(DialogWords, OfflineStartsFromTheVariables) {
  struct Var { const char* name; double number; const char* text = nullptr; };
  const int b = AppIndex("b.mpu-Y");
  struct Case { std::vector<Var> vars; Shown shown; } cases[] = {
      // A RAPS application in use wins over the type; the pump is off for RAPS.
      {{{"_mpm", 0.6}, {"_optintro", 0}, {"_optals", 5}, {"_MPMFile$", 0, "b.mpu"}, {"_MPMApp$", 0, "Y"},
        {"OPT_PMP2", 1}}, {2, 2, b, true, false, false, {}}},
      {{{"_mpm", 0.4}, {"_optintro", 4.6}, {"_optals", 1}, {"OPT_PMP2", 1}}, {3, 2, 0, false, true, true, {}}},
      {{{"_optintro", 9}, {"_optals", 7}}, {0, -1, 0, false, true, false, {}}},
      // The application by file and name, by name alone, or none; no file or name: the first.
      {{{"_mpm", 1}, {"_MPMFile$", 0, "zz"}, {"_MPMApp$", 0, "std2"}}, {2, -1, 1, true, false, false, {}}},
      {{{"_mpm", 1}, {"_MPMFile$", 0, "zz"}, {"_MPMApp$", 0, "none"}}, {2, -1, -1, true, false, false, {}}},
      {{{"_mpm", 1}, {"_MPMFile$", 0, ""}, {"_MPMApp$", 0, "Y"}}, {2, -1, 0, true, false, false, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const char* v : {"_mpm", "_optintro", "_optals", "OPT_PMP2", "_MPMFile$", "_MPMApp$"}) host_->vars().erase(v);
    for (const Var& v : c.vars) {
      if (v.text) host_->vars().setString(v.name, v.text);
      else host_->vars().setNumber(v.name, v.number);
    }
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ(Look(d), c.shown);
      EXPECT_EQ(d.comboItems(kSampler), c.shown.type == 2 ? kRapsSamplers : kSamplers);
      d.press(IDCANCEL);
    }});
    Offline();
  }
  // The first ten elements of the table, each cut to a whole number.
  std::uint32_t t = host_->vars().newTable(12);
  *host_->vars().table(t) = {7.9, -3.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  host_->vars().setTable("_INHIBIT", t);
  DialogScript script({[&](DialogWindow& d) {
    EXPECT_EQ(Look(d).masses, (Strings{"7", "-3", "1", "2", "3", "4", "5", "6", "7", "8"}));
    d.press(IDCANCEL);
  }});
  Offline();
}

TEST_F(DialogWords, OfflineLoadsTheOnlineSettings) {
  using Keys = std::vector<std::pair<std::string, std::string>>;
  struct Case { Keys keys; Shown shown; } cases[] = {
      {{{"_INHIBIT", "7 50x 0099 "}, {"_MPM", "1"}, {"_MPMFILE$", "b.mpu"}, {"SI_TYPE", "0"}, {"ALS_TYPE", ""},
        {"OPT_PMP2", "1"}, {"_PPUMP", "1"}}, {2, 0, AppIndex("b.mpu-Y"), true, false, false, {"7", "50", "99"}}},
      {{{"SI_TYPE", "5"}, {"ALS_TYPE", "1"}, {"OPT_PMP2", "1"}, {"_PPUMP", "1"}}, {3, 2, 0, false, true, true, {}}},
      {{{"ALS_TYPE", "7"}, {"_PPUMP", "0"}, {"OPT_PMP2", "1"}}, {0, -1, 0, false, false, false, {}}},
      {{}, {0, 0, 0, false, false, false, {}}},
  };
  host_->vars().setNumber("_optintro", 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Online(c.keys);
    DialogScript script({[&](DialogWindow& d) {
      d.setText(kMass + 9, "9");
      d.press(kLoadOnline);
      EXPECT_EQ(Look(d), c.shown);
      d.press(IDCANCEL);
    }});
    Offline();
  }
}

TEST_F(DialogWords, OfflineTypeChoosesTheAutosamplers) {
  host_->vars().setNumber("_optintro", 0);
  DialogScript script({[&](DialogWindow& d) {
    d.selectCombo(kSampler, 3);
    d.selectCombo(kType, 2);  // RAPS: its own autosamplers, from the first
    EXPECT_EQ(d.comboItems(kSampler), kRapsSamplers);
    EXPECT_EQ(Look(d), (Shown{2, 0, 0, true, false, false, {}}));
    d.selectCombo(kSampler, 2);
    d.selectCombo(kType, 2);  // the same type again keeps the choice
    EXPECT_EQ(d.comboSelection(kSampler), 2);
    d.selectCombo(kType, 3);
    EXPECT_EQ(d.comboItems(kSampler), kSamplers);
    EXPECT_EQ(Look(d), (Shown{3, 0, 0, false, true, false, {}}));
    d.press(IDCANCEL);
  }});
  Offline();
}

TEST_F(DialogWords, OfflineOkStoresTheChoices) {
  const std::string kDefaults = "TRAY_ID=1\r\nMAX_BOTTLE=89\r\nRINSE_DEPTH=280\r\nSAMPLE_DEPTH=440\r\nSTD_DEPTH=440\r\n"
                                "ONEBOTTLE_DEPTH=440\r\nESC_MODE=0\r\n";
  struct Case {
    int type, sampler, app;
    Strings masses;
    std::string file;  // the settings file afterwards (it starts with an old _INHIBIT)
    double mpm;
    Strings app$;  // _MPMApp$, _MPMFile$
    double optals, pump;
  } cases[] = {
      // (The platform's profile writer drops the blank after the last mass.)
      {1, 2, -1, {"050", "7", "7", "300"},
       Ini({{"_MPM", "0"}, {"_MPMFILE$", ""}, {"_INHIBIT", "7 50"}, {"SI_TYPE", "0"}, {"ALS_TYPE", "1"},
            {"OPT_PMP2", "1"}}), 0, {"<missing>", "<missing>"}, 1, 1},
      // A standard application: its file with an autosampler, or without one.
      {2, 1, 0, {}, Ini({{"_MPM", "2"}, {"_MPMFILE$", "std1a.mpu"}, {"SI_TYPE", "4"}, {"ALS_TYPE", "0"},
                         {"OPT_PMP2", "0"}}), 2, {"Std1", "std1a.mpu"}, 0, 0},
      {2, 0, 1, {}, Ini({{"_MPM", "1"}, {"_MPMFILE$", "std2.mpm"}, {"SI_TYPE", "4"}, {"ALS_TYPE", ""},
                         {"OPT_PMP2", "0"}}), 1, {"Std2", "std2.mpm"}, -1, 0},
      {2, 2, AppIndex("a.mpu-X"), {}, Ini({{"_MPM", "2"}, {"_MPMFILE$", "a.mpu"}, {"SI_TYPE", "4"},
                                             {"ALS_TYPE", "5"}, {"OPT_PMP2", "0"}}), 2, {"X", "a.mpu"}, 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Put(settings_, Ini({{"_INHIBIT", "9 "}}));
    host_->vars().setNumber("_INHIBIT", 9);
    DialogScript script({[&](DialogWindow& d) {
      d.selectCombo(kType, c.type);
      d.selectCombo(kSampler, c.sampler);
      d.selectCombo(kApp, c.app);
      for (std::size_t i = 0; i < c.masses.size(); ++i) d.setText(kMass + int(i), c.masses[i]);
      if (c.type == 1) CheckDlgButton(d.hwnd(), kPump, BST_CHECKED);
      d.press(IDOK);
      if (c.type == 1) {
        EXPECT_EQ(Look(d).masses, (Strings{"50", "7"}));
      }
    }});
    Ok(Offline());
    script.finish();
    EXPECT_EQ(Text(settings_), c.file);
    EXPECT_EQ((std::vector<double>{Num("_BUTTON"), Num("_MPM"), Num("_ALSID"), Num("_OPTALS"), Num("OPT_PMP2"),
                                   Num("_optintro")}),
              (std::vector<double>{1, c.mpm, 0, c.optals, c.pump, c.type == 1 ? 0.0 : 4.0}));
    EXPECT_EQ((Strings{StrVar(*host_, "_MPMApp$"), StrVar(*host_, "_MPMFile$")}), c.app$);
    EXPECT_EQ(TableOf("_INHIBIT"), c.masses.empty() ? std::nullopt : std::optional<Table>(Table{7, 50}));
  }

  // RAPS without an application keeps the dialog open and writes nothing.
  Snapshot before = Save(Of(Ini({{"SI_TYPE", "0"}})), settings_);
  DialogScript script({[&](DialogWindow& d) {
    d.selectCombo(kType, 2);
    d.selectCombo(kApp, -1);
    d.press(IDOK);
    EXPECT_TRUE(IsWindowVisible(d.hwnd()));
    d.press(IDCANCEL);
  }});
  Ok(Offline());
  script.finish();
  ExpectUnchanged(before);

  // Z-QT: a tray lacking one key is written whole with the defaults in the
  // installation's settings; a whole one is left alone.
  for (bool whole : {false, true}) {
    std::string tray = "TRAY_ID=2\r\nMAX_BOTTLE=60\r\nRINSE_DEPTH=1\r\nSAMPLE_DEPTH=2\r\nSTD_DEPTH=3\r\nONEBOTTLE_DEPTH=4\r\n";
    Snapshot installed = Save(Of("[PCS,1]\r\n" + tray + (whole ? "ESC_MODE=1\r\n" : "")), Tray());
    DeleteFileA(settings_.c_str());
    DialogScript zqt({[&](DialogWindow& d) {
      d.selectCombo(kType, 1);
      d.selectCombo(kSampler, 4);
      d.press(IDOK);
    }});
    Ok(Offline());
    zqt.finish();
    if (whole) ExpectUnchanged(installed);
    else EXPECT_EQ(Text(Tray()), "[PCS,1]\r\n" + kDefaults);
    EXPECT_EQ(Text(settings_).find("TRAY_ID"), std::string::npos);
  }
}

TEST_F(DialogWords, OfflineWithoutAFileOrWindowShowsNothing) {
  const std::string f263 = "C:\\" + std::string(256, 'f') + ".ist";
  auto windowless = OpenHost([] { mcrhost::HostOptions h; h.createWindow = false; return h; }());
  struct Case { Host* host; std::vector<Arg> args; std::string said; } cases[] = {
      {host_.get(), {Omit()}, ""}, {host_.get(), {S("")}, ""}, {host_.get(), {S(f263 + "x")}, Msg(1007, 263)},
      {windowless.get(), {S(settings_)}, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    c.host->vars().setNumber("_BUTTON", 7);
    DialogScript none({});
    Outcome o = c.host->call("OFFLINECFG", c.args);
    none.finish();
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(c.host->vars().find("_BUTTON")->number, 0);
    EXPECT_EQ(o.raised.empty() ? "" : o.raised[0].text, c.said);
    if (!o.raised.empty()) {
      EXPECT_EQ(o.raised[0].kind, 0);
    }
  }
  DialogScript one({Press(IDCANCEL)});
  host_->call("OFFLINECFG", {S(f263)});
}

// ------------------------------------------------------- help and window information

TEST_F(DialogWords, HelpAndWindowInformation) {
  struct Case { std::vector<std::pair<std::string, std::string>> keys; bool html; std::string file; } cases[] = {
      {{}, true, inst_ + "\\icpexe\\ICP-MS.CHM"},
      {{{"_HELPPATH$", "D:\\help"}, {"_HELPFILE$", "Manual.Chm"}}, true, "D:\\help\\Manual.Chm"},
      {{{"_HELPFILE$", "OLD.HLP"}}, false, inst_ + "\\icpexe\\OLD.HLP"}};
  HelpCalls help;
  for (int dialog : {353, 355}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(dialog) + " case " + std::to_string(&c - cases));
      Put(Tray(), Ini(c.keys));
      help.clear();
      DialogScript script({[&](DialogWindow& d) {
        d.press(IDHELP);
        d.press(IDCANCEL);
      }});
      if (dialog == 353) MethCal({S("C:\\m"), S("C:\\c"), S("n")});
      else Offline();
      script.finish();
      const std::vector<HelpCalls::Call>& calls = c.html ? help.html() : help.winHelp();
      EXPECT_TRUE((c.html ? help.winHelp() : help.html()).empty());
      std::vector<std::tuple<HWND, std::string, UINT, ULONG_PTR>> got, want;
      for (const auto& call : calls) got.push_back({call.window, call.file, call.command, call.data});
      if (c.html) want = {{GetDesktopWindow(), c.file, 1, 0}, {GetDesktopWindow(), c.file, 15, ULONG_PTR(dialog)}};
      else want = {{host_->window(), c.file, HELP_CONTEXT, ULONG_PTR(dialog)}};
      EXPECT_EQ(got, want);
    }
    // Right double-click in the top-left 5 by 5 pixels with the left button held.
    char module[MAX_PATH] = {};
    GetModuleFileNameA(host_->library(), module, MAX_PATH);
    HWND shown = nullptr;
    DialogScript script({[&](DialogWindow& d) {
      shown = d.hwnd();
      SendMessageA(d.hwnd(), WM_RBUTTONDBLCLK, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, 2));
      SendMessageA(d.hwnd(), WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(2, 2));
      SendMessageA(d.hwnd(), WM_RBUTTONDBLCLK, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(4, 4));
    }, [&](DialogWindow& box) {
      RECT r{};
      GetWindowRect(shown, &r);
      char text[200];
      wsprintfA(text, "Handle:%d\nId:%d\n(%d, %d)-(%d, %d)\nParent:%d", int(INT_PTR(shown)), dialog, r.left, r.top,
                r.right, r.bottom, int(INT_PTR(host_->window())));
      EXPECT_EQ(box.text(), text);
      EXPECT_EQ(box.caption(), module);
      box.press(IDOK);
    }, Press(IDCANCEL)});
    if (dialog == 353) MethCal({S("C:\\m"), S("C:\\c"), S("n")});
    else Offline();
    script.finish();
  }
}

}  // namespace
}  // namespace mcrtest
