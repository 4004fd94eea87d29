// Number words, INI files, the registry and the small settings commands,
// called as a macro would.
#include <windows.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/utime.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bytes.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using Lines = std::vector<std::string>;
using Nums = std::vector<double>;

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
void WriteAll(const std::string& path, const std::string& s) { std::ofstream(path, std::ios::binary) << s; }
// The "key=value" lines of an INI file's section, in file order.
Lines Section(const std::string& file, const char* name) {
  char buffer[8192];
  DWORD size = GetPrivateProfileSectionA(name, buffer, sizeof buffer, file.c_str());
  Lines lines;
  for (const char* p = buffer; p < buffer + size; p += lines.back().size() + 1) lines.emplace_back(p);
  return lines;
}

std::vector<Arg> With(std::vector<Arg> args, std::size_t i, Arg arg) {
  args[i] = arg;
  return args;
}

class SettingsWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  // A call that must succeed without raising anything.
  Outcome Ok(const std::string& word, std::vector<Arg> args) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 0) << word;
    EXPECT_TRUE(o.raised.empty()) << word << ": " << (o.raised.empty() ? "" : U(o.raised[0].text));
    return o;
  }
  std::string Text(const std::string& word, std::vector<Arg> args) {
    std::optional<Value> r = Ok(word, args).result;
    return r && r->isString ? r->text : "<no text>";
  }
  double Number(const std::string& word, std::vector<Arg> args) {
    std::optional<Value> r = Ok(word, args).result;
    return r && !r->isString ? r->number : -999;
  }
  Outcome Fails(const std::string& word, std::vector<Arg> args, const std::string& msg, int status = 1) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, status) << word;
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(msg)) << word;
    return o;
  }
  // A number variable's value or a table's elements; {-999} for another kind or none.
  Nums NumVar(const std::string& name) {
    const mcrhost::Var* v = host_->vars().find(name);
    if (v && v->type == mcrhost::Var::Type::Number) return {v->number};
    return v && v->type == mcrhost::Var::Type::Table ? *host_->vars().table(v->table) : Nums{-999};
  }
  std::unique_ptr<Host> host_;
};

TEST_F(SettingsWords, NumberWords) {
  // Limits -1e30 and 1e30; the formatting itself has its own table.
  auto fmt = [&](Arg v, Arg text, double m, double e, double from = 0.1, double below = 1000) {
    return Text("DBLFMTSTR$", {v, text, N(m), N(e), N(-1e30), N(1e30), N(from), N(below)});
  };
  EXPECT_EQ(fmt(N(123.456), Omit(), 3, 70000, 0.1, 100), "1.23E+002");
  EXPECT_EQ(fmt(N(123.456), Omit(), 2.5, 1.5, 0.1, 100), "1.23E+02");  // 3 and 2 after rounding
  EXPECT_EQ(fmt(N(99), S(" -0.96 "), 1, 2, -10, 10), "-1");
  EXPECT_EQ(fmt(N(99), S(""), 2, 2), "99.");
  EXPECT_EQ(fmt(Omit(), Omit(), 2, 2, -1, 1), "0.0");
  // Digits are checked first, then exponent digits, then the limits.
  auto bad = [](Arg m, Arg e) { return std::vector<Arg>{N(1), Omit(), m, e, N(0), N(10), Omit(), N(5)}; };
  for (Arg m : {N(0), N(6.5), N(7), N(65536), N(-1), N(1e10), Omit()})
    Fails("DBLFMTSTR$", bad(m, Omit()), Msg(1011, A(Label(3)).c_str(), 1, 6));
  for (Arg e : {N(0.49), N(-1e10), Omit()})
    Fails("DBLFMTSTR$", bad(N(3), e), Msg(1010, A(Label(4)).c_str(), 1));
  Fails("DBLFMTSTR$", bad(N(3), N(2)), Msg(1008));

  EXPECT_EQ(Text("ScalarToHex", {N(-1)}), "ffffffff");
  EXPECT_EQ(Text("ScalarToHex", {Omit()}), "");
  EXPECT_EQ(Number("HexToScalar", {S("ffffffff")}), -1);
  EXPECT_EQ(Number("HexToScalar", {Omit()}), 0);
}

