// Number words, INI files, the registry and the small settings commands,
// called as a macro would.
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "testhost.h"

namespace mcrtest {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
// Sections of an INI file, each with its "key=value" lines in file order.
using Ini = std::map<std::string, std::vector<std::string>>;
Ini ParseIni(const std::string& path) {
  Ini ini;
  std::istringstream in(ReadAll(path));
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[') ini[section = line.substr(1, line.find(']') - 1)];
    else ini[section].push_back(line);
  }
  return ini;
}
std::vector<double> Table(Host& host, const std::string& name) {
  const mcrhost::Var* v = host.vars().find(name);
  if (!v || v->type != mcrhost::Var::Type::Table) return {-999};
  return *host.vars().table(v->table);
}

class SettingsWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  std::string Text(const std::string& word, std::vector<Arg> args) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.error(), nullptr) << U(*o.error());
    return o.result && o.result->isString ? o.result->text : "<no text>";
  }
  void Fails(const std::string& word, std::vector<Arg> args, const std::string& msg) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 1);
    ASSERT_NE(o.error(), nullptr);
    EXPECT_EQ(U(*o.error()), U(msg));
  }
  std::unique_ptr<Host> host_;
};

TEST_F(SettingsWords, DblFmtStrArgumentsAndValueText) {
  auto fmt = [&](Arg v, Arg text, double m, double e, double from = 0.1, double below = 1000) {
    return Text("DBLFMTSTR$", {v, text, N(m), N(e), N(-1e30), N(1e30), N(from), N(below)});
  };
  EXPECT_EQ(fmt(N(123.456), Omit(), 3, 2), "123.");
  EXPECT_EQ(fmt(N(123.456), Omit(), 3, 2, 0.1, 100), "1.23E+02");
  EXPECT_EQ(fmt(N(123.456), Omit(), 3, 70000, 0.1, 100), "1.23E+002");
  EXPECT_EQ(fmt(N(123.456), Omit(), 2.5, 1.5, 0.1, 100), "1.23E+02");  // 3 and 2 after rounding
  EXPECT_EQ(fmt(N(99), S("1.5e-5"), 2, 2), "1.5E-05");
  EXPECT_EQ(fmt(N(99), S(" -0.96 "), 1, 2, -10, 10), "-1");
  EXPECT_EQ(fmt(N(99), S(""), 2, 2), "99.");
  EXPECT_EQ(fmt(N(99), S("abc"), 2, 2, 1, 10), "0.0E+00");
  EXPECT_EQ(fmt(Omit(), Omit(), 2, 2, -1, 1), "0.0");
  EXPECT_EQ(fmt(N(5), Omit(), 2, 2, 10, 10), "");
  EXPECT_EQ(Text("DBLFMTSTR$", {N(5), Omit(), N(2), N(2), N(3), N(3), N(0), N(10)}), "");

  const std::string digits = Msg(1011, A(Label(3)).c_str(), 1, 6);
  const std::string exponent = Msg(1010, A(Label(4)).c_str(), 1);
  auto call = [](Arg m, Arg e, Arg bound) {
    return std::vector<Arg>{N(1), Omit(), m, e, N(0), N(10), bound, N(5)};
  };
  for (double m : {0.0, 0.49, 6.5, 7.0, 65536.0, -1.0, 1e10})
    Fails("DBLFMTSTR$", call(N(m), N(2), N(1)), digits);
  Fails("DBLFMTSTR$", call(Omit(), Omit(), Omit()), digits);
  for (double e : {0.0, 0.49, -3.0, -1e10}) Fails("DBLFMTSTR$", call(N(3), N(e), N(1)), exponent);
  Fails("DBLFMTSTR$", call(N(3), Omit(), Omit()), exponent);
  Fails("DBLFMTSTR$", call(N(3), N(2), Omit()), Msg(1008));
}

TEST_F(SettingsWords, HexWords) {
  EXPECT_EQ(Text("ScalarToHex", {N(255)}), "ff");
  EXPECT_EQ(Text("ScalarToHex", {N(-1)}), "ffffffff");
  EXPECT_EQ(Text("ScalarToHex", {Omit()}), "");
  const struct { Arg text; double value; } cases[] = {
      {S("ffffffff"), -1}, {S(" 0x1Az"), 26}, {S("zz"), 0}, {Omit(), 0},
  };
  for (const auto& c : cases) {
    Outcome o = host_->call("HexToScalar", {c.text});
    EXPECT_EQ(o.status, 0);
    ASSERT_TRUE(o.result && !o.result->isString);
    EXPECT_EQ(o.result->number, c.value);
  }
}

