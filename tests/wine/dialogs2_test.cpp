// SVMETHCAL (dialog 353 and its folder browser) and OFFLINECFG (dialog 355)
// driven as an operator would: what the dialogs show, each way out, the
// variables and files they leave, their help and window information.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>

#include "dialogs.h"
#include "help.h"
#include "instwords.h"

namespace mcrtest {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;
using Keys = std::vector<std::pair<std::string, std::string>>;

constexpr int kMethod = 102, kMethodBrowse = 103, kCalib = 105, kCalibBrowse = 106, kName = 108;
constexpr int kType = 103, kPump = 104, kApp = 106, kSampler = 108, kMass = 110, kLoadOnline = 120;

Bytes Of(const std::string& text) { return Bytes().put(0, text.data(), text.size()); }
void Put(const std::string& path, const std::string& text) { Of(text).save(path); }
std::string Text(const std::string& path) {
  Bytes b = Bytes::Load(path);
  return std::string(b.data().begin(), b.data().end());
}
std::string Ini(const Keys& keys) {
  std::string s = "[PCS,1]\r\n";
  for (const auto& [k, v] : keys) s += k + "=" + v + "\r\n";
  return s;
}
LONG Style(const DialogWindow& d, int id) { return GetWindowLongA(d.item(id), GWL_STYLE); }

// Whether a control stands at this place (in dialog units) of the client area.
bool At(const DialogWindow& d, int id, RECT units) {
  RECT r{};
  GetWindowRect(d.item(id), &r);
  MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  MapDialogRect(d.hwnd(), &units);
  return EqualRect(&r, &units) != FALSE;
}

// The tab stops in tab order, disabled ones included.
Ids TabOrder(const DialogWindow& d) {
  Ids ids;
  for (HWND w = GetWindow(d.hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP) ids.push_back(GetDlgCtrlID(w));
  return ids;
}

// A message box with the stop icon: its text and caption are checked, then OK.
DialogScript::Step StopBox(std::string text, std::string caption) {
  return [=](DialogWindow& d) {
    EXPECT_EQ(d.text(), text);
    EXPECT_EQ(d.caption(), caption);
    HICON icon = nullptr;
    for (HWND w = GetWindow(d.hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
      if ((GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        icon = reinterpret_cast<HICON>(SendMessageA(w, STM_GETICON, 0, 0));
    EXPECT_EQ(icon, LoadIconA(nullptr, IDI_HAND));
    d.press(IDOK);
  };
}

// Dialog 355 in one line: the selections (-1 none), what is enabled or
// checked, and the mass fields up to the last one filled.
std::string Look(const DialogWindow& d) {
  std::ostringstream s;
  s << "type " << d.comboSelection(kType) << " sampler " << d.comboSelection(kSampler) << " of "
    << d.comboItems(kSampler).size() << " app " << d.comboSelection(kApp) << (IsWindowEnabled(d.item(kApp)) ? "" : " off")
    << " pump " << (IsWindowEnabled(d.item(kPump)) ? "" : "off ") << IsDlgButtonChecked(d.hwnd(), kPump) << " masses";
  std::string masses;
  for (int id = kMass; id < kMass + 10; ++id) masses += " " + d.itemText(id);
  return s.str() + masses.substr(0, masses.find_last_not_of(' ') + 1);
}

class DialogWords : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    key_.Point(inst_);
    for (const std::string& f : {inst_, inst_ + "\\icpexe", inst_ + "\\RAPS", prog_}) CreateDirectoryA(f.c_str(), nullptr);
    Put(inst_ + "\\RAPS\\a.mpu", "#APP_BEG\r\nAppName\tX\r\n#APP_END\r\n");
    Put(prog_ + "mpm.tbl", "#STD_BEG\r\nStd1\tstd1a.mpu\tstd1.mpm\r\nStd2\tstd2a.mpm\tstd2.mpm\r\n#STD_END\r\n");
    Put(prog_ + "vexmon.ist", Ini({{"_PPUMP", "1"}}));
    host_->vars().setString("_EXEPATH$", prog_);
    host_->vars().setString("_INSTPATH$", inst_ + "\\");
  }
  Outcome Offline() { return host_->call("OFFLINECFG", {S(settings_)}); }
  Outcome MethCal(std::vector<Arg> args) { return host_->call("SVMETHCAL", std::move(args)); }
  Strings Vars(const Strings& names) {
    Strings values;
    for (const auto& n : names) values.push_back(StrVar(*host_, n));
    return values;
  }
  std::unique_ptr<Host> Windowless() {
    mcrhost::HostOptions options;
    options.createWindow = false;
    return OpenHost(options);
  }

  WorkstationKey key_;
  std::string inst_ = dir_.file("inst"), prog_ = dir_.file("prog\\"), settings_ = dir_.file("offline.ist");
  std::string tray_ = inst_ + "\\icpexe\\vexmon.ist";
  const std::string kTitle = A("ﾒｿｯﾄﾞ及び検量線のためのﾌｧｲﾙ名を指定");
};

// ------------------------------------------------------------------ SVMETHCAL

TEST_F(DialogWords, MethCalLooksAsDesigned) {
  DialogScript script({[&](DialogWindow& d) {
    EXPECT_EQ(d.caption(), kTitle);
    EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
    SIZE want = d.toPixels(259, 130), got = d.clientSize();
    EXPECT_EQ(std::pair(got.cx, got.cy), std::pair(want.cx, want.cy));
    EXPECT_EQ(d.owner(), host_->window());
    EXPECT_EQ((Strings{d.itemText(101), d.itemText(104), d.itemText(107)}),
              (Strings{A("ﾒｿｯﾄﾞのﾊﾟｽ:"), A("検量線のﾊﾟｽ:"), A("ﾌｧｲﾙ名(&F):")}));
    HANDLE folder = LoadImageA(host_->library(), MAKEINTRESOURCEA(2000), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
    for (int id : {kMethod, kCalib}) EXPECT_EQ(Style(d, id) & (SS_SUNKEN | SS_ELLIPSISMASK), SS_SUNKEN | SS_PATHELLIPSIS);
    for (int id : {kMethodBrowse, kCalibBrowse})
      EXPECT_EQ(reinterpret_cast<HANDLE>(SendMessageA(d.item(id), BM_GETIMAGE, IMAGE_ICON, 0)), folder);
    EXPECT_TRUE(Style(d, kName) & ES_AUTOHSCROLL);
    EXPECT_EQ(SendMessageA(d.item(kName), EM_GETLIMITTEXT, 0, 0), 256);
    EXPECT_EQ(TabOrder(d), (Ids{kMethodBrowse, kCalibBrowse, kName, IDOK, IDCANCEL, IDHELP}));
    // (The focus is this thread's only while the dialog is active: a suite
    // running beside this one may hold the activation.)
    if (GetActiveWindow() == d.hwnd()) {
      EXPECT_EQ(GetFocus(), d.item(IDOK));
    }
    RECT area{}, r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(d.hwnd(), &r);
    EXPECT_LE(std::abs((r.left + r.right) - (area.left + area.right)), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - (area.top + area.bottom)), 1);
    EXPECT_GE(GlobalSize(static_cast<HGLOBAL>(GetPropA(d.hwnd(), "SVMETHCALRMS"))), 2984u);
    d.key(VK_ESCAPE);
  }});
  Ok(MethCal({S("C:\\m"), S("C:\\c"), S("n")}));
  script.finish();
  EXPECT_EQ(Num("_BUTTON"), 0);
}

TEST_F(DialogWords, MethCalHelpFlagMovesButtons) {
  // Without Help, OK stands where Cancel stood and Cancel where Help stood.
  for (auto [help, shown] : {std::pair(Omit(), true), {N(0.5), true}, {N(0.4), false}}) {
    DialogScript script({[&, shown = shown](DialogWindow& d) {
      EXPECT_EQ(d.buttons(), shown ? (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL, IDHELP})
                                   : (Ids{kMethodBrowse, kCalibBrowse, IDOK, IDCANCEL}));
      EXPECT_TRUE(At(d, IDOK, shown ? RECT{91, 106, 141, 120} : RECT{146, 106, 196, 120}));
      EXPECT_TRUE(At(d, IDCANCEL, shown ? RECT{146, 106, 196, 120} : RECT{201, 106, 251, 120}));
      d.press(IDCANCEL);
    }});
    MethCal({S("C:\\m"), S("C:\\c"), S("n"), Omit(), help});
  }
}

TEST_F(DialogWords, MethCalFoldersNamesAndRefusals) {
  host_->vars().setString("_METHPATH$", "C:\\meth");
  host_->vars().setString("_CALPATH$", "C:\\cal\\");
  host_->vars().setString("_METHFILE$", "D:\\x\\N1.M");
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
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ((Strings{d.itemText(kMethod), d.itemText(kCalib), d.itemText(kName)}), c.shown);
      d.setText(kName, c.typed);
      d.press(IDOK);
    }, StopBox(c.refusal, kTitle), [&](DialogWindow& d) {
      d.setText(kName, "ok");
      folders ? d.key(VK_RETURN) : d.press(IDCANCEL);
    }});
    Ok(MethCal(c.args));
    script.finish();
    EXPECT_EQ(Num("_BUTTON"), folders ? 1 : 0);
    EXPECT_EQ(Vars({"m$", "c$", "n$"}), c.vars);
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
  // A folder given without its final backslash may have 255 bytes; it gains the "\".
  Err(MethCal({S(f256.substr(0, 255) + "h")}), Msg(1007, 255));
  Outcome o = Windowless()->call("SVMETHCAL", {S(f257)});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.error() ? *o.error() : "", Msg(1040));
}