TEST_F(SettingsWords, ProfileReadsWritesAndDeletes) {
  TempDir dir;
  const std::string ini = dir.file("plain.ini"), x200(200, 'x');
  WriteAll(ini, "[Main]\r\nName=Value\r\nEmpty=\r\nLong=" + x200 + "\r\n[Other]\r\nA=1\r\n");
  auto get = [&](const char* section, const std::string& key, const std::string& file) {
    Ok("GetProfile", {S(section), S(key), S("def"), S("V$"), S(file)});
    return StrVar(*host_, "V$");
  };
  EXPECT_EQ(get("main", "NAME", ini), "Value");
  EXPECT_EQ(get("Main", "Empty", ini), "");
  EXPECT_EQ(get("Main", "Long", ini), std::string(126, 'x'));
  EXPECT_EQ(get("Main", std::string(127, 'k'), ini), "def");
  EXPECT_EQ(get("Main", "Name", dir.file("none.ini")), "def");

  // Any argument omitted or too long fails, and the file stays as it was.
  const std::string before = ReadAll(ini);
  const std::vector<Arg> g{S("Main"), S("Name"), S("d"), S("V$"), S(ini)};
  const std::vector<Arg> w{S("Main"), S("Name"), S("v"), S(ini)};
  for (const auto& [arg, msg] : {std::pair{Omit(), Msg(1008)}, {S(std::string(128, 'k')), Msg(1007, 127)}}) {
    for (std::size_t i = 0; i < 5; ++i) {
      Fails("GetProfile", With(g, i, arg), msg);
      if (i < 4) Fails("WriteProfile", With(w, i, arg), msg);
    }
  }
  EXPECT_EQ(ReadAll(ini), before);

  auto write = [&](const char* section, const char* key, const char* value) {
    Ok("WriteProfile", {S(section), S(key), S(value), S(ini)});
    return Section(ini, section);
  };
  EXPECT_EQ(write("Main", "Name", "New"), (Lines{"Name=New", "Empty=", "Long=" + x200}));
  EXPECT_EQ(write("Added", "K", "日本"), Lines{A("K=日本")});
  EXPECT_EQ(write("Main", "Name", ""), (Lines{"Empty=", "Long=" + x200}));
  EXPECT_EQ(write("Other", "", "ignored"), Lines{});
  Ok("WriteProfile", {S("S"), S("K"), S("v"), S(dir.file("fresh.ini"))});
  EXPECT_EQ(Section(dir.file("fresh.ini"), "S"), Lines{"K=v"});
}

using RegData = std::pair<DWORD, std::vector<std::uint8_t>>;  // type and bytes; REG_NONE when missing

class RegistryWords : public SettingsWords {
 protected:
  static constexpr const char* kKey = "Software\\MCRPAK Tests\\Registry";
  void SetUp() override {
    SettingsWords::SetUp();
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
      ASSERT_EQ(RegSetKeyValueA(root, kKey, "", REG_SZ, "", 1), 0);
  }
  void TearDown() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteTreeA(root, "Software\\MCRPAK Tests");
  }
  RegData Stored(const char* name, HKEY root = HKEY_CURRENT_USER) {
    std::uint8_t data[1024];
    DWORD type = REG_NONE, size = sizeof data;
    if (RegGetValueA(root, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size)) return {REG_NONE, {}};
    return {type, {data, data + size}};
  }
  void Get(const char* name, const char* var) {
    Ok("REGGET", {S("HKEY_CURRENT_USER"), S(kKey), S(name), S(var)});
  }
  void Set(Arg root, const char* name, const char* type, const char* var) {
    Ok("REGSET", {root, S(kKey), S(name), S(type), S(var)});
  }
};