TEST_F(SettingsWords, ProfileRoundTripsAndDeletions) {
  TempDir dir;
  const std::string ini = dir.file("plain.ini");
  WriteAll(ini, "[Main]\r\nName=Value\r\nEmpty=\r\nLong=" + std::string(200, 'x') +
                    "\r\n[Other]\r\nA=1\r\n");
  auto get = [&](const char* section, const char* key, const std::string& file) {
    EXPECT_EQ(host_->call("GetProfile", {S(section), S(key), S("def"), S("V$"), S(file)}).status, 0);
    return StrVar(*host_, "V$");
  };
  EXPECT_EQ(get("Main", "Name", ini), "Value");
  EXPECT_EQ(get("main", "NAME", ini), "Value");
  EXPECT_EQ(get("Main", "Empty", ini), "");
  EXPECT_EQ(get("Main", "Long", ini), std::string(126, 'x'));
  EXPECT_EQ(get("Main", "Missing", ini), "def");
  EXPECT_EQ(get("Main", "Name", dir.file("none.ini")), "def");

  auto write = [&](const char* section, const char* key, const char* value) {
    EXPECT_EQ(host_->call("WriteProfile", {S(section), S(key), S(value), S(ini)}).status, 0);
    return ParseIni(ini);
  };
  EXPECT_EQ(write("Main", "Name", "New")["Main"],
            (std::vector<std::string>{"Name=New", "Empty=", "Long=" + std::string(200, 'x')}));
  EXPECT_EQ(get("Main", "Name", ini), "New");
  EXPECT_EQ(write("Added", "K", "日本")["Added"], std::vector<std::string>{A("K=日本")});
  Ini after = write("Main", "Name", "");
  EXPECT_EQ(after["Main"].size(), 2u);
  EXPECT_EQ(get("Main", "Name", ini), "def");
  after = write("Other", "", "ignored");
  EXPECT_EQ(after.count("Other"), 0u);
  EXPECT_EQ(after.count("Main"), 1u);
  const std::string fresh = dir.file("fresh.ini");
  ASSERT_EQ(host_->call("WriteProfile", {S("S"), S("K"), S("v"), S(fresh)}).status, 0);
  EXPECT_EQ(ParseIni(fresh)["S"], std::vector<std::string>{"K=v"});

  const std::string x127(127, 'k'), x128(128, 'k');
  for (int i = 0; i < 5; ++i) {
    std::vector<Arg> a{S("Main"), S("Name"), S("d"), S("V$"), S(ini)};
    a[i] = Omit();
    Fails("GetProfile", a, Msg(1008));
    a[i] = S(x128);
    Fails("GetProfile", a, Msg(1007, 127));
    if (i == 4) continue;
    std::vector<Arg> w{S("Main"), S("Name"), S("v"), S(ini)};
    w[i] = Omit();
    Fails("WriteProfile", w, Msg(1008));
    w[i] = S(x128);
    Fails("WriteProfile", w, Msg(1007, 127));
  }
  EXPECT_EQ(get("Main", x127.c_str(), ini), "def");
}

class RegistryWords : public SettingsWords {
 protected:
  static constexpr const char* kKey = "Software\\MCRPAK Tests\\Registry";
  void SetUp() override {
    SettingsWords::SetUp();
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      HKEY k;
      ASSERT_EQ(RegCreateKeyExA(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), 0);
      RegCloseKey(k);
    }
  }
  void TearDown() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
      RegDeleteTreeA(root, "Software\\MCRPAK Tests");
  }
  void Raw(HKEY root, const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetKeyValueA(root, kKey, name, type, data.data(), static_cast<DWORD>(data.size())), 0);
  }
  // The value's type and bytes, or type REG_NONE when it is missing.
  std::pair<DWORD, std::string> Stored(HKEY root, const char* name) {
    char data[1024];
    DWORD type = REG_NONE, size = sizeof data;
    if (RegGetValueA(root, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != 0)
      return {REG_NONE, {}};
    return {type, std::string(data, size)};
  }
  Outcome Get(const char* root, const char* name, const char* var = "R") {
    Outcome o = host_->call("REGGET", {S(root), S(kKey), S(name), S(var)});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty());
    return o;
  }
  void Set(Arg root, const char* name, const char* type, const char* var) {
    Outcome o = host_->call("REGSET", {root, S(kKey), S(name), S(type), S(var)});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty());
  }
};

