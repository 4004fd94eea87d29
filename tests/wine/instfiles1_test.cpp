// Sequence files, data file headers, run types and method headers, through
// the words as a macro calls them, on fixture files laid down byte by byte.
#include <cfloat>

#include "instwords.h"

namespace mcrtest {
namespace {

constexpr std::size_t kRow = 1909, kHdr = 1034;

struct RowDef { std::int32_t type; std::string path, keyword; std::int32_t extensions; };
// The header, a gap, then the rows with their extension entries; rowAt[i] is where row i starts.
struct Sequence { Bytes b; std::vector<std::size_t> rowAt; };

Sequence MakeSequence(const std::vector<RowDef>& rows, std::size_t gap = 40, std::optional<std::int32_t> count = {}) {
  Sequence s{Bytes(kHdr + gap, 0x77), {}};
  s.b.u8(0, 4).text(1, "water run").text(47, "sato").text(77, "D:\\data\\").text(338, "pre.mac").text(471, "post.mac");
  s.b.u16(604, 0x8001).u32(606, 3).u32(610, 9).u32(630, 1).u32(634, 5);
  s.b.i32(614, count.value_or(static_cast<std::int32_t>(rows.size()))).i32(618, static_cast<std::int32_t>(kHdr + gap));
  for (const RowDef& r : rows) {
    s.rowAt.push_back(s.b.size());
    s.b.append(Bytes(kRow, static_cast<std::uint8_t>(0x30 + s.rowAt.size()))
                   .i32(4, r.type).text(277, r.path).text(1035, r.keyword).i32(1625, r.extensions));
    if (r.extensions > 0) s.b.append(Bytes(34 * static_cast<std::size_t>(r.extensions), 0xE5));
  }
  return s;
}

TEST_F(InstWords, SequenceVersionByte) {
  std::string seq = dir_.file("a.seq"), empty = dir_.file("empty.seq"), none = dir_.file("none.seq");
  Snapshot before = Save(Bytes(kHdr).u8(0, 7), seq);
  Save(Bytes(), empty);
  for (auto [path, version] : {std::pair{seq, 7}, {empty, -1}, {none, -1}})
    EXPECT_EQ(Call("GetSeqFileVer", {S(path)}).result->number, version) << path;
  for (double v : {255.4, -0.1}) Err(Call("SetSeqFileVer", {S(seq), N(v)}), Msg(1011, A(Label(2)).c_str(), 0, 255));
  ExpectUnchanged(before);
  Ok(Call("SetSeqFileVer", {S(seq), N(254.5)}));
  EXPECT_TRUE(Bytes::Load(seq) == Bytes(kHdr).u8(0, 255));
  Err(Call("SetSeqFileVer", {S(none), N(1)}), Msg(1016));
  EXPECT_EQ(GetFileAttributesA(none.c_str()), INVALID_FILE_ATTRIBUTES);
  // The path is held to 255 bytes (one check for all the sequence words).
  Err(Call("GetSeqHdStr", {S(std::string(256, 'p'))}), Msg(1007, 255));
  EXPECT_EQ(Call("GetSeqFileVer", {S(std::string(255, 'p'))}).result->number, -1);
}

TEST_F(InstWords, SequenceHeaderFields) {
  std::string seq = dir_.file("a.seq"), shortFile = dir_.file("short.seq"), none = dir_.file("none.seq");
  Bytes want = MakeSequence({{1, "", "", 2}}).b;
  Save(want, seq);
  // Each field written and read back, its name in any case.
  struct Text { const char* name; std::string value; std::size_t at; std::string stored; } texts[] = {
      {"comment", std::string(50, 'c'), 1, std::string(45, 'c')}, {"OPERATOR", "ito", 47, "ito"},
      {"DataPath", "E:\\d\\", 77, "E:\\d\\"}, {"PreSeq", "a.mac", 338, "a.mac"}, {"postSEQ", "b", 471, "b"},
  };
  for (const Text& t : texts) {
    Ok(Call("SetSeqHdStr", {S(seq), S(t.name), S(t.value)}));
    EXPECT_TRUE(Bytes::Load(seq) == want.text(t.at, t.stored)) << t.name;  // old bytes stay after the zero
    Ok(Call("GetSeqHdStr", {S(seq), S(t.name), S("v$")}));
    EXPECT_EQ(StrVar(*host_, "V$"), t.stored) << t.name;
  }
  struct Number { const char* name; double value; std::size_t at; int width; std::uint32_t stored; } numbers[] = {
      {"Inject", 70000, 606, 4, 4464}, {"Version", 300, 0, 1, 44}, {"RunCount", -5, 610, 4, 0},
      {"runcount", 5e12, 610, 4, 4294967295u}, {"FLAG", 98305, 604, 2, 32769}, {"PrintSeq", 2.5, 630, 4, 3},
      {"methpenb", 6, 634, 4, 6},
  };
  for (const Number& n : numbers) {
    Ok(Call("SetSeqHdNo", {S(seq), S(n.name), N(n.value)}));
    for (int i = 0; i < n.width; ++i) want.u8(n.at + i, static_cast<std::uint8_t>(n.stored >> (8 * i)));
    EXPECT_TRUE(Bytes::Load(seq) == want) << n.name;
    Ok(Call("GetSeqHdNo", {S(seq), S(n.name), S("n")}));
    EXPECT_EQ(Num("N"), n.stored) << n.name;
  }

  // Refusals leave the file as it was. The readers set their variable to ""
  // or -1 first, except on a fault in the arguments.
  Snapshot before = Snap(seq);
  host_->vars().setString("V$", "stale");
  Err(Call("GetSeqHdStr", {S(seq), S(std::string(20, 'f')), S("V$")}), Msg(1017, std::string(20, 'f').c_str()));
  EXPECT_EQ(StrVar(*host_, "V$"), "stale");
  Err(Call("GetSeqHdStr", {S(none), S("Comment"), S("V$")}), Msg(1016));
  EXPECT_EQ(StrVar(*host_, "V$"), "");
  Err(Call("GetSeqHdNo", {S(seq), S(std::string(19, 'f')), S("V$")}), Msg(1017, std::string(19, 'f').c_str()));
  EXPECT_EQ(Num("V$"), -1);
  Err(Call("SetSeqHdStr", {S(seq), S("Flag"), S("x")}), Msg(1017, "Flag"));
  HANDLE lock = CreateFileA(seq.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Err(Call("SetSeqHdNo", {S(seq), S("Flag"), N(1)}), Msg(1016));
  CloseHandle(lock);
  ExpectUnchanged(before);
  // A file shorter than the header reads as empty and gets a header that holds only the new field.
  Save(Bytes(500, 0x41), shortFile);
  Ok(Call("GetSeqHdStr", {S(shortFile), S("PreSeq"), S("v$")}));
  EXPECT_EQ(StrVar(*host_, "V$"), "");
  Ok(Call("SetSeqHdStr", {S(shortFile), S("PostSeq"), S("end.mac")}));
  EXPECT_TRUE(Bytes::Load(shortFile) == Bytes(kHdr).text(471, "end.mac"));
}

TEST_F(InstWords, MethodPathOfSequenceRows) {
  const std::vector<RowDef> rows = {
      {1, "C:\\old\\one\\", "", 2}, {6, "C:\\kw\\", "QC", 0}, {1, "", "", -3}, {2, "C:\\x\\", "", 1}};
  std::string seq = dir_.file("a.seq");
  struct Way { Arg path, row; std::vector<std::size_t> changed; std::string stored; int enabled; } ways[] = {
      {S("E:\\m"), Omit(), {0, 2, 3}, "E:\\m\\", 1}, {S("E:\\m\\"), N(351), {0, 2, 3}, "E:\\m\\", 1},
      {S("E:\\m"), N(3), {2}, "E:\\m\\", 1}, {S("E:\\m"), N(2), {}, "", 5},  // row 2 is a keyword row
      {S(""), N(3), {0, 2, 3}, "", 0},  // an empty path ignores the row
  };
  for (const Way& w : ways) {
    Sequence s = MakeSequence(rows);
    Snapshot before = Save(s.b, seq);
    Ok(Call("SeqRpcMPath", {S(seq), w.path, w.row}));
    Bytes want = s.b;
    for (std::size_t i : w.changed) want.text(s.rowAt[i] + 277, w.stored);
    EXPECT_TRUE(Bytes::Load(seq) == want.u32(634, static_cast<std::uint32_t>(w.enabled))) << w.stored;
    if (w.changed.empty()) ExpectUnchanged(before);
  }
  // Rows end early: refused, the file as it was, unless the row asked for comes first.
  Sequence s = MakeSequence(rows, 40, 9);
  Snapshot before = Save(s.b, seq);
  Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
  ExpectUnchanged(before);
  Ok(Call("SeqRpcMPath", {S(seq), S("E:\\m"), N(1)}));
  EXPECT_TRUE(Bytes::Load(seq) == s.b.text(s.rowAt[0] + 277, "E:\\m\\").u32(634, 1));
}

TEST_F(InstWords, KeywordRowSearch) {
  // The rows follow the header directly, whatever the header says.
  Sequence s = MakeSequence({{6, "", "CALIB", 0}, {1, "", "QC", 2}, {6, "", "calib", 1}, {6, "", "Qc", 0}}, 0, 0);
  std::string seq = dir_.file("a.seq"), bare = dir_.file("bare.seq"), none = dir_.file("none.seq");
  Snapshot before = Save(s.b.i32(618, 99999), seq);
  Save(Bytes(kHdr), bare);
  struct Find { const char* keyword; double first, row; } finds[] = {
      {"qc", 1e12, 0}, {"Calib", 0.5, 1}, {"calib", 2, 3}, {"none", 1, 0}, {"QC", 1, 4},
  };
  for (const Find& f : finds) {
    Ok(Call("SeqFindKwd", {S(seq), S(f.keyword), N(f.first), S("k")}));
    EXPECT_EQ(Num("K"), f.row) << f.keyword << " from " << f.first;
  }
  ExpectUnchanged(before);
  for (auto [path, msg] : {std::pair{bare, Msg(1019)}, {none, Msg(1002, none.c_str())}}) {
    host_->vars().setNumber("K", -5);
    Err(Call("SeqFindKwd", {S(path), S("QC"), N(1), S("k")}), msg);
    EXPECT_EQ(Num("K"), -1) << path;
  }
  host_->vars().setNumber("K", -5);
  Err(Call("SeqFindKwd", {S(seq), S("QC"), N(0.4), S("k")}), Msg(1010, A(Label(3)).c_str(), 1));
  EXPECT_EQ(Num("K"), -5);
}

// Rows that end exactly where a 64 KB read-ahead block ends: the read after
// the last row finds the end of the file, not a failed read.
TEST_F(InstWords, KeywordRowSearchToABlockEnd) {
  std::vector<RowDef> rows(28, {1, "", "", 0});
  rows[0].extensions = 325;  // 1034 + 28 * 1909 + 325 * 34 = 65536
  rows[27] = {6, "", "LAST", 0};
  Sequence s = MakeSequence(rows, 0);
  ASSERT_EQ(s.b.size(), 65536u);
  std::string seq = dir_.file("a.seq");
  Save(s.b, seq);
  for (auto [keyword, row] : {std::pair{"last", 28}, {"none", 0}}) {
    Ok(Call("SeqFindKwd", {S(seq), S(keyword), N(1), S("k")}));
    EXPECT_EQ(Num("K"), row) << keyword;
  }
}

// Every field this library touches set, and a body after the header.
Bytes DataFile(std::int32_t runType, std::size_t size = 700) {
  Bytes b(size, 0x3C);
  b.u8(24, 4).text(25, "samp").u8(86, 4).text(87, "info").u8(148, 2).text(149, "op");
  return b.i32(248, runType).i16(256, 1).f32(312, 1.0f);
}

class DataFiles : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    CreateDirectoryA(run_.c_str(), nullptr);
    host_->vars().setString("_DataPath$", root_);
    host_->vars().setString("_DataFile$", "run1");
  }
  std::string at(const std::string& name) const { return run_ + "\\" + name; }
  std::string root_ = dir_.path() + "\\", run_ = root_ + "run1";
};

TEST_F(DataFiles, RunTypeOfTheSteps) {
  Save(DataFile(12), at("data03.icp"));
  Ok(Call("GetRuntypeNo", {S(run_), S("rt")}));
  EXPECT_EQ(Num("RT"), 12);
  DeleteFileA(at("data03.icp").c_str());
  Save(DataFile(99), at("data00.icp"));  // stands for no step
  Ok(Call("GetRuntypeNo", {S(""), S("rt")}));
  EXPECT_EQ(Num("RT"), -1);
  Err(Call("GetRuntypeNo", {Omit(), S("rt")}), "");
  // Written to every data0N.icp with a whole header, N 1 to 6, and no other file.
  for (const char* n : {"data01.icp", "data02.icp", "data06.icp", "data01.01", "data07.icp"}) Save(DataFile(5), at(n));
  std::vector<Snapshot> untouched = {Snap(at("data01.01")), Snap(at("data07.icp")), Snap(at("data00.icp")),
                                     Save(DataFile(5, 300), at("data04.icp"))};
  struct Way { Arg arg; double runType; std::int32_t stored; } ways[] = {
      {S(""), 2.5, 3}, {S(run_), 3e10, 2147483647}, {S("run1"), -3e10, INT32_MIN},
  };
  for (const Way& w : ways) {
    Ok(Call("SetRuntypeNo", {w.arg, N(w.runType)}));
    for (const char* n : {"data01.icp", "data02.icp", "data06.icp"})
      EXPECT_TRUE(Bytes::Load(at(n)) == DataFile(5).i32(248, w.stored)) << n << " " << w.runType;
  }
  for (const Snapshot& s : untouched) ExpectUnchanged(s);
  Err(Call("SetRuntypeNo", {S(""), Omit()}), "");
}

TEST_F(DataFiles, HeaderVariablesToEveryDataFileAndBack) {
  const char* written[] = {"data01.icp", "data01.01", "data01.00", "data05.42"};
  for (const char* n : written) Save(DataFile(5), at(n));
  std::vector<Snapshot> untouched = {Save(DataFile(5, 511), at("data01.02")), Save(DataFile(5), at("data01.100")),
                                     Save(DataFile(5), at("data07.icp"))};
  auto& v = host_->vars();
  const std::string name = A("試料 A");
  // _ALSBOTTLE shares the field with _REPLICATE and is written after it.
  for (auto [var, n] : {std::pair{"_RUNTYPE", 7.0}, {"_MULTIPLR", 1e-50}, {"_REPLICATE", 2.0}, {"_ALSBOTTLE", 15.0}})
    v.setNumber(var, n);
  v.setString("_OPERATOR$", std::string(40, 'o'));
  v.setString("_DATANAME$", name);
  Ok(Call("WriteHdr2Data", {S(""), Omit()}));  // _MISCINFO$ does not exist: its field stays
  Bytes want = DataFile(5).i32(248, 7).u8(148, 28).text(149, std::string(28, 'o')).f32(312, FLT_MIN).i16(256, 15);
  want.u8(24, static_cast<std::uint8_t>(name.size())).text(25, name);
  for (const char* n : written) EXPECT_TRUE(Bytes::Load(at(n)) == want) << n;
  for (const Snapshot& s : untouched) ExpectUnchanged(s);
  v.clear();
  Ok(Call("GetHdrFromData", {S(run_), Omit()}));
  for (auto [var, n] : {std::pair{"_RUNTYPE", 7.0}, {"_MULTIPLR", FLT_MIN}, {"_REPLICATE", 15.0}, {"_ALSBOTTLE", 15.0}})
    EXPECT_EQ(Num(var), n) << var;
  for (auto [var, text] : {std::pair{"_OPERATOR$", std::string(28, 'o')}, {"_DATANAME$", name}, {"_MISCINFO$", "info"}})
    EXPECT_EQ(StrVar(*host_, var), text) << var;
  v.clear();
  Ok(Call("GetHdrFromData", {S(run_), S("_miscinfo$")}));  // one variable, its name in any case
  EXPECT_EQ(StrVar(*host_, "_MISCINFO$"), "info");
  EXPECT_EQ(v.find("_RUNTYPE"), nullptr);
  std::string empty = root_ + "empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  Err(Call("GetHdrFromData", {S(empty), Omit()}), Msg(1002, empty.c_str()));
  Save(DataFile(5, 100), empty + "\\data02.icp");
  Err(Call("GetHdrFromData", {S(empty), Omit()}), Msg(1019));
}

TEST_F(InstWords, RunTypeParameters) {
  WorkstationKey station;
  station.Point(dir_.path());
  CreateDirectoryA(dir_.file("icpexe").c_str(), nullptr);
  WritePrivateProfileStringA("Blank", "Suffix", "B", dir_.file("icpexe\\runtype.ini").c_str());
  Ok(Call("GetRuntypePrm", {S("Blank"), S("Suffix"), S("p$")}));
  EXPECT_EQ(StrVar(*host_, "P$"), "B");
}

Bytes Method(std::int32_t mode) {
  Bytes b(124);
  b.i32(0, mode).f32(4, 0.5f).i32(8, 3).f32(12, 90.0f).i32(20, 3).i32(24, 200).i32(36, 1).i32(108, 4);
  b.f64(44, 1.5).f64(52, 2.5).f64(60, 1e6).f64(76, -1).f64(84, 8).i32(100, 0).i32(104, 1).i32(120, -9);
  return b.resize(200).append(Bytes(182).i32(4, 2)).append(Bytes(182).i32(4, 3));
}

TEST_F(InstWords, MethodHeaderItemsAndMode) {
  std::string meth = dir_.path(), run = dir_.file("run.icp"), none = dir_.file("none"), cut = dir_.file("cut");
  Save(Method(2), run);
  CreateDirectoryA(cut.c_str(), nullptr);
  Save(Bytes(123), cut + "\\run.icp");
  for (auto [keyword, values] : {std::pair{"ACQMODE", Table{2}}, {"oneprogtime", {0.5}}, {"TotalAcqTime", {90}},
                                 {"EVENTRECOFFSET", {200}}, {"ason", {1}}, {"SETELEM", {4}}, {"reserved3", {-9}},
                                 {"sprange", {1.5, 2.5, 1e6}}, {"CHRANGE", {-1, 8}}, {"ChLogFlag", {0, 1}}}) {
    Ok(Call("GETMETHHDRINF", {S(keyword), S(meth), S("m")}));
    if (values.size() == 1) EXPECT_EQ(Num("M"), values[0]) << keyword;
    else EXPECT_EQ(TableOf("M"), values) << keyword;
  }
  host_->vars().setString("_CurrentMeth$", meth);
  Ok(Call("GETMETHHDRINF", {S("NUMREPEAT"), Omit(), S("m")}));
  EXPECT_EQ(Num("M"), 3);
  struct Bad { const char* keyword; std::string dir, msg; } bad[] = {
      {"Mass", meth, Msg(1017, "MASS")}, {"ACQMODE", none, Msg(1002, (none + "\\run.icp").c_str())}};
  for (const Bad& c : bad) {
    host_->vars().setNumber("M", 5);
    Err(Call("GETMETHHDRINF", {S(c.keyword), S(c.dir), S("m")}), c.msg);
    EXPECT_EQ(Num("M"), -1) << c.dir;
  }
  // The acquisition mode alone: a method is a run.icp of mode 0 to 5.
  Run({{"GETDAACQMODE", {S(meth)}, 2}, {"GETDAACQMODE", {Omit()}, 2}});
  Save(Method(7), run);
  Run({{"GETDAACQMODE", {S(meth)}, -100, Msg(1036)}, {"GETDAACQMODE", {S(cut)}, -100, Msg(1036)}});
  host_->vars().setString("_CurrentMeth$", "");
  Err(Call("GETMETHHDRINF", {S("ACQMODE"), Omit(), S("m")}), Msg(1019));
  host_->vars().erase("_CurrentMeth$");
  Run({{"GETDAACQMODE", {Omit()}, -100, Msg(1036)}});
}

TEST_F(InstWords, ElementEntries) {
  // Three entries at byte 600: position 301 in 16-bit words counted from 1.
  Bytes d = DataFile(1, 600);
  d.i16(306, 3).i32(308, 301).i16(600, 26).text(603, "Mg").i16(622, 1).i16(624, 55).text(627, "Mn").i16(646, 2);
  d.i16(648, 26).text(651, "Mg2").i16(670, 0);
  struct Probe { double element, step; const char *item, *text; std::int16_t count = 3; std::int32_t pos = 301; };
  const Probe probes[] = {
      {26, 2.9, "DetMode", "1"}, {55.7, 2, "NAME", "Mn"}, {99, 2, "Name", ""}, {26, 2, "Mass", ""}, {26, 3, "Name", ""},
      // Corrupt tables give no entry, or only the entries really there.
      {55, 2, "Name", "Mn", 32767}, {55, 2, "Name", "", -3}, {55, 2, "Name", "", 3, 1 << 30},
  };
  for (const Probe& p : probes) {
    Snapshot before = Save(Bytes(d).i16(306, p.count).i32(308, p.pos), dir_.file("data02.icp"));
    Outcome o = Call("GetElemInfo", {N(p.element), S(dir_.path()), N(p.step), S(p.item)});
    Ok(o);
    EXPECT_EQ(o.result ? o.result->text : "<none>", p.text) << p.element << " " << p.item << " " << p.count;
    ExpectUnchanged(before);
  }
}

}  // namespace
}  // namespace mcrtest