TEST_F(RegistryWords, ValuesByType) {
  auto& vars = host_->vars();
  const std::string path = A("C:\\Inst\\ﾃﾞｰﾀ");
  vars.setString("S$", path);
  for (const char* type : {"REG_SZ", "reg_expand_sz", "REG_MULTI_SZ"}) {
    Set(S("hkey_current_user"), type, type, "S$");
    EXPECT_EQ(Stored(type).first, DWORD{REG_SZ}) << type;
    Get(type, "Out$");
    EXPECT_EQ(StrVar(*host_, "Out$"), path) << type;
  }
  // DWORD goes through the library's signed 32-bit conversion below 2^32.
  const struct { DWORD type; double in, stored; } numbers[] = {
      {REG_DWORD, 5e9, 4294967295.0}, {REG_DWORD, 4294967295.4, 4294967295.0}, {REG_DWORD, -3, 0},
      {REG_DWORD, 7.5, 8}, {REG_DWORD, 3e9, 2147483647}, {REG_QWORD, -5.7, -5},
      {REG_QWORD, 0x1p40, 0x1p40}, {REG_QWORD, -1e300, -0x1p63},
  };
  for (const auto& c : numbers) {
    vars.setNumber("N", c.in);
    Set(S("HKEY_CURRENT_USER"), "Num", c.type == REG_DWORD ? "REG_DWORD" : "reg_qword", "N");
    const Bytes bytes = Bytes().i64(0, static_cast<std::int64_t>(c.stored)).resize(c.type == REG_DWORD ? 4 : 8);
    EXPECT_EQ(Stored("Num"), RegData(c.type, bytes.data())) << c.in;
    Get("Num", "R");
    EXPECT_EQ(NumVar("R"), Nums{c.stored}) << c.in;
  }
  std::uint32_t t = vars.newTable(7);
  *vars.table(t) = {1, -1, 255, 256, -128, 1.9, -1.9};
  vars.setTable("T", t);
  Set(S("HKEY_CURRENT_USER"), "Bin", "REG_BINARY", "T");
  EXPECT_EQ(Stored("Bin"), RegData(REG_BINARY, {0x01, 0xff, 0xff, 0x00, 0x80, 0x01, 0xff}));
  Get("Bin", "R");
  EXPECT_EQ(NumVar("R"), (Nums{1, -1, -1, 0, -128, 1, -1}));
  // The root defaults to the machine's, also for names it does not know.
  Set(Omit(), "Machine", "REG_DWORD", "N");
  Set(S("HKEY_NOWHERE"), "Machine2", "REG_DWORD", "N");
  for (const char* name : {"Machine", "Machine2"})
    EXPECT_EQ(Stored(name, HKEY_LOCAL_MACHINE).first, DWORD{REG_DWORD}) << name;
}

TEST_F(RegistryWords, ReadingRawValues) {
  auto raw = [&](const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, type, data.data(), DWORD(data.size())), 0);
  };
  raw("Multi", REG_MULTI_SZ, std::string("first\0second\0\0", 14));
  raw("Fits", REG_SZ, std::string(259, 'f') + '\0');
  raw("TooBig", REG_SZ, std::string(260, 'b') + '\0');
  raw("Other", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4));
  Get("Multi", "R$");
  EXPECT_EQ(StrVar(*host_, "R$"), "first");
  Get("Fits", "R$");
  EXPECT_EQ(StrVar(*host_, "R$"), std::string(259, 'f'));
  // Whatever cannot be read leaves the variable deleted.
  const std::pair<Arg, Arg> unreadable[] = {{S(kKey), S("TooBig")}, {S(kKey), S("Other")}, {S(kKey), S("None")},
                                            {S(kKey), Omit()}, {S("Software\\None"), S("X")}, {Omit(), S("X")}};
  for (const auto& [subkey, name] : unreadable) {
    host_->vars().setString("R$", "stale");
    Ok("REGGET", {S("HKEY_CURRENT_USER"), subkey, name, S("R$")});
    EXPECT_EQ(StrVar(*host_, "R$"), "<missing>");
  }
  Ok("REGGET", {S("HKEY_CURRENT_USER"), S(kKey), S("Multi"), Omit()});
}

TEST_F(RegistryWords, WritesNothingWithoutAKeyOrAFittingVariable) {
  host_->vars().setNumber("N", 1);
  host_->vars().setString("S$", "text");
  const std::string sub = std::string(kKey) + "\\Sub";
  Ok("REGSET", {S("HKEY_CURRENT_USER"), S(sub), S("V"), S("REG_DWORD"), S("N")});
  HKEY k;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &k), 0);
  const std::pair<const char*, const char*> unfit[] = {
      {"REG_DWORD", "S$"}, {"REG_BINARY", "N"}, {"REG_SZ", "N"}, {"REG_SZ", "UNDEFINED$"}, {"REG_LINK", "S$"}};
  for (const auto& [type, var] : unfit) Set(S("HKEY_CURRENT_USER"), "V", type, var);
  const std::vector<Arg> all{S("HKEY_CURRENT_USER"), S(kKey), S("V"), S("REG_SZ"), S("S$")};
  for (std::size_t omit = 1; omit < 5; ++omit) Ok("REGSET", With(all, omit, Omit()));
  EXPECT_EQ(Stored("V").first, DWORD{REG_NONE});
}

