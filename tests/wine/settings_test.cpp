// Number words, INI files, the registry and the small settings commands,
// called as a macro would.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "instwords.h"

namespace mcrtest {
namespace {

using Lines = std::vector<std::string>;
using Nums = std::vector<double>;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
  // The result of a call that must succeed without raising anything ('#' before a number).
  std::string Ok(const std::string& word, std::vector<Arg> args) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 0) << word;
    EXPECT_TRUE(o.raised.empty()) << word << ": " << (o.raised.empty() ? "" : U(o.raised[0].text));
    return !o.result ? "<none>" : o.result->isString ? o.result->text : "#" + std::to_string(int(o.result->number));
  }
  Outcome Fails(const std::string& word, std::vector<Arg> args, const std::string& msg, int status = 1) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, status) << word;
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(msg)) << word;
    return o;
  }
  std::unique_ptr<Host> host_;
};

TEST_F(SettingsWords, NumberWords) {
  // Limits -1e30 and 1e30; the formatting itself has its own table.
  auto fmt = [&](Arg v, Arg text, double m, double e, double from = 0.1, double below = 1000) {
    return Ok("DBLFMTSTR$", {v, text, N(m), N(e), N(-1e30), N(1e30), N(from), N(below)});
  };
  EXPECT_EQ(fmt(N(123.456), Omit(), 2.5, 1.5, 0.1, 100), "1.23E+02");  // 3 and 2 after rounding
  EXPECT_EQ(fmt(N(99), S(" -0.96 "), 1, 2, -10, 10), "-1");
  EXPECT_EQ(fmt(N(99), S(""), 2, 2), "99.");
  EXPECT_EQ(fmt(Omit(), Omit(), 2, 2, -1, 1), "0.0");
  // The ranges of the digits; the order of the checks is the sweep's.
  auto bad = [](Arg m, Arg e) { return std::vector<Arg>{N(1), Omit(), m, e, N(0), N(10), Omit(), N(5)}; };
  for (Arg m : {N(0), N(6.5)}) Fails("DBLFMTSTR$", bad(m, N(2)), Msg(1011, A(Label(3)).c_str(), 1, 6));
  Fails("DBLFMTSTR$", bad(N(3), N(0.49)), Msg(1010, A(Label(4)).c_str(), 1));

  EXPECT_EQ(Ok("ScalarToHex", {N(-1)}) + Ok("ScalarToHex", {Omit()}), "ffffffff");
  EXPECT_EQ(Ok("HexToScalar", {S("ffffffff")}) + Ok("HexToScalar", {Omit()}), "#-1#0");
}

TEST_F(SettingsWords, ProfileReadsWritesAndDeletes) {
  TempDir dir;
  const std::string ini = dir.file("plain.ini"), x200(200, 'x'),
                    text = "[Main]\r\nName=Value\r\nLong=" + x200 + "\r\n[Other]\r\nA=1\r\n";
  WriteAll(ini, text);
  auto get = [&](const std::string& key) {
    Ok("GetProfile", {S("Main"), S(key), S("def"), S("V$"), S(ini)});
    return StrVar(*host_, "V$");
  };
  EXPECT_EQ(get("Long"), std::string(126, 'x'));
  EXPECT_EQ(get(std::string(127, 'k')), "def");

  // Every argument is held to 127 bytes; one more fails and the file stays as it was.
  const std::string k128(128, 'k');
  Fails("GetProfile", {S("Main"), S("Name"), S("d"), S("V$"), S(k128)}, Msg(1007, 127));
  Fails("WriteProfile", {S("Main"), S("Name"), S(k128), S(ini)}, Msg(1007, 127));
  EXPECT_EQ(ReadAll(ini), text);

  auto write = [&](const char* section, const char* key, const char* value) {
    Ok("WriteProfile", {S(section), S(key), S(value), S(ini)});
    return Section(ini, section);
  };
  EXPECT_EQ(write("Main", "Name", "New"), (Lines{"Name=New", "Long=" + x200}));
  EXPECT_EQ(write("Main", "Name", ""), Lines{"Long=" + x200});
  EXPECT_EQ(write("Other", "", "ignored"), Lines{});
}