std::string Le(std::uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

TEST_F(RegistryWords, ValuesByType) {
  auto& vars = host_->vars();
  vars.setString("S$", A("C:\\Inst\\ﾃﾞｰﾀ"));
  Set(S("HKEY_CURRENT_USER"), "Sz", "REG_SZ", "S$");
  Set(S("hkey_current_user"), "Expand", "reg_expand_sz", "S$");
  Set(S("HKEY_CURRENT_USER"), "Multi", "REG_MULTI_SZ", "S$");
  for (const char* name : {"Sz", "Expand", "Multi"}) {
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, name).first, static_cast<DWORD>(REG_SZ)) << name;
    Get("HKEY_CURRENT_USER", name, "Out$");
    EXPECT_EQ(StrVar(*host_, "Out$"), A("C:\\Inst\\ﾃﾞｰﾀ")) << name;
  }
  const struct { double in; std::uint32_t stored; } dwords[] = {
      {5e9, 0xFFFFFFFFu}, {4294967295.4, 0xFFFFFFFFu}, {-3, 0}, {-0.2, 0}, {7.5, 8},
      {3e9, 0x7FFFFFFFu},  // through the library's signed 32-bit conversion
  };
  for (const auto& d : dwords) {
    vars.setNumber("N", d.in);
    Set(S("HKEY_CURRENT_USER"), "Dw", "REG_DWORD", "N");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Dw").second, Le(d.stored, 4)) << d.in;
    Get("HKEY_CURRENT_USER", "Dw");
    EXPECT_EQ(vars.find("R")->number, static_cast<double>(d.stored));
  }
  for (double q : {-5.7, 1099511627776.0, -1e300}) {
    vars.setNumber("N", q);
    Set(S("HKEY_CURRENT_USER"), "Qw", "REG_QWORD", "N");
    Get("HKEY_CURRENT_USER", "Qw");
    double expected = q == -5.7 ? -5 : q == -1e300 ? -9223372036854775808.0 : q;
    EXPECT_EQ(vars.find("R")->number, expected) << q;
  }
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Qw").first, static_cast<DWORD>(REG_QWORD));

  std::uint32_t t = vars.newTable(7);
  *vars.table(t) = {1, -1, 255, 256, -128, 1.9, -1.9};
  vars.setTable("T", t);
  Set(S("HKEY_CURRENT_USER"), "Bin", "REG_BINARY", "T");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Bin"),
            std::make_pair(static_cast<DWORD>(REG_BINARY), std::string("\x01\xff\xff\x00\x80\x01\xff", 7)));
  Get("HKEY_CURRENT_USER", "Bin");
  EXPECT_EQ(Table(*host_, "R"), (std::vector<double>{1, -1, -1, 0, -128, 1, -1}));

  // The root defaults to the machine's, also for names it does not know.
  vars.setNumber("N", 42);
  Set(Omit(), "Machine", "REG_DWORD", "N");
  Set(S("HKEY_NOWHERE"), "Machine2", "REG_DWORD", "N");
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "Machine").second, Le(42, 4));
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "Machine2").second, Le(42, 4));
  Get("HKEY_LOCAL_MACHINE", "Machine");
  EXPECT_EQ(vars.find("R")->number, 42);
}