TEST_F(SettingsWords, SetV2VarsFromTheSettingsFile) {
  const char* kKey = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";
  TempDir dir;
  const char* names[] = {"_QCMDPATH$", "_QCMDFILE$", "_RPTPATH$", "_CHNSEQPATH$", "_CHNSEQFILE$"};
  const struct { std::string body; std::uint16_t status; Lines values; } cases[] = {
      {"_QCMDPATH$=D:\\qc\\\r\n_QCMDFILE$=A.QCC\r\n_RPTPATH$=D:\\r\\\r\n"
       "_CHNSEQPATH$=D:\\c\\\r\n_CHNSEQFILE$=B.CHS\r\n",
       0, {"D:\\qc\\", "A.QCC", "D:\\r\\", "D:\\c\\", "B.CHS"}},
      {"_INSTPATH$=C:\\inst\\\r\n_QCMDFILE$=\r\n", 0,
       {"C:\\inst\\QCMODE\\", "GENERAL.QCC", "C:\\inst\\RPTTMP\\", "C:\\inst\\CHNSEQ\\", "DEFAULT.CHS"}},
      // Without _INSTPATH$ the first default that needs it stops the command.
      {"_QCMDPATH$=D:\\qc\\\r\n_QCMDFILE$=A.QCC\r\n", 1,
       {"D:\\qc\\", "A.QCC", "<missing>", "<missing>", "<missing>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    // A fresh folder each time: the INI reader caches by name and time stamp.
    const std::string folder = dir.file("inst" + std::to_string(&c - cases));
    std::filesystem::create_directories(folder + "\\icpexe");
    WriteAll(folder + "\\icpexe\\vexmon.ist", "[PCS,1]\r\n" + c.body);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Path", REG_SZ, folder.c_str(), DWORD(folder.size() + 1));
    host_->vars().clear();
    Outcome o = host_->call("SetV2Vars", {});
    EXPECT_EQ(o.status, c.status);
    EXPECT_TRUE(o.raised.empty());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(StrVar(*host_, names[i]), c.values[i]) << names[i];
  }
  EXPECT_EQ(host_->shown(), Lines{Msg(1015)});  // shown by the failing case only
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Path");
}

// Backups go to a temporary folder of the test's own, to see that none is left.
class LauncherFile : public SettingsWords {
 protected:
  void SetUp() override {
    SettingsWords::SetUp();
    GetEnvironmentVariableA("TMP", oldTmp_, MAX_PATH);
    SetEnvironmentVariableA("TMP", temp_.path().c_str());
    WriteAll(launcher_, kLauncher);
  }
  void TearDown() override { SetEnvironmentVariableA("TMP", *oldTmp_ ? oldTmp_ : nullptr); }
  Outcome Make(const std::string& runTypeBody) {
    WriteAll(runTypes_, runTypeBody);
    return host_->call("MakeHubexIni", {S(runTypes_), S(launcher_)});
  }
  // A failure shows 1014 and leaves the launcher file as it was, without a backup.
  void FailedAndRestored(const Outcome& o, const std::string& before) {
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(host_->shown(), Lines(++failures_, Msg(1014)));
    EXPECT_EQ(ReadAll(launcher_), before);
    EXPECT_TRUE(std::filesystem::is_empty(temp_.path()));
  }
  static constexpr const char* kLauncher =
      "[Samplog]\r\nKeywords=old\r\nOther=keep\r\n[RunType]\r\nStale=9\r\n"
      "[SUFFIX]\r\nOLD=9\r\n[Window]\r\nLeft=10\r\n";
  TempDir dir_, temp_;
  std::string launcher_ = dir_.file("hubex.ini"), runTypes_ = dir_.file("runtype.ini");
  char oldTmp_[MAX_PATH] = {};
  std::size_t failures_ = 0;
};

TEST_F(LauncherFile, RewritesTheRunTypeSections) {
  Outcome o = Make("[Keywords]\r\nKeywords=Blank,Std,Sample\r\n[RunType]\r\nType1=Blank\r\nType2=Standard\r\n"
                   "Type3=VeryLongRunTypeNameExceeding\r\nType4=NoNumber\r\nType6=Ghost\r\n"
                   "[Blank]\r\nTypeNo=1\r\nSuffix=BLK\r\n[Standard]\r\nTypeNo=2\r\n"
                   "[VeryLongRunTypeName]\r\nTypeNo=3\r\nSuffix=VLN\r\n[NoNumber]\r\nSuffix=NON\r\n"
                   "[Ghost]\r\nTypeNo=6\r\nSuffix=GHO\r\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(host_->shown().empty());
  EXPECT_EQ(Section(launcher_, "Samplog"), (Lines{"Keywords=Blank,Std,Sample,End", "Other=keep"}));
  EXPECT_EQ(Section(launcher_, "RunType"), (Lines{"Blank=1", "Standard=2", "VeryLongRunTypeName=3"}));
  EXPECT_EQ(Section(launcher_, "SUFFIX"), (Lines{"BLK=1", "VLN=3", "NON="}));
  EXPECT_EQ(Section(launcher_, "Window"), Lines{"Left=10"});
  EXPECT_TRUE(std::filesystem::is_empty(temp_.path()));

  std::string body = "[Keywords]\r\nKeywords=K\r\n[RunType]\r\n", sections;
  for (int n = 1; n <= 60; ++n) {
    body += "Type" + std::to_string(n) + "=T" + std::to_string(n) + "\r\n";
    sections += "[T" + std::to_string(n) + "]\r\nTypeNo=" + std::to_string(n) + "\r\n";
  }
  ASSERT_EQ(Make(body + sections).status, 0);
  Lines runTypes = Section(launcher_, "RunType");
  ASSERT_EQ(runTypes.size(), 55u);
  EXPECT_EQ(runTypes.back(), "T55=55");

  // Without file names: the program folder's.
  WriteAll(dir_.file("RUNTYPE.INI"), "[Keywords]\r\nKeywords=D\r\n");
  host_->vars().setString("_ExePath$", dir_.path() + "\\");
  Ok("MakeHubexIni", {Omit(), Omit()});
  EXPECT_EQ(Section(dir_.file("HUBEX.INI"), "Samplog"), (Lines{"Keywords=D,End", "Other=keep"}));
}

TEST_F(LauncherFile, FailuresLeaveTheFileAsItWas) {
  FailedAndRestored(Make("[RunType]\r\nType1=Blank\r\n[Blank]\r\nTypeNo=1\r\n"), kLauncher);
  FailedAndRestored(Make("[Keywords]\r\nKeywords=\r\n"), kLauncher);
  // Held open without write sharing: the first write fails.
  HANDLE held = CreateFileA(launcher_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Outcome o = Make("[Keywords]\r\nKeywords=K\r\n");
  CloseHandle(held);
  FailedAndRestored(o, kLauncher);
  DeleteFileA(launcher_.c_str());
  FailedAndRestored(Make("[Keywords]\r\nKeywords=K\r\n"), "");
  EXPECT_EQ(GetFileAttributesA(launcher_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsWords, TimeStampAndProcessTest) {
  TempDir dir;
  const std::string file = dir.file("stamp.txt");
  WriteAll(file, "x");
  _utimbuf old{978307200, 978307200};  // January 2001
  ASSERT_EQ(_utime(file.c_str(), &old), 0);
  Ok("SETCURTIMESTAMP", {S(file)});
  struct _stat st;
  ASSERT_EQ(_stat(file.c_str(), &st), 0);
  EXPECT_LT(std::time(nullptr) - st.st_mtime, 60);
  EXPECT_LT(std::time(nullptr) - st.st_atime, 60);
  Fails("SETCURTIMESTAMP", {S(dir.file("missing.txt"))}, Msg(1019));
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(125, 'm'))}, Msg(1019));
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(126, 'm'))}, Msg(1007, 128));
  Fails("SETCURTIMESTAMP", {Omit()}, Msg(1008));

  EXPECT_EQ(Number("ISCUSTRPT", {N(GetCurrentProcessId())}), 1);
  EXPECT_EQ(Number("ISCUSTRPT", {N(-1)}), 0);
  auto child = reinterpret_cast<HANDLE>(_spawnlp(_P_NOWAIT, "cmd.exe", "cmd.exe", "/c", "exit", nullptr));
  const DWORD id = GetProcessId(child);
  ASSERT_NE(id, 0u);
  WaitForSingleObject(child, 10000);
  CloseHandle(child);
  // The system lets go of an ended process a little after its last handle.
  for (int waits = 0; waits < 50 && Number("ISCUSTRPT", {N(id)}) == 1; ++waits) Sleep(100);
  EXPECT_EQ(Number("ISCUSTRPT", {N(id)}), 0);
  // A missing id is reported, and the word still answers -1.
  std::optional<Value> r = Fails("ISCUSTRPT", {Omit()}, Msg(1008), 0).result;
  EXPECT_TRUE(r && !r->isString && r->number == -1);
}

}  // namespace
}  // namespace mcrtest