TEST_F(SettingsWords, RegistryValuesByType) {
  const char* kKey = "Software\\MCRPAK Tests\\Registry";
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    ASSERT_EQ(RegSetKeyValueA(root, kKey, "", REG_SZ, "", 1), 0);
  using RegData = std::pair<DWORD, std::vector<std::uint8_t>>;  // type and bytes; REG_NONE when missing
  auto Stored = [&](const char* name, HKEY root = HKEY_CURRENT_USER) {
    std::uint8_t data[1024];
    DWORD type = REG_NONE, size = sizeof data;
    if (RegGetValueA(root, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size)) return RegData{};
    return RegData{type, {data, data + size}};
  };
  auto Got = [&](const char* name) {  // a number, a table's elements; {} for anything else
    Ok("REGGET", {S("HKEY_CURRENT_USER"), S(kKey), S(name), S("R")});
    const mcrhost::Var* v = host_->vars().find("R");
    if (!v || v->type == mcrhost::Var::Type::String) return Nums{};
    return v->type == mcrhost::Var::Type::Table ? *host_->vars().table(v->table) : Nums{v->number};
  };
  auto Set = [&](Arg root, const char* name, const char* type, const char* var) {
    Ok("REGSET", {root, S(kKey), S(name), S(type), S(var)});
  };
  auto& vars = host_->vars();
  const std::string path = A("C:\\Inst\\ﾃﾞｰﾀ");
  vars.setString("S$", path);
  for (const char* type : {"REG_SZ", "reg_expand_sz", "REG_MULTI_SZ"}) {
    Set(S("hkey_current_user"), type, type, "S$");
    EXPECT_EQ(Stored(type), RegData(REG_SZ, Bytes().text(0, path).data())) << type;
  }
  // DWORD goes through the library's signed 32-bit conversion below 2^32.
  const struct { DWORD type; double in, stored; } numbers[] = {
      {REG_DWORD, 4294967295.4, 4294967295.0}, {REG_DWORD, 3e9, 2147483647}, {REG_DWORD, -3, 0},
      {REG_DWORD, 7.5, 8}, {REG_QWORD, -5.7, -5}, {REG_QWORD, -1e300, -0x1p63}};
  for (const auto& c : numbers) {
    vars.setNumber("N", c.in);
    Set(S("HKEY_CURRENT_USER"), "Num", c.type == REG_DWORD ? "REG_DWORD" : "reg_qword", "N");
    const Bytes bytes = Bytes().i64(0, static_cast<std::int64_t>(c.stored)).resize(c.type == REG_DWORD ? 4 : 8);
    EXPECT_EQ(Stored("Num"), RegData(c.type, bytes.data())) << c.in;
    EXPECT_EQ(Got("Num"), Nums{c.stored}) << c.in;
  }
  std::uint32_t t = vars.newTable(7);
  *vars.table(t) = {1, -1, 255, 256, -128, 1.9, -1.9};
  vars.setTable("T", t);
  Set(S("HKEY_CURRENT_USER"), "Bin", "REG_BINARY", "T");
  EXPECT_EQ(Stored("Bin"), RegData(REG_BINARY, {0x01, 0xff, 0xff, 0x00, 0x80, 0x01, 0xff}));
  EXPECT_EQ(Got("Bin"), (Nums{1, -1, -1, 0, -128, 1, -1}));
  // The root defaults to the machine's, also for names it does not know.
  for (const auto& [root, name] : {std::pair{Omit(), "Omitted"}, {S("HKEY_NOWHERE"), "Unknown"}}) {
    Set(root, name, "REG_DWORD", "N");
    EXPECT_EQ(Stored(name, HKEY_LOCAL_MACHINE).first, DWORD{REG_DWORD}) << name;
  }
  // Nothing without an existing key, every argument, a known type and a variable of its kind.
  const std::string sub = std::string(kKey) + "\\Sub";
  const std::vector<Arg> all{S("HKEY_CURRENT_USER"), S(kKey), S("V"), S("REG_SZ"), S("S$")};
  for (std::size_t omit = 1; omit < 5; ++omit) Ok("REGSET", With(all, omit, Omit()));
  Ok("REGSET", With(all, 1, S(sub)));
  for (const auto& [type, var] : {std::pair{"REG_DWORD", "S$"}, {"REG_SZ", "NONE$"}, {"REG_LINK", "S$"}})
    Set(S("HKEY_CURRENT_USER"), "V", type, var);
  HKEY k;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &k), 0);
  EXPECT_EQ(Stored("V").first, DWORD{REG_NONE});

  // Strings as other programs store them, with the terminator: 260 bytes fit, 261 do not. Whatever
  // cannot be read leaves the variable deleted.
  for (DWORD n : {259u, 260u})
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, n < 260 ? "Fits" : "TooBig", REG_SZ, std::string(n, 'f').c_str(), n + 1);
  EXPECT_EQ(Stored("TooBig").second.size(), 261u);
  const struct { Arg subkey; const char* name; std::string value; } reads[] = {
      {S(kKey), "Fits", std::string(259, 'f')}, {S(kKey), "TooBig", "<missing>"},
      {S("Software\\None"), "X", "<missing>"}, {Omit(), "X", "<missing>"}};
  for (const auto& c : reads) {
    host_->vars().setString("R$", "stale");
    Ok("REGGET", {S("HKEY_CURRENT_USER"), c.subkey, S(c.name), S("R$")});
    EXPECT_EQ(StrVar(*host_, "R$"), c.value) << c.name;
  }
  Ok("REGGET", {S("HKEY_CURRENT_USER"), S(kKey), S("Fits"), Omit()});
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteTreeA(root, "Software\\MCRPAK Tests");
}