TEST_F(RegistryWords, ReadingRawValues) {
  Raw(HKEY_CURRENT_USER, "Bin", REG_BINARY, std::string("\x01\xff", 2));
  Raw(HKEY_CURRENT_USER, "Multi", REG_MULTI_SZ, std::string("first\0second\0\0", 14));
  Raw(HKEY_CURRENT_USER, "Fits", REG_SZ, std::string(259, 'f') + '\0');
  Raw(HKEY_CURRENT_USER, "TooBig", REG_SZ, std::string(260, 'b') + '\0');
  Raw(HKEY_CURRENT_USER, "Max", REG_DWORD, Le(0xFFFFFFFFu, 4));
  Raw(HKEY_CURRENT_USER, "Other", REG_DWORD_BIG_ENDIAN, Le(1, 4));
  Get("HKEY_CURRENT_USER", "Bin");
  EXPECT_EQ(Table(*host_, "R"), (std::vector<double>{1, -1}));
  Get("HKEY_CURRENT_USER", "Multi", "R$");
  EXPECT_EQ(StrVar(*host_, "R$"), "first");
  Get("HKEY_CURRENT_USER", "Fits", "R$");
  EXPECT_EQ(StrVar(*host_, "R$"), std::string(259, 'f'));
  Get("HKEY_CURRENT_USER", "Max");
  EXPECT_EQ(host_->vars().find("R")->number, 4294967295.0);
  // Whatever cannot be read leaves the variable deleted.
  for (const char* name : {"TooBig", "Missing", "Other"}) {
    host_->vars().setString("R$", "stale");
    Get("HKEY_CURRENT_USER", name, "R$");
    EXPECT_EQ(StrVar(*host_, "R$"), "<missing>") << name;
  }
  host_->vars().setString("R$", "stale");
  Outcome o = host_->call("REGGET", {S("HKEY_CURRENT_USER"), S("Software\\No Such Key"), S("X"), S("R$")});
  EXPECT_EQ(StrVar(*host_, "R$"), "<missing>");
  host_->vars().setString("R$", "stale");
  o = host_->call("REGGET", {S("HKEY_CURRENT_USER"), Omit(), S("X"), S("R$")});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(StrVar(*host_, "R$"), "<missing>");
  EXPECT_EQ(host_->call("REGGET", {S("HKEY_CURRENT_USER"), S(kKey), S("Bin"), Omit()}).status, 0);
}

TEST_F(RegistryWords, WritesNothingWithoutAKeyOrAFittingVariable) {
  auto& vars = host_->vars();
  vars.setNumber("N", 1);
  vars.setString("S$", "text");
  Outcome o = host_->call("REGSET", {S("HKEY_CURRENT_USER"), S(std::string(kKey) + "\\Sub"),
                                     S("V"), S("REG_DWORD"), S("N")});
  EXPECT_EQ(o.status, 0);
  HKEY k;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\Sub").c_str(), 0, KEY_READ, &k), 0);
  Set(S("HKEY_CURRENT_USER"), "A", "REG_DWORD", "S$");      // a string is not a number
  Set(S("HKEY_CURRENT_USER"), "B", "REG_BINARY", "N");      // a number is not a table
  Set(S("HKEY_CURRENT_USER"), "C", "REG_SZ", "N");
  Set(S("HKEY_CURRENT_USER"), "D", "REG_SZ", "UNDEFINED$");
  Set(S("HKEY_CURRENT_USER"), "E", "REG_LINK", "S$");
  for (const char* name : {"A", "B", "C", "D", "E"})
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, name).first, static_cast<DWORD>(REG_NONE)) << name;
  for (int omit = 1; omit < 5; ++omit) {
    std::vector<Arg> a{S("HKEY_CURRENT_USER"), S(kKey), S("F"), S("REG_SZ"), S("S$")};
    a[omit] = Omit();
    EXPECT_EQ(host_->call("REGSET", a).status, 0);
  }
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "F").first, static_cast<DWORD>(REG_NONE));
}

