// Sequence files, data file headers, run types and method headers, through
// the words as a macro calls them, on fixture files laid down byte by byte.
#include <cfloat>

#include "instwords.h"

namespace mcrtest {
namespace {

// ---- sequence files -------------------------------------------------------

constexpr std::size_t kRow = 1909, kHdr = 1034;

struct RowDef {
  std::int32_t type;
  std::string path, keyword;
  std::int32_t extensions;
};

// The header, a gap, then the rows with their extension entries; rowAt[i]
// is where row i starts.
struct Sequence {
  Bytes b;
  std::vector<std::size_t> rowAt;
};

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
  ExpectUnchanged(before);

  for (auto [v, stored] : {std::pair{254.5, 255}, {255.0, 255}, {0.0, 0}}) {
    Ok(Call("SetSeqFileVer", {S(seq), N(v)}));
    EXPECT_TRUE(Bytes::Load(seq) == Bytes(kHdr).u8(0, static_cast<std::uint8_t>(stored))) << v;
  }
  before = Snap(seq);
  for (double v : {255.4, -0.1}) Err(Call("SetSeqFileVer", {S(seq), N(v)}), Msg(1011, A(Label(2)).c_str(), 0, 255));
  Err(Call("SetSeqFileVer", {S(seq), Omit()}), Msg(1008));
  ExpectUnchanged(before);
  Err(Call("SetSeqFileVer", {S(none), N(1)}), Msg(1016));
  EXPECT_EQ(GetFileAttributesA(none.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstWords, SequenceHeaderFieldsRead) {
  std::string seq = dir_.file("a.seq"), shortFile = dir_.file("short.seq"), none = dir_.file("none.seq");
  Snapshot before = Save(MakeSequence({{1, "", "", 0}}).b, seq), beforeShort = Save(Bytes(500, 0x41), shortFile);
  for (auto [field, value] : {std::pair{"Comment", "water run"}, {"OPERATOR", "sato"}, {"datapath", "D:\\data\\"},
                              {"PreSeq", "pre.mac"}, {"postSEQ", "post.mac"}}) {
    Ok(Call("GetSeqHdStr", {S(seq), S(field), S("v$")}));
    EXPECT_EQ(StrVar(*host_, "V$"), value) << field;
    Ok(Call("GetSeqHdStr", {S(shortFile), S(field), S("v$")}));
    EXPECT_EQ(StrVar(*host_, "V$"), "") << field;
  }
  for (auto [field, value] : {std::pair{"Version", 4.0}, {"flag", 32769.0}, {"Inject", 3.0}, {"RUNCOUNT", 9.0},
                              {"PrintSeq", 1.0}, {"MethPEnb", 5.0}}) {
    Ok(Call("GetSeqHdNo", {S(seq), S(field), S("n")}));
    EXPECT_EQ(Num("N"), value) << field;
  }
  // Unknown names and unopenable files leave a defined value behind...
  std::string f19(19, 'f'), f20(20, 'f');
  struct Bad { const char* word; std::string path, field, msg; } bad[] = {
      {"GetSeqHdStr", seq, "Version", Msg(1017, "Version")}, {"GetSeqHdNo", seq, "Comment", Msg(1017, "Comment")},
      {"GetSeqHdNo", seq, f19, Msg(1017, f19.c_str())}, {"GetSeqHdStr", none, "Comment", Msg(1016)},
      {"GetSeqHdNo", none, "Flag", Msg(1016)},
  };
  for (const Bad& c : bad) {
    host_->vars().setString("V$", "stale");
    Err(Call(c.word, {S(c.path), S(c.field), S("V$")}), c.msg);
    if (std::string(c.word) == "GetSeqHdStr") EXPECT_EQ(StrVar(*host_, "V$"), "") << c.field;
    else EXPECT_EQ(Num("V$"), -1) << c.field;
  }
  // ...argument faults do not.
  host_->vars().setString("V$", "stale");
  Err(Call("GetSeqHdStr", {S(seq), S(f20), S("V$")}), Msg(1017, f20.c_str()));
  Err(Call("GetSeqHdStr", {S(seq), Omit(), S("V$")}), Msg(1008));
  Err(Call("GetSeqHdNo", {S(seq), S("Flag"), Omit()}), Msg(1008));
  EXPECT_EQ(StrVar(*host_, "V$"), "stale");
  ExpectUnchanged(before);
  ExpectUnchanged(beforeShort);
}

TEST_F(InstWords, SequenceHeaderFieldsWritten) {
  std::string seq = dir_.file("a.seq"), shortFile = dir_.file("short.seq");
  Sequence s = MakeSequence({{1, "", "", 2}});
  Save(s.b, seq);
  Ok(Call("SetSeqHdStr", {S(seq), S("comment"), S(std::string(50, 'c'))}));
  Ok(Call("SetSeqHdStr", {S(seq), S("Operator"), S("ito")}));  // shorter: old bytes stay after the zero
  Bytes want = s.b;
  want.text(1, std::string(45, 'c')).text(47, "ito");
  EXPECT_TRUE(Bytes::Load(seq) == want);

  struct Field { const char* name; double value; std::size_t at; int width; std::uint32_t stored; } fields[] = {
      {"Inject", 70000, 606, 4, 4464}, {"Version", 300, 0, 1, 44}, {"RunCount", -5, 610, 4, 0},
      {"runcount", 5e12, 610, 4, 4294967295u}, {"Flag", 65543, 604, 2, 7}, {"PRINTSEQ", 2.5, 630, 4, 3},
  };
  for (const Field& f : fields) {
    Ok(Call("SetSeqHdNo", {S(seq), S(f.name), N(f.value)}));
    for (int i = 0; i < f.width; ++i) want.u8(f.at + i, static_cast<std::uint8_t>(f.stored >> (8 * i)));
    EXPECT_TRUE(Bytes::Load(seq) == want) << f.name;
  }

  // Refused names and a file held by another program stay as they were.
  Snapshot before = Snap(seq);
  Err(Call("SetSeqHdStr", {S(seq), S("Flag"), S("x")}), Msg(1017, "Flag"));
  Err(Call("SetSeqHdNo", {S(seq), S("Comment"), N(1)}), Msg(1017, "Comment"));
  Err(Call("SetSeqHdStr", {S(seq), S(std::string(20, 'f')), S("x")}), Msg(1017, std::string(20, 'f').c_str()));
  Err(Call("SetSeqHdStr", {S(seq), S("Comment"), Omit()}), Msg(1008));
  Err(Call("SetSeqHdNo", {S(seq), S("Flag"), Omit()}), Msg(1008));
  HANDLE lock = CreateFileA(seq.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Err(Call("SetSeqHdStr", {S(seq), S("Comment"), S("x")}), Msg(1016));
  Err(Call("SetSeqHdNo", {S(seq), S("Flag"), N(1)}), Msg(1016));
  Err(Call("SetSeqFileVer", {S(seq), N(1)}), Msg(1016));
  Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
  CloseHandle(lock);
  ExpectUnchanged(before);

  // A file shorter than the header gets a header that holds only the new field.
  Save(Bytes(500, 0x41), shortFile);
  Ok(Call("SetSeqHdStr", {S(shortFile), S("PostSeq"), S("end.mac")}));
  EXPECT_TRUE(Bytes::Load(shortFile) == Bytes(kHdr).text(471, "end.mac"));
}

TEST_F(InstWords, MethodPathOfSequenceRows) {
  const std::vector<RowDef> rows = {
      {1, "C:\\old\\one\\", "", 2}, {6, "C:\\kw\\", "QC", 0}, {1, "", "", -3}, {2, "C:\\x\\", "", 1}};
  std::string seq = dir_.file("a.seq");
  struct Way { Arg path, row; std::vector<std::size_t> changed; std::string stored; int enabled; } ways[] = {
      {S("E:\\meth\\m1"), Omit(), {0, 2, 3}, "E:\\meth\\m1\\", 1},
      {S("E:\\meth\\m1\\"), N(351), {0, 2, 3}, "E:\\meth\\m1\\", 1},
      {S("E:\\m"), N(3), {2}, "E:\\m\\", 1},
      {S("E:\\m"), N(2), {}, "", 5},   // a keyword row: nothing changes
      {S("E:\\m"), N(7), {}, "", 5},   // no such row
      {S(""), N(3), {0, 2, 3}, "", 0},  // an empty path ignores the row
      {Omit(), Omit(), {0, 2, 3}, "", 0},
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

  // Rows that end early: the file is refused and left exactly as it was.
  std::vector<Sequence> corrupt = {MakeSequence(rows, 40, 9), MakeSequence(rows), MakeSequence(rows),
                                   MakeSequence({{1, "", "", 0}, {1, "", "", 0}})};
  corrupt[1].b.resize(kHdr + 40 + kRow + 2 * 34 + 1000);           // second row cut short
  corrupt[2].b.i32(618, 1 << 30);                                  // first row past the end
  corrupt[3].b.i32(corrupt[3].rowAt[0] + 1625, INT32_MAX);         // extensions past the end
  for (const Sequence& s : corrupt) {
    Snapshot before = Save(s.b, seq);
    Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
    ExpectUnchanged(before);
  }
  // Stopping at the row asked for never reads the damaged rest.
  Save(corrupt[0].b, seq);
  Ok(Call("SeqRpcMPath", {S(seq), S("E:\\m"), N(1)}));
  EXPECT_TRUE(Bytes::Load(seq) == Bytes(corrupt[0].b).text(corrupt[0].rowAt[0] + 277, "E:\\m\\").u32(634, 1));
  // A negative count holds no row.
  Snapshot before = Save(MakeSequence(rows, 40, -1).b, seq);
  Ok(Call("SeqRpcMPath", {S(seq), S("E:\\m")}));
  ExpectUnchanged(before);
  Save(Bytes(kHdr - 1), seq);
  Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
  Err(Call("SeqRpcMPath", {Omit(), S("E:\\m")}), Msg(1008));
}

TEST_F(InstWords, KeywordRowSearch) {
  // The rows follow the header directly, whatever the header says.
  Sequence s = MakeSequence({{6, "", "CALIB", 0}, {1, "", "QC", 2}, {6, "", "calib", 1}, {6, "", "Qc", 0}}, 0, 0);
  s.b.i32(618, 99999);
  std::string seq = dir_.file("a.seq"), bare = dir_.file("bare.seq"), cut = dir_.file("cut.seq"),
              none = dir_.file("none.seq");
  Snapshot before = Save(s.b, seq);
  Save(Bytes(kHdr), bare);
  Save(Bytes(kHdr - 1), cut);
  struct Find { const char* keyword; double first, row; } finds[] = {
      {"Calib", 1, 1}, {"calib", 2, 3}, {"QC", 1, 4}, {"none", 1, 0}, {"CALIB", 4, 0}, {"calib", 0.5, 1},
      {"qc", 1e12, 0},
  };
  for (const Find& f : finds) {
    host_->vars().setNumber("K", -5);
    Ok(Call("SeqFindKwd", {S(seq), S(f.keyword), N(f.first), S("k")}));
    EXPECT_EQ(Num("K"), f.row) << f.keyword << " from " << f.first;
  }
  ExpectUnchanged(before);
  for (auto [path, msg] : {std::pair{bare, Msg(1019)}, {cut, Msg(1019)}, {none, Msg(1002, none.c_str())}}) {
    host_->vars().setNumber("K", -5);
    Err(Call("SeqFindKwd", {S(path), S("QC"), N(1), S("k")}), msg);
    EXPECT_EQ(Num("K"), -1) << path;
  }
  host_->vars().setNumber("K", -5);
  for (double first : {0.4, -1e12})
    Err(Call("SeqFindKwd", {S(seq), S("QC"), N(first), S("k")}), Msg(1010, A(Label(3)).c_str(), 1));
  Err(Call("SeqFindKwd", {S(seq), Omit(), N(1), S("k")}), Msg(1008));
  Err(Call("SeqFindKwd", {S(seq), S("QC"), N(1), Omit()}), Msg(1008));
  EXPECT_EQ(Num("K"), -5);
}

TEST_F(InstWords, SequencePathLimit) {
  // The length of the path is checked before any other argument.
  for (const char* word : {"GetSeqFileVer", "SetSeqFileVer", "GetSeqHdStr", "GetSeqHdNo", "SetSeqHdStr", "SetSeqHdNo",
                           "SeqRpcMPath", "SeqFindKwd"}) {
    SCOPED_TRACE(word);
    Err(Call(word, {S(std::string(256, 'p'))}), Msg(1007, 255));
  }
  EXPECT_EQ(Call("GetSeqFileVer", {S(std::string(255, 'p'))}).result->number, -1);
}

// ---- data file headers ----------------------------------------------------

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

TEST_F(DataFiles, RunTypeReadFromTheFirstDataFile) {
  Snapshot before = Save(DataFile(12), at("data03.icp"));
  Save(DataFile(99), at("data00.icp"));
  Save(DataFile(97), at("data0a.icp"));
  Save(DataFile(98), at("data03.01"));
  for (Arg arg : {S(""), S(run_)}) {
    host_->vars().setNumber("RT", 0);
    Ok(Call("GetRuntypeNo", {arg, S("rt")}));
    EXPECT_EQ(Num("RT"), 12);
  }
  ExpectUnchanged(before);
  DeleteFileA(at("data03.icp").c_str());
  Ok(Call("GetRuntypeNo", {S(""), S("rt")}));  // data00.icp and data0a.icp stand for no step
  EXPECT_EQ(Num("RT"), -1);
  Save(DataFile(12, 511), at("data02.icp"));
  Ok(Call("GetRuntypeNo", {S(run_), S("rt")}));
  EXPECT_EQ(Num("RT"), -1);
  Outcome o = Call("GetRuntypeNo", {Omit(), S("rt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.raised.empty());
}

TEST_F(DataFiles, RunTypeWrittenToEveryStep) {
  for (const char* n : {"data01.icp", "data02.icp", "data06.icp", "data01.01", "data07.icp"}) Save(DataFile(5), at(n));
  std::vector<Snapshot> untouched = {Snap(at("data01.01")), Snap(at("data07.icp")),
                                     Save(DataFile(5, 300), at("data04.icp"))};
  struct Way { Arg arg; double runType; std::int32_t stored; } ways[] = {
      {S(""), 2.5, 3}, {S(run_), 3e10, 2147483647}, {S("run1"), -3e10, INT32_MIN}, {S("run1"), -2.5, -3},
  };
  for (const Way& w : ways) {
    Ok(Call("SetRuntypeNo", {w.arg, N(w.runType)}));
    for (const char* n : {"data01.icp", "data02.icp", "data06.icp"})
      EXPECT_TRUE(Bytes::Load(at(n)) == DataFile(5).i32(248, w.stored)) << n << " " << w.runType;
  }
  for (const Snapshot& s : untouched) ExpectUnchanged(s);

  // A step file held by another program ends the command there, quietly.
  HANDLE lock = CreateFileA(at("data02.icp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Ok(Call("SetRuntypeNo", {S(""), N(8)}));
  CloseHandle(lock);
  EXPECT_EQ(Bytes::Load(at("data01.icp")).getI32(248), 8);
  EXPECT_EQ(Bytes::Load(at("data06.icp")).getI32(248), -3);
  Err(Call("SetRuntypeNo", {Omit(), N(1)}), Msg(1023));
  Outcome o = Call("SetRuntypeNo", {S(""), Omit()});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.raised.empty());
}

TEST_F(DataFiles, HeaderVariablesToEveryDataFileAndBack) {
  const char* written[] = {"data01.icp", "data01.01", "data01.99", "data01.00", "data05.icp", "data05.42"};
  for (const char* n : written) Save(DataFile(5), at(n));
  std::vector<Snapshot> untouched = {Save(DataFile(5, 511), at("data01.02")), Save(DataFile(5), at("data01.100"))};
  auto& v = host_->vars();
  const std::string name = A("試料 A");
  v.setNumber("_RUNTYPE", 7);
  v.setString("_OPERATOR$", std::string(40, 'o'));
  v.setNumber("_MULTIPLR", 1e-50);
  v.setString("_DATANAME$", name);
  v.setNumber("_REPLICATE", 2);
  v.setNumber("_ALSBOTTLE", 15);  // shares the field with _REPLICATE and is written after it
  Ok(Call("WriteHdr2Data", {S(""), Omit()}));  // _MISCINFO$ does not exist: its field stays
  Bytes want = DataFile(5).i32(248, 7).u8(148, 28).text(149, std::string(28, 'o')).f32(312, FLT_MIN).i16(256, 15);
  want.u8(24, static_cast<std::uint8_t>(name.size())).text(25, name);
  for (const char* n : written) EXPECT_TRUE(Bytes::Load(at(n)) == want) << n;
  for (const Snapshot& s : untouched) ExpectUnchanged(s);

  // One variable by name in any case; the data directory as a name under the root.
  v.setNumber("_MULTIPLR", 1e300);
  v.setNumber("_RUNTYPE", 1);
  Ok(Call("WriteHdr2Data", {S("run1"), S("_multiplr")}));
  EXPECT_TRUE(Bytes::Load(at("data05.42")) == want.f32(312, FLT_MAX));

  Snapshot before = Snap(at("data01.icp"));
  v.clear();
  v.setString("_DataPath$", root_);
  Ok(Call("GetHdrFromData", {S(run_), Omit()}));
  for (auto [var, n] : {std::pair{"_RUNTYPE", 7.0}, {"_MULTIPLR", FLT_MAX}, {"_REPLICATE", 15.0}, {"_ALSBOTTLE", 15.0}})
    EXPECT_EQ(Num(var), n) << var;
  for (auto [var, text] : {std::pair{"_OPERATOR$", std::string(28, 'o')}, {"_DATANAME$", name}, {"_MISCINFO$", "info"}})
    EXPECT_EQ(StrVar(*host_, var), text) << var;
  v.erase("_RUNTYPE");
  v.erase("_MISCINFO$");
  Ok(Call("GetHdrFromData", {S(run_), S("_miscinfo$")}));
  EXPECT_EQ(StrVar(*host_, "_MISCINFO$"), "info");
  EXPECT_EQ(v.find("_RUNTYPE"), nullptr);
  ExpectUnchanged(before);

  for (const char* word : {"WriteHdr2Data", "GetHdrFromData"}) {
    Err(Call(word, {S(run_), S("EOV")}), Msg(1025));
    Err(Call(word, {S(run_), S("_OPERATOR")}), Msg(1025));
    Err(Call(word, {Omit(), Omit()}), Msg(1023));
  }
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
  std::string ini = dir_.file("icpexe\\runtype.ini");
  WritePrivateProfileStringA("Blank", "Suffix", "B", ini.c_str());
  WritePrivateProfileStringA("Blank", "Long", std::string(300, 'l').c_str(), ini.c_str());
  for (auto [key, value] : {std::pair{"Suffix", std::string("B")}, {"Long", std::string(255, 'l')}, {"None", ""}}) {
    Ok(Call("GetRuntypePrm", {S("Blank"), S(key), S("p$")}));
    EXPECT_EQ(StrVar(*host_, "P$"), value) << key;
  }
  station.Point(std::nullopt);  // then the file is \icpexe\runtype.ini of the current drive
  Ok(Call("GetRuntypePrm", {S("Blank"), S("Suffix"), S("p$")}));
  EXPECT_EQ(StrVar(*host_, "P$"), "");
  Err(Call("GetRuntypePrm", {S("Blank"), Omit(), S("p$")}), Msg(1008));
}

// ---- method headers and element tables -------------------------------------

Bytes Method(std::int32_t mode) {
  Bytes b(124);
  b.i32(0, mode).f32(4, 0.5f).i32(8, 3).f32(12, 90.0f).i32(20, 3).i32(24, 200).i32(36, 1).i32(108, 4);
  b.f64(44, 1.5).f64(52, 2.5).f64(60, 1e6).f64(76, -1).f64(84, 8).i32(100, 0).i32(104, 1).i32(120, -9);
  return b.resize(200).append(Bytes(182).i32(4, 2)).append(Bytes(182).i32(4, 3));
}

TEST_F(InstWords, MethodHeaderItemsAndMode) {
  std::string meth = dir_.path(), run = dir_.file("run.icp"), none = dir_.file("none"), cut = dir_.file("cut");
  Snapshot before = Save(Method(2), run);
  CreateDirectoryA(cut.c_str(), nullptr);
  Save(Bytes(123), cut + "\\run.icp");
  for (auto [keyword, value] : {std::pair{"ACQMODE", 2.0}, {"oneprogtime", 0.5}, {"TotalAcqTime", 90.0},
                                {"EVENTRECOFFSET", 200.0}, {"ason", 1.0}, {"SETELEM", 4.0}, {"reserved3", -9.0}}) {
    Ok(Call("GETMETHHDRINF", {S(keyword), S(meth), S("m")}));
    EXPECT_EQ(Num("M"), value) << keyword;
  }
  for (auto [keyword, values] :
       {std::pair{"sprange", Table{1.5, 2.5, 1e6}}, {"CHRANGE", {-1, 8}}, {"ChLogFlag", {0, 1}}}) {
    Ok(Call("GETMETHHDRINF", {S(keyword), S(meth), S("m")}));
    EXPECT_EQ(TableOf("M"), values) << keyword;
  }
  host_->vars().setString("_CurrentMeth$", meth);
  Ok(Call("GETMETHHDRINF", {S("NUMREPEAT"), Omit(), S("m")}));
  EXPECT_EQ(Num("M"), 3);
  ExpectUnchanged(before);

  struct Bad { const char* keyword; std::string dir, msg; } bad[] = {
      {"Mass", meth, Msg(1017, "MASS")}, {"ACQMODE", none, Msg(1002, (none + "\\run.icp").c_str())},
      {"ACQMODE", cut, Msg(1019)},
  };
  for (const Bad& c : bad) {
    host_->vars().setNumber("M", 5);
    Err(Call("GETMETHHDRINF", {S(c.keyword), S(c.dir), S("m")}), c.msg);
    EXPECT_EQ(Num("M"), -1) << c.dir;
  }
  host_->vars().setString("_CurrentMeth$", "");
  Err(Call("GETMETHHDRINF", {S("ACQMODE"), Omit(), S("m")}), Msg(1019));
  Err(Call("GETMETHHDRINF", {Omit(), S(meth), S("m")}), Msg(1008));
  Err(Call("GETMETHHDRINF", {S("ACQMODE"), S(meth), Omit()}), Msg(1008));

  // The acquisition mode alone: a method is a run.icp of mode 0 to 5.
  host_->vars().setString("_CurrentMeth$", meth);
  for (std::int32_t mode : {0, 1, 2, 3, 4, 5}) {
    Save(Method(mode), run);
    Run({{"GETDAACQMODE", {mode == 5 ? Omit() : S(meth)}, static_cast<double>(mode)}});
  }
  Save(Method(7), run);
  Run({{"GETDAACQMODE", {S(meth)}, -100, Msg(1036)}, {"GETDAACQMODE", {S(cut)}, -100, Msg(1036)}});
  host_->vars().erase("_CurrentMeth$");
  Run({{"GETDAACQMODE", {Omit()}, -100, Msg(1036)}});
}

TEST_F(InstWords, ElementEntries) {
  // Three entries at byte 600: position 301 in 16-bit words counted from 1.
  Bytes d = DataFile(1, 600);
  d.i16(306, 3).i32(308, 301).i16(600, 26).text(603, "Mg").i16(622, 1).i16(624, 55).text(627, "Mn").i16(646, 2);
  d.i16(648, 26).text(651, "Mg2").i16(670, 0);
  std::string file = dir_.file("data02.icp");
  Snapshot before = Save(d, file);
  auto entry = [&](double element, double step, const char* item) {
    Outcome o = Call("GetElemInfo", {N(element), S(dir_.path()), N(step), S(item)});
    Ok(o);
    return o.result ? o.result->text : "<none>";
  };
  struct Probe { double element, step; const char* item; const char* text; } probes[] = {
      {26, 2, "DetMode", "1"}, {26, 2.9, "name", "Mg"}, {55.7, 2, "NAME", "Mn"}, {55, 2, "detmode", "2"},
      {99, 2, "Name", ""}, {26, 2, "Mass", ""}, {26, 3, "Name", ""}, {-26, 2, "Name", ""},
  };
  for (const Probe& p : probes) EXPECT_EQ(entry(p.element, p.step, p.item), p.text) << p.element << " " << p.item;
  ExpectUnchanged(before);
  Err(Call("GetElemInfo", {N(26), S(dir_.path()), Omit(), S("Name")}), Msg(1008));

  // Corrupt tables give no entry, or only the entries really there.
  struct Corrupt { std::int16_t count; std::int32_t pos; const char* text; } corrupt[] = {
      {32767, 301, "Mn"}, {-3, 301, ""}, {0, 301, ""}, {3, 0, ""}, {3, -7, ""}, {3, 1 << 30, ""}, {3, INT32_MAX, ""},
  };
  for (const Corrupt& c : corrupt) {
    Save(Bytes(d).i16(306, c.count).i32(308, c.pos), file);
    EXPECT_EQ(entry(55, 2, "Name"), c.text) << c.count << " at " << c.pos;
  }
}

}  // namespace
}  // namespace mcrtest