TEST_F(SettingsWords, SetV2VarsFromTheSettingsFile) {
  TempDir dir;
  WorkstationKey station;
  auto run = [&](const std::string& name, const std::string& settings) {  // the status and the five variables
    // A fresh folder each time: the INI reader caches by name and time stamp.
    const std::string folder = dir.file(name);
    std::filesystem::create_directories(folder + "\\icpexe");
    WriteAll(folder + "\\icpexe\\vexmon.ist", "[PCS,1]\r\n" + settings);
    station.Point(folder);
    host_->vars().clear();
    Outcome o = host_->call("SetV2Vars", {});
    EXPECT_TRUE(o.raised.empty());
    std::string got = std::to_string(o.status);
    for (const char* var : {"_QCMDPATH$", "_QCMDFILE$", "_RPTPATH$", "_CHNSEQPATH$", "_CHNSEQFILE$"})
      got += "|" + StrVar(*host_, var);
    return got;
  };
  EXPECT_EQ(run("a", "_INSTPATH$=C:\\i\\\r\n_QCMDFILE$=\r\n"),
            "0|C:\\i\\QCMODE\\|GENERAL.QCC|C:\\i\\RPTTMP\\|C:\\i\\CHNSEQ\\|DEFAULT.CHS");
  // Without _INSTPATH$ the first default that needs it stops the command.
  EXPECT_EQ(run("b", "_QCMDPATH$=D:\\qc\\\r\n"), "1|D:\\qc\\|GENERAL.QCC|<missing>|<missing>|<missing>");
  EXPECT_EQ(host_->shown(), Lines{Msg(1015)});  // shown by the failing case only
}