// The workstation key under HKLM points at a folder of the test; the
// previous value comes back afterwards.
class Workstation {
 public:
  static constexpr const char* kKey = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";
  Workstation() {
    DWORD size = sizeof old_;
    had_ = RegGetValueA(HKEY_LOCAL_MACHINE, kKey, "Path", RRF_RT_REG_SZ, nullptr, old_, &size) == 0;
  }
  ~Workstation() {
    if (had_) Point(old_);
    else RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Path");
  }
  void Point(const std::string& folder) {
    HKEY k;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
    RegSetValueExA(k, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(k);
  }

 private:
  char old_[MAX_PATH] = {};
  bool had_ = false;
};

TEST_F(SettingsWords, SetV2VarsFromTheSettingsFile) {
  TempDir dir;
  Workstation station;
  const char* names[] = {"_QCMDPATH$", "_QCMDFILE$", "_RPTPATH$", "_CHNSEQPATH$", "_CHNSEQFILE$"};
  struct Case {
    std::string body;
    std::uint16_t status;
    std::vector<std::string> values;  // in the order of names; "<missing>" when not set
  } cases[] = {
      {"_QCMDPATH$=D:\\qc\\\r\n_QCMDFILE$=A.QCC\r\n_RPTPATH$=D:\\r\\\r\n_CHNSEQPATH$=D:\\c\\\r\n"
       "_CHNSEQFILE$=B.CHS\r\n",
       0, {"D:\\qc\\", "A.QCC", "D:\\r\\", "D:\\c\\", "B.CHS"}},
      {"_INSTPATH$=C:\\inst\\\r\n_QCMDFILE$=\r\n", 0,
       {"C:\\inst\\QCMODE\\", "GENERAL.QCC", "C:\\inst\\RPTTMP\\", "C:\\inst\\CHNSEQ\\", "DEFAULT.CHS"}},
      {"_QCMDPATH$=D:\\qc\\\r\n_QCMDFILE$=A.QCC\r\n", 1,
       {"D:\\qc\\", "A.QCC", "<missing>", "<missing>", "<missing>"}},
      {"", 1, {"<missing>", "<missing>", "<missing>", "<missing>", "<missing>"}},
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    // A fresh folder each time: the INI reader caches by name and time stamp.
    std::string folder = dir.file("inst" + std::to_string(++serial));
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\icpexe").c_str(), nullptr);
    WriteAll(folder + "\\icpexe\\vexmon.ist", "[PCS,1]\r\n" + c.body);
    station.Point(folder);
    host_->vars().clear();
    std::size_t shown = host_->shown().size();
    Outcome o = host_->call("SetV2Vars", {});
    EXPECT_EQ(o.status, c.status);
    EXPECT_TRUE(o.raised.empty());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(StrVar(*host_, names[i]), c.values[i]) << names[i];
    ASSERT_EQ(host_->shown().size(), shown + c.status);
    if (c.status) {
      EXPECT_EQ(U(host_->shown().back()), U(Msg(1015)));
    }
  }
}

class LauncherFile : public SettingsWords {
 protected:
  void SetUp() override {
    SettingsWords::SetUp();
    char old[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", old, MAX_PATH);
    oldTmp_ = old;
    SetEnvironmentVariableA("TMP", temp_.path().c_str());
    WriteAll(launcher_, kLauncher);
  }
  void TearDown() override { SetEnvironmentVariableA("TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str()); }
  Outcome Make(const std::string& runTypeBody) {
    WriteAll(runTypes_, runTypeBody);
    return host_->call("MakeHubexIni", {S(runTypes_), S(launcher_)});
  }
  // A failure shows 1014, leaves the launcher file as it was and no backup.
  void FailedAndRestored(const Outcome& o, const std::string& before) {
    EXPECT_EQ(o.status, 1);
    ASSERT_FALSE(host_->shown().empty());
    EXPECT_EQ(U(host_->shown().back()), U(Msg(1014)));
    EXPECT_EQ(ReadAll(launcher_), before);
    EXPECT_TRUE(NoBackupLeft());
  }
  bool NoBackupLeft() {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(temp_.file("*.tmp").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return true;
    FindClose(h);
    return false;
  }
  static constexpr const char* kLauncher =
      "[Samplog]\r\nKeywords=old\r\nOther=keep\r\n[RunType]\r\nStale=9\r\n[SUFFIX]\r\nOLD=9\r\n"
      "[Window]\r\nLeft=10\r\n";
  TempDir dir_, temp_;
  std::string launcher_ = dir_.file("hubex.ini"), runTypes_ = dir_.file("runtype.ini"), oldTmp_;
};

TEST_F(LauncherFile, RewritesTheRunTypeSections) {
  Outcome o = Make(
      "[Keywords]\r\nKeywords=Blank,Std,Sample\r\n[RunType]\r\nType1=Blank\r\nType2=Standard\r\n"
      "Type3=VeryLongRunTypeNameExceeding\r\nType4=NoNumber\r\nType6=Ghost\r\n"
      "[Blank]\r\nTypeNo=1\r\nSuffix=BLK\r\n[Standard]\r\nTypeNo=2\r\n"
      "[VeryLongRunTypeName]\r\nTypeNo=3\r\nSuffix=VLN\r\n[NoNumber]\r\nSuffix=NON\r\n"
      "[Ghost]\r\nTypeNo=6\r\nSuffix=GHO\r\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(host_->shown().empty());
  Ini ini = ParseIni(launcher_);
  EXPECT_EQ(ini["Samplog"], (std::vector<std::string>{"Keywords=Blank,Std,Sample,End", "Other=keep"}));
  EXPECT_EQ(ini["RunType"], (std::vector<std::string>{"Blank=1", "Standard=2", "VeryLongRunTypeName=3"}));
  EXPECT_EQ(ini["SUFFIX"], (std::vector<std::string>{"BLK=1", "VLN=3", "NON="}));
  EXPECT_EQ(ini["Window"], std::vector<std::string>{"Left=10"});
  EXPECT_TRUE(NoBackupLeft());
}

TEST_F(LauncherFile, StopsAfterFiftyFiveTypes) {
  std::string body = "[Keywords]\r\nKeywords=K\r\n[RunType]\r\n", sections;
  for (int n = 1; n <= 60; ++n) {
    body += "Type" + std::to_string(n) + "=T" + std::to_string(n) + "\r\n";
    sections += "[T" + std::to_string(n) + "]\r\nTypeNo=" + std::to_string(n) + "\r\n";
  }
  ASSERT_EQ(Make(body + sections).status, 0);
  std::vector<std::string> runTypes = ParseIni(launcher_)["RunType"];
  ASSERT_EQ(runTypes.size(), 55u);
  EXPECT_EQ(runTypes.back(), "T55=55");
}

TEST_F(LauncherFile, FailuresLeaveTheFileAsItWas) {
  FailedAndRestored(Make("[RunType]\r\nType1=Blank\r\n[Blank]\r\nTypeNo=1\r\n"), kLauncher);
  FailedAndRestored(Make("[Keywords]\r\nKeywords=\r\n"), kLauncher);
  // Held open without write sharing: the first write fails.
  HANDLE held = CreateFileA(launcher_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Outcome o = Make("[Keywords]\r\nKeywords=K\r\n");
  CloseHandle(held);
  FailedAndRestored(o, kLauncher);
  DeleteFileA(launcher_.c_str());
  FailedAndRestored(Make("[Keywords]\r\nKeywords=K\r\n"), "");
  EXPECT_EQ(GetFileAttributesA(launcher_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LauncherFile, DefaultsFromTheProgramFolder) {
  WriteAll(dir_.file("RUNTYPE.INI"), "[Keywords]\r\nKeywords=K\r\n");
  WriteAll(dir_.file("HUBEX.INI"), "");
  host_->vars().setString("_ExePath$", dir_.path() + "\\");
  ASSERT_EQ(host_->call("MakeHubexIni", {Omit(), Omit()}).status, 0);
  EXPECT_EQ(ParseIni(dir_.file("HUBEX.INI"))["Samplog"], std::vector<std::string>{"Keywords=K,End"});
}

TEST_F(SettingsWords, TimeStampAndProcessTest) {
  TempDir dir;
  const std::string file = dir.file("stamp.txt");
  WriteAll(file, "x");
  HANDLE h = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME old{0xC89DC000, 0x01C07385};  // January 2001
  SetFileTime(h, nullptr, &old, &old);
  CloseHandle(h);
  EXPECT_EQ(host_->call("SETCURTIMESTAMP", {S(file)}).status, 0);
  WIN32_FILE_ATTRIBUTE_DATA data;
  GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](FILETIME t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  EXPECT_LT(ticks(now) - ticks(data.ftLastWriteTime), 600000000ull);  // within a minute
  EXPECT_LT(ticks(now) - ticks(data.ftLastAccessTime), 600000000ull);
  Fails("SETCURTIMESTAMP", {S(dir.file("missing.txt"))}, Msg(1019));
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(125, 'm'))}, Msg(1019));
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(126, 'm'))}, Msg(1007, 128));
  Fails("SETCURTIMESTAMP", {Omit()}, Msg(1008));

  auto alive = [&](Arg id) {
    Outcome o = host_->call("ISCUSTRPT", {id});
    EXPECT_EQ(o.status, 0);
    return o.result ? o.result->number : -999;
  };
  EXPECT_EQ(alive(N(GetCurrentProcessId())), 1);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  char command[] = "cmd.exe /c exit 0";
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The system lets go of an ended process a little after its last handle.
  for (int waits = 0; waits < 50 && alive(N(pi.dwProcessId)) == 1; ++waits) Sleep(100);
  EXPECT_EQ(alive(N(pi.dwProcessId)), 0);
  EXPECT_EQ(alive(N(-1)), 0);
  Outcome o = host_->call("ISCUSTRPT", {Omit()});
  EXPECT_EQ(o.status, 0);
  ASSERT_TRUE(o.result);
  EXPECT_EQ(o.result->number, -1);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(Msg(1008)));
}

}  // namespace
}  // namespace mcrtest