// The folders the browser is asked to select (BFFM_SETSELECTIONA), seen
// through a hook on the messages sent to this thread's windows.
std::vector<std::string> g_selections;
LRESULT CALLBACK SeeSelections(int code, WPARAM wp, LPARAM lp) {
  auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && m->message == BFFM_SETSELECTIONA)
    g_selections.push_back(m->wParam ? reinterpret_cast<const char*>(m->lParam) : "(an item list)");
  return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(DialogWords, MethCalFolderBrowser) {
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
  DialogScript script({Press(kMethodBrowse), browser(meth, "A.m", IDOK), StopBox(Msg(1037, ".M"), kTitle),
                       Press(kCalibBrowse), browser(capitals, "cal", IDOK), Press(kMethodBrowse),
                       browser(meth, "A.m", IDCANCEL), Press(IDOK)});
  // The calibration folder is given in capitals: the control then shows the
  // browser's answer, in the folder's own spelling.
  Ok(MethCal({S(meth), S(capitals), S("n"), S("C:M"), Omit(), S("m$"), S("c$")}));
  script.finish();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(Vars({"m$", "c$"}), (Strings{meth, cal}));
}

// ----------------------------------------------------------------- OFFLINECFG

const Strings kSamplers{A("なし"), "ASX500", "ASX100", "EXR-8", "Z-QT"};