TEST_F(SettingsWords, MakeHubexIniRewritesTheRunTypeSections) {
  TempDir dir;
  const std::string launcher = dir.file("hubex.ini"), runTypes = dir.file("runtype.ini"),
                    before = "[Samplog]\r\nKeywords=old\r\nOther=keep\r\n[RunType]\r\nStale=9\r\n[SUFFIX]\r\nOLD=9\r\n";
  auto make = [&](const std::string& body) {
    WriteAll(runTypes, body);
    return host_->call("MakeHubexIni", {S(runTypes), S(launcher)}).status;
  };
  // Names are cut to 19 bytes; at most 55 types are read.
  WriteAll(launcher, before);
  std::string body = "[Keywords]\r\nKeywords=Blank,Std\r\n[RunType]\r\nType1=VeryLongRunTypeNameExceeding\r\n"
                     "Type2=NoNumber\r\n",
              sections = "[VeryLongRunTypeName]\r\nTypeNo=1\r\nSuffix=VLN\r\n[NoNumber]\r\nSuffix=NON\r\n";
  for (int n = 3; n <= 56; ++n) {
    const std::string t = std::to_string(n);
    body += "Type" + t + "=T" + t + "\r\n", sections += "[T" + t + "]\r\nTypeNo=" + t + "\r\n";
  }
  EXPECT_EQ(make(body + sections), 0);
  EXPECT_EQ(Section(launcher, "Samplog"), (Lines{"Keywords=Blank,Std,End", "Other=keep"}));
  const Lines written = Section(launcher, "RunType");
  EXPECT_EQ(written.size(), 54u);
  EXPECT_EQ(written.front() + " " + written.back(), "VeryLongRunTypeName=1 T55=55");
  EXPECT_EQ(Section(launcher, "SUFFIX"), (Lines{"VLN=1", "NON="}));

  // A failure shows 1014 and leaves the launcher file as it was: without the
  // keywords, when the file is held open without write sharing, when there is none.
  WriteAll(launcher, before);
  EXPECT_EQ(make("[RunType]\r\nType1=Blank\r\n[Blank]\r\nTypeNo=1\r\n"), 1);
  HANDLE held = CreateFileA(launcher.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  EXPECT_EQ(make("[Keywords]\r\nKeywords=K\r\n"), 1);
  CloseHandle(held);
  EXPECT_EQ(ReadAll(launcher), before);
  DeleteFileA(launcher.c_str());
  EXPECT_EQ(make("[Keywords]\r\nKeywords=K\r\n"), 1);
  EXPECT_EQ(GetFileAttributesA(launcher.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(host_->shown(), Lines(3, Msg(1014)));  // and none on success

  // Without file names: the program folder's. The list ends at the first missing "TypeN" entry.
  WriteAll(dir.file("RUNTYPE.INI"), "[Keywords]\r\nKeywords=D\r\n[RunType]\r\nType2=X\r\n[X]\r\nTypeNo=2\r\n");
  WriteAll(dir.file("HUBEX.INI"), before);
  host_->vars().setString("_ExePath$", dir.path() + "\\");
  Ok("MakeHubexIni", {Omit(), Omit()});
  EXPECT_EQ(Section(dir.file("HUBEX.INI"), "Samplog"), (Lines{"Keywords=D,End", "Other=keep"}));
  EXPECT_EQ(Section(dir.file("HUBEX.INI"), "RunType"), Lines{});
}

TEST_F(SettingsWords, TimeStampAndProcessTest) {
  TempDir dir;
  const std::string file = dir.file("stamp.txt");
  WriteAll(file, "x");
  const auto now = std::filesystem::last_write_time(file);
  std::filesystem::last_write_time(file, now - std::chrono::hours(24 * 365));
  Ok("SETCURTIMESTAMP", {S(file)});
  EXPECT_GE(std::filesystem::last_write_time(file), now);
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(125, 'm'))}, Msg(1019));  // 128 bytes, no such file
  Fails("SETCURTIMESTAMP", {S("C:\\" + std::string(126, 'm'))}, Msg(1007, 128));

  EXPECT_EQ(Ok("ISCUSTRPT", {N(GetCurrentProcessId())}) + Ok("ISCUSTRPT", {N(-1)}), "#1#0");
  // An ended process: the word must not keep it alive with a handle of its
  // own. The child is ended before it runs, so the test does not wait for a
  // program to start on a busy machine; only its end is waited for.
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION child{};
  char command[] = "cmd.exe /c exit";
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &child));
  const DWORD id = child.dwProcessId;
  TerminateProcess(child.hProcess, 0);
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  std::string answer;
  for (int waits = 0; waits < 50 && (answer = Ok("ISCUSTRPT", {N(id)})) != "#0"; ++waits) Sleep(100);
  EXPECT_EQ(answer, "#0");
  // A missing id is reported, and the word still answers -1.
  EXPECT_EQ(Fails("ISCUSTRPT", {Omit()}, Msg(1008), 0).result.value_or(Value{}).number, -1);
}

}  // namespace
}  // namespace mcrtest