TEST_F(DialogWords, OfflineLooksAsDesignedAndCancelChangesNothing) {
  Snapshot settings = Save(Of(Ini({{"SI_TYPE", "5"}})), settings_);
  host_->vars().setNumber("_optintro", 5);
  for (bool escape : {false, true}) {
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ(d.caption(), A("ｵﾌﾗｲﾝ ｺﾝﾌｨｸﾞﾚｰｼｮﾝ"));
      EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
      EXPECT_EQ(d.owner(), host_->window());
      EXPECT_EQ((Strings{d.itemText(kPump), d.itemText(105), d.itemText(kLoadOnline)}),
                (Strings{A("ｻﾝﾌﾟﾙﾎﾟﾝﾌﾟ(&S)"), A("RAPS ｱﾌﾟﾘｹｰｼｮﾝ(&I):"), A("ｵﾝﾗｲﾝ設定を読み込み(&L)")}));
      EXPECT_EQ(d.comboItems(kType), (Strings{A("なし"), A("ﾍﾟﾘﾎﾟﾝﾌﾟ"), "RAPS", A("LC/GC/ﾚｰｻﾞｰｱﾌﾞﾚｰｼｮﾝ")}));
      EXPECT_EQ(d.comboItems(kSampler), kSamplers);
      EXPECT_EQ(d.comboItems(kApp), (Strings{"Std1", "Std2", "a.mpu-X"}));
      for (int id = kMass; id < kMass + 10; ++id)
        EXPECT_EQ(std::pair(Style(d, id) & ES_NUMBER, SendMessageA(d.item(id), EM_GETLIMITTEXT, 0, 0)),
                  std::pair(LONG(ES_NUMBER), LRESULT(3)));
      EXPECT_EQ(TabOrder(d), (Ids{kType, kPump, kApp, kSampler, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119,
                                  kLoadOnline, IDOK, IDCANCEL, IDHELP}));
      EXPECT_EQ(GetPropA(d.hwnd(), "SRVPASSKEY"), host_->context());
      EXPECT_NE(GetPropA(d.hwnd(), "355PRM"), nullptr);
      EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(d.hwnd(), "SITYPE")), 3);
      d.selectCombo(kType, 2);
      d.setText(kMass, "7");
      escape ? d.key(VK_ESCAPE) : d.press(IDCANCEL);
    }});
    Ok(Offline());
    script.finish();
    EXPECT_EQ(Num("_BUTTON"), 0);
    ExpectUnchanged(settings);
    EXPECT_EQ(Num("_optintro"), 5);
    EXPECT_FALSE(TableOf("_INHIBIT"));
  }
}

TEST_F(DialogWords, OfflineFillsFromVariablesOrOnlineSettings) {
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
    Put(prog_ + "vexmon.ist", Ini(c.online));
    DialogScript script({[&](DialogWindow& d) {
      if (c.act) c.act(d);
      EXPECT_EQ(Look(d), c.look);
      d.press(IDCANCEL);
    }});
    Offline();
  }
  // The first ten elements of the table, each cut to a whole number.
  host_->vars().erase("_optintro");
  std::uint32_t t = host_->vars().newTable(12);
  *host_->vars().table(t) = {7.9, -3.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  host_->vars().setTable("_INHIBIT", t);
  DialogScript script({[&](DialogWindow& d) {
    EXPECT_EQ(Look(d), "type 0 sampler -1 of 5 app 0 off pump 1 masses 7 -3 1 2 3 4 5 6 7 8");
    d.press(IDCANCEL);
  }});
  Offline();
}

TEST_F(DialogWords, OfflineOkStoresTheChoices) {
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
      {2, 2, 2, {{"_MPM", "2"}, {"_MPMFILE$", "a.mpu"}, {"SI_TYPE", "4"}, {"ALS_TYPE", "5"},
                                   {"OPT_PMP2", "0"}}, {2, 5, 0, 4}, {"X", "a.mpu"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Put(settings_, Ini({{"_INHIBIT", "9 "}}));
    host_->vars().setNumber("_INHIBIT", 9);
    DialogScript script({[&](DialogWindow& d) {
      d.selectCombo(kType, c.type);
      d.selectCombo(kSampler, c.sampler);
      d.selectCombo(kApp, c.app);
      CheckDlgButton(d.hwnd(), kPump, BST_CHECKED);  // counts only while enabled
      if (c.type == 1)
        for (int i = 0; i < 4; ++i) d.setText(kMass + i, Strings{"050", "7", "7", "300"}[i]);
      d.press(IDOK);
      if (c.type == 1) {
        EXPECT_NE(Look(d).find("masses 50 7"), std::string::npos);
      }
    }});
    Ok(Offline());
    script.finish();
    EXPECT_EQ(Text(settings_), Ini(c.file));
    EXPECT_EQ((std::vector<double>{Num("_MPM"), Num("_OPTALS"), Num("OPT_PMP2"), Num("_optintro")}), c.numbers);
    EXPECT_EQ((std::vector<double>{Num("_BUTTON"), Num("_ALSID")}), (std::vector<double>{1, 0}));
    EXPECT_EQ(Vars({"_MPMApp$", "_MPMFile$"}), c.app$);
    EXPECT_EQ(TableOf("_INHIBIT"), c.type == 1 ? std::optional<Table>(Table{7, 50}) : std::nullopt);
  }

  // RAPS without an application keeps the dialog open and writes nothing.
  Snapshot before = Save(Of(Ini({{"SI_TYPE", "0"}})), settings_);
  DialogScript raps({[&](DialogWindow& d) {
    d.selectCombo(kType, 2);
    d.selectCombo(kApp, -1);
    d.press(IDOK);
    EXPECT_TRUE(IsWindowVisible(d.hwnd()));
    d.press(IDCANCEL);
  }});
  Ok(Offline());
  raps.finish();
  ExpectUnchanged(before);

  // Z-QT: a tray lacking a key is written whole with the defaults in the
  // installation's settings; a whole one is left alone.
  const std::string tray = "[PCS,1]\r\nTRAY_ID=2\r\nMAX_BOTTLE=60\r\nRINSE_DEPTH=1\r\nSAMPLE_DEPTH=2\r\nSTD_DEPTH=3\r\n"
                           "ONEBOTTLE_DEPTH=4\r\n";
  for (bool whole : {false, true}) {
    Snapshot installed = Save(Of(tray + (whole ? "ESC_MODE=1\r\n" : "")), tray_);
    DialogScript zqt({[&](DialogWindow& d) {
      d.selectCombo(kType, 1);
      d.selectCombo(kSampler, 4);
      d.press(IDOK);
    }});
    Ok(Offline());
    zqt.finish();
    if (whole) ExpectUnchanged(installed);
    else EXPECT_EQ(Text(tray_), Ini({{"TRAY_ID", "1"}, {"MAX_BOTTLE", "89"}, {"RINSE_DEPTH", "280"},
                                     {"SAMPLE_DEPTH", "440"}, {"STD_DEPTH", "440"}, {"ONEBOTTLE_DEPTH", "440"},
                                     {"ESC_MODE", "0"}}));
    EXPECT_EQ(Text(settings_).find("TRAY_ID"), std::string::npos);
  }
}

TEST_F(DialogWords, OfflineWithoutAFileOrWindowShowsNothing) {
  const std::string f263 = "C:\\" + std::string(256, 'f') + ".ist";
  auto windowless = Windowless();
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

// ------------------------------------------------------- help and window information

TEST_F(DialogWords, HelpAndWindowInformation) {
  auto open = [&](int dialog) { dialog == 353 ? MethCal({S("C:\\m"), S("C:\\c"), S("n")}) : Offline(); };
  // The help file named in the installation's settings, beside them by
  // default; ".chm" in any case goes to HTML Help, anything else to WinHelp.
  struct Case { int dialog; Keys keys; std::string calls; } cases[] = {
      {353, {}, "html 1 0 " + inst_ + "\\icpexe\\ICP-MS.CHM\nhtml 15 353 " + inst_ + "\\icpexe\\ICP-MS.CHM\n"},
      {355, {{"_HELPPATH$", "D:\\help"}, {"_HELPFILE$", "Manual.Chm"}},
       "html 1 0 D:\\help\\Manual.Chm\nhtml 15 355 D:\\help\\Manual.Chm\n"},
      {353, {{"_HELPFILE$", "OLD.HLP"}}, "winhelp 1 353 " + inst_ + "\\icpexe\\OLD.HLP\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Put(tray_, Ini(c.keys));
    HtmlHelpRecorder html;
    WinHelpCatcher winHelp;
    DialogScript script({[&](DialogWindow& d) {
      d.press(IDHELP);
      d.press(IDCANCEL);
    }});
    open(c.dialog);
    script.finish();
    std::string calls;
    for (const auto& h : html.calls())
      calls += (h.window == GetDesktopWindow() ? "html " : "html owned ") + std::to_string(h.command) + " " +
               std::to_string(h.data) + " " + h.file + "\n";
    for (const auto& h : winHelp.requests())
      calls += (h.owner == host_->window() ? "winhelp " : "winhelp owned ") + std::to_string(h.command) + " " +
               std::to_string(h.data) + " " + h.file + "\n";
    EXPECT_EQ(calls, c.calls);
  }
  // A right double-click in the top-left 5 by 5 pixels with the left button held.
  char module[MAX_PATH] = {};
  GetModuleFileNameA(host_->library(), module, MAX_PATH);
  for (int dialog : {353, 355}) {
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
      EXPECT_EQ(std::pair(box.text(), box.caption()), std::pair(std::string(text), std::string(module)));
      box.press(IDOK);
    }, Press(IDCANCEL)});
    open(dialog);
    script.finish();
  }
}

}  // namespace
}  // namespace mcrtest
