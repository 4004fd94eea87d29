// The instrument-file words against the same bytes read raw. A baseline
// opens the file, reads what the word needs through a 1 MB buffer
// (RawRead), decodes the same records with the layouts' own decoders and
// puts the answer straight into the host's variables, so that the ratio
// shows what the word's way of reading and its host operations add.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>

#include "host.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/lebytes.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"
#include "qcfixtures.h"
#include "bridge/sjistext.h"

namespace mcrbench {
namespace {

using mcrtest::Bytes;
namespace fx = mcrtest::fx;

// Reading words: no worse than the raw read of the same bytes.
constexpr double kFileGoal = 1.3;
constexpr int kMasses = 260;
constexpr std::size_t kSeqFirstRow = 1034, kSeqRow = 1909, kSeqExtension = 34;

std::string At(const std::string& name) { return Scratch() + "\\" + name; }

mcrhost::VarStore& Vars() { return SharedHost().vars(); }

// --- sequences ----------------------------------------------------------------

// rows rows of one extension entry each, the last one the keyword row "LAST".
std::string SequenceFile(int rows) {
  std::string path = At("rows" + std::to_string(rows) + ".seq");
  Bytes b(kSeqFirstRow, 0x20);
  b.u8(0, 4).text(1, "bench").text(77, "D:\\data\\").i32(614, rows).i32(618, kSeqFirstRow);
  for (int r = 1; r <= rows; ++r) {
    bool keyword = r == rows || r % 50 == 0;
    Bytes row(kSeqRow, 0x41);
    row.i32(4, keyword ? 6 : 1).text(277, "C:\\m\\").text(1035, r == rows ? "LAST" : "QC").i32(1625, 1);
    b.append(row).append(Bytes(kSeqExtension, 0xE5));
  }
  b.save(path);
  return path;
}

// Bytes already in memory, handed out as RawStream hands them out.
struct MemoryStream {
  RawBytes bytes;
  std::size_t at = 0;
  const std::uint8_t* Next(std::size_t n) {
    if (bytes.size - at < n) return nullptr;
    at += n;
    return bytes.data + at - n;
  }
};

// The rows of a sequence: visit(row number, row bytes, file offset) until
// it answers false.
template <typename Stream, typename Visit>
void WalkRows(Stream& file, Visit visit) {
  if (!file.Next(kSeqFirstRow)) return;
  std::size_t at = kSeqFirstRow;
  for (int k = 1;; ++k) {
    const std::uint8_t* row = file.Next(kSeqRow);
    if (!row || !visit(k, row, at)) return;
    std::size_t extensions = static_cast<std::size_t>(mcr::SeqExtensionBytes(row));
    if (extensions && !file.Next(extensions)) return;
    at += kSeqRow + extensions;
  }
}

int FindKeyword(const std::string& path, const char* keyword) {
  int found = 0;
  RawStream file(path);
  WalkRows(file, [&](int k, const std::uint8_t* row, std::size_t) {
    if (mcr::SeqRowType(row) == mcr::kSeqKeywordRowType && mcr::EqualNoCase(mcr::SeqRowKeyword(row), keyword))
      found = k;
    return found == 0;
  });
  return found;
}

Figure KeywordSearch(int rows) {
  auto path = std::make_shared<std::string>();
  return {"SeqFindKwd (" + std::to_string(rows) + " rows)", [=] { *path = SequenceFile(rows); },
          [=] { Call("SeqFindKwd", {S(*path), S("last"), N(1), S("K")}); },
          [=] { Vars().setNumber("K", FindKeyword(*path, "last")); }, kFileGoal};
}

const Registrar kKeyword100(KeywordSearch(100));
const Registrar kKeyword350(KeywordSearch(350));
const Registrar kKeyword1000(KeywordSearch(1000));
const Registrar kKeyword10000(KeywordSearch(10000));

std::string g_seq350;

const Registrar kSeqHeader({"GetSeqHdStr (350 rows)", [] { g_seq350 = SequenceFile(350); },
                            [] { Call("GetSeqHdStr", {S(g_seq350), S("DataPath"), S("P$")}); },
                            [] {
                              RawBytes b = RawRead(g_seq350, kSeqFirstRow);
                              Vars().setString("P$", mcr::SeqText(b.data, *mcr::FindSeqTextField("DataPath")));
                            },
                            kFileGoal});

// Every row but the keyword rows rewritten with the row's own write pattern
// (a seek and a write of the row, then the header), from the whole file read
// into memory first: a sequence that breaks off is left as it was.
const Registrar kMethodPath(
    {"SeqRpcMPath (350 rows)", [] { g_seq350 = SequenceFile(350); },
     [] { Call("SeqRpcMPath", {S(g_seq350), S("E:\\methods\\a.m")}); },
     [] {
       HANDLE h = CreateFileA(g_seq350.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
       MemoryStream file{RawRead(h)};
       std::vector<std::size_t> targets;
       WalkRows(file, [&](int, const std::uint8_t* row, std::size_t at) {
         if (mcr::SeqRowType(row) != mcr::kSeqKeywordRowType) targets.push_back(at);
         return true;
       });
       auto write = [&](std::size_t offset, std::uint8_t* bytes, DWORD size) {
         LARGE_INTEGER to;
         to.QuadPart = static_cast<LONGLONG>(offset);
         DWORD done;
         SetFilePointerEx(h, to, nullptr, FILE_BEGIN);
         WriteFile(h, bytes, size, &done, nullptr);
       };
       std::uint8_t row[kSeqRow];
       for (std::size_t offset : targets) {
         std::memcpy(row, file.bytes.data + offset, sizeof row);
         mcr::PutSeqRowMethodPath(row, "E:\\methods\\a.m\\");
         write(offset, row, sizeof row);
       }
       std::uint8_t header[kSeqFirstRow];
       std::memcpy(header, file.bytes.data, sizeof header);
       mcr::PutSeqMethodEnabled(header, true);
       write(0, header, sizeof header);
       CloseHandle(h);
     },
     kFileGoal});

// --- data files and the method ------------------------------------------------

std::string g_dataDir, g_methodDir;

// A data directory of six steps, each with a header and a table of 260
// elements; a method with an event list of run groups and the mass-list
// files of step 1, every list 260 masses long.
void LayOutMethodAndData() {
  if (!g_methodDir.empty()) return;
  g_dataDir = At("run1.d");
  g_methodDir = At("bench.m");
  CreateDirectoryA(g_dataDir.c_str(), nullptr);
  CreateDirectoryA(g_methodDir.c_str(), nullptr);
  for (int step = 1; step <= 6; ++step) {
    Bytes d(512, 0x3C);
    d.u8(24, 6).text(25, "sample").u8(86, 4).text(87, "info").u8(148, 2).text(149, "op");
    d.i32(248, 3).i16(256, 1).f32(312, 1.5f).i16(306, kMasses).i32(308, 512 / 2 + 1);
    for (int m = 1; m <= kMasses; ++m)
      d.append(Bytes(24, 0).i16(0, static_cast<std::int16_t>(m)).text(3, "E" + std::to_string(m)).i16(22, 2));
    d.append(Bytes(200000, 0x11));  // the measured data after the tables
    d.save(g_dataDir + "\\data0" + std::to_string(step) + ".icp");
  }
  std::vector<fx::CalElement> calib;
  std::vector<fx::Element> elements;
  std::vector<fx::QcCheck> checks;
  for (int m = 1; m <= kMasses; ++m) {
    calib.push_back({m, "E" + std::to_string(m), m % 3 ? "" : "NOQ", m % 7 == 0, 2});
    elements.push_back({m, "E" + std::to_string(m), static_cast<std::int16_t>(m % 7 == 0)});
    checks.push_back({static_cast<std::int16_t>(m), static_cast<std::int16_t>(m % 2)});
  }
  fx::Calibration(calib).save(g_methodDir + "\\calib.01");
  fx::QcDatabase(elements, {{1, checks}, {2, checks}, {3, checks}}).save(g_methodDir + "\\qcdb.01");
  fx::TuneCriteria(elements).save(g_methodDir + "\\qctune.01");
  fx::RunGroup(elements).save(g_methodDir + "\\rungroup.01");
  fx::Method(2, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}).save(g_methodDir + "\\run.icp");
}

// A figure on the method and the data directory.
Figure OnMethod(std::string name, std::function<void()> product, std::function<void()> baseline) {
  return {std::move(name), LayOutMethodAndData, std::move(product), std::move(baseline), kFileGoal};
}

void RawDataHeader() {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((g_dataDir + "\\data0?.icp").c_str(), &found);
  FindClose(find);
  RawBytes b = RawRead(g_dataDir + "\\" + found.cFileName, mcr::kDataHeaderSize);
  for (int v = 0; v < mcr::kHeaderVarCount; ++v) {
    auto var = static_cast<mcr::HeaderVar>(v);
    mcr::HeaderValue value = mcr::GetHeaderVar(b.data, var);
    if (mcr::IsStringVar(var))
      Vars().setString(mcr::HeaderVarName(var), value.text);
    else
      Vars().setNumber(mcr::HeaderVarName(var), value.number);
  }
}

void RawElement() {
  RawBytes b = RawRead(g_dataDir + "\\data01.icp", mcr::kDataHeaderSize + mcr::kElementEntrySize * kMasses);
  auto found = mcr::FindElement(b.data + mcr::ElementTableStart(b.data),
                                static_cast<std::size_t>(mcr::ElementCount(b.data)), kMasses);
  Sink(found->name.size());  // a function's result: no variable
}

void RawMethodItem() {
  RawBytes b = RawRead(g_methodDir + "\\run.icp", mcr::kMethodHeaderSize);
  double values[mcr::kMethodItemMaxValues];
  mcr::MethodItemValues(b.data, *mcr::FindMethodItem("ACQMODE"), values);
  Vars().setNumber("A", values[0]);
}

const Registrar kDataHeader(OnMethod("GetHdrFromData (7 variables)",
                                     [] { Call("GetHdrFromData", {S(g_dataDir), S("")}); }, RawDataHeader));
const Registrar kElement(OnMethod("GetElemInfo (260 elements)",
                                  [] { Call("GetElemInfo", {N(kMasses), S(g_dataDir), N(1), S("Name")}); },
                                  RawElement));
const Registrar kMethodHeader(OnMethod("GETMETHHDRINF (one item)",
                                       [] { Call("GETMETHHDRINF", {S("ACQMODE"), S(g_methodDir), S("A")}); },
                                       RawMethodItem));

// --- mass lists, QC and run groups --------------------------------------------

// The numbers of a list, as the word hands them to the host.
std::vector<double> g_list;

void StoreList() {
  std::uint32_t table = Vars().newTable(g_list.size());
  std::copy(g_list.begin(), g_list.end(), Vars().table(table)->begin());
  Vars().setTable("T", table);
}

// The QC and tune-criteria element lists lie in the files' first bytes.
constexpr std::size_t kElementListEnd = 40 + mcr::kQcElementSize * kMasses + 6 + mcr::kQcInfoSize;

void RawElementList(const char* file) {
  g_list.clear();
  RawBytes b = RawRead(g_methodDir + file, kElementListEnd);
  mcr::QcHeader h = mcr::DecodeQcHeader(b.data);
  mcr::QcInfo info = mcr::DecodeQcInfo(b.data + h.infoOffset);
  for (std::size_t i = 0; i < static_cast<std::size_t>(info.elements); ++i)
    g_list.push_back(mcr::DecodeQcElement(b.data + h.elementOffset + mcr::kQcElementSize * i).mass);
  StoreList();
}

// visit(check) for the checks of group 3 until it answers false.
template <typename Visit>
void ForEachCheckOfGroup3(const RawBytes& b, Visit visit) {
  mcr::QcHeader h = mcr::DecodeQcHeader(b.data);
  mcr::QcInfo info = mcr::DecodeQcInfo(b.data + h.infoOffset);
  std::size_t at = h.groupOffset;
  for (int g = 0; g < info.groups; ++g) {
    mcr::QcGroupHeader group = mcr::DecodeQcGroupHeader(b.data + at);
    at += mcr::kQcGroupHeaderSize;
    for (int i = 0; group.number == 3 && i < group.entries; ++i, at += mcr::kQcCheckSize)
      if (!visit(mcr::DecodeQcCheck(b.data + at))) return;
    if (group.number == 3) return;
    at += mcr::kQcCheckSize * static_cast<std::size_t>(group.entries);
  }
}

void RawCheckList() {
  g_list.clear();
  ForEachCheckOfGroup3(RawRead(g_methodDir + "\\qcdb.01"), [](const mcr::QcCheck& c) {
    if (c.checkOff != 1) g_list.push_back(c.mass);
    return true;
  });
  StoreList();
}

void RawCheck() {
  RawBytes b = RawRead(g_methodDir + "\\qcdb.01");
  std::int16_t version = mcr::DecodeQcInfo(b.data + mcr::DecodeQcHeader(b.data).infoOffset).version;
  ForEachCheckOfGroup3(b, [&](const mcr::QcCheck& c) {
    if (c.mass != kMasses) return true;
    std::array<double, mcr::kQcCheckItems> items = mcr::QcCheckTable(c, version);
    g_list.assign(items.begin(), items.end());
    StoreList();
    return false;
  });
}

void RawCalibrationList() {
  g_list.clear();
  RawBytes b = RawRead(g_methodDir + "\\calib.01");
  mcr::CalibHeader h = mcr::DecodeCalibHeader(b.data);
  std::size_t at = h.firstRecordOffset;
  for (int i = 0, n = mcr::le::I32(b.data, h.countOffset); i < n; ++i) {
    mcr::CalibRecord r = mcr::DecodeCalibRecord(b.data + at);
    g_list.push_back(r.mass);
    at += mcr::kCalibRecordSize + mcr::kCalibPointSize * static_cast<std::size_t>(r.points);
  }
}

// Whether every mass of the run group is in the calibration.
void RawComparison() {
  std::vector<std::int32_t> run;
  RawBytes r = RawRead(g_methodDir + "\\rungroup.01");
  for (std::size_t i = 0, n = static_cast<std::size_t>(mcr::le::I32(r.data, 104)); i < n; ++i)
    run.push_back(mcr::DecodeMassRecord(r.data + 436 + mcr::kMassRecordSize * i).mass);
  RawCalibrationList();
  std::size_t missing = 0;
  for (std::int32_t m : run) missing += std::find(g_list.begin(), g_list.end(), m) == g_list.end();
  Sink(missing);
}

const Registrar kCalList(OnMethod("GetCalMasInf MASS (260 records)",
                                  [] { Call("GetCalMasInf", {N(1), S("MASS"), S(g_methodDir), S("T")}); },
                                  [] {
                                    RawCalibrationList();
                                    StoreList();
                                  }));
const Registrar kQcList(OnMethod("GetQDBMasInf MASS (260 elements)",
                                 [] { Call("GetQDBMasInf", {N(1), S("MASS"), S(g_methodDir), S("T")}); },
                                 [] { RawElementList("\\qcdb.01"); }));
const Registrar kQcGroupList(OnMethod("GetQDBMasInf ON (group 3 of 3)",
                                      [] { Call("GetQDBMasInf", {N(1), S("ON"), S(g_methodDir), S("T"), N(3)}); },
                                      RawCheckList));
const Registrar kTuneList(OnMethod("GetTNCMasInf MASS (260 elements)",
                                   [] { Call("GetTNCMasInf", {N(1), S("MASS"), S(g_methodDir), S("T")}); },
                                   [] { RawElementList("\\qctune.01"); }));
const Registrar kQcCheck(OnMethod("GetQDBInfo (last check of group 3)",
                                  [] { Call("GetQDBInfo", {N(kMasses), N(3), N(1), S(g_methodDir), S("Q")}); },
                                  RawCheck));
const Registrar kCompare(OnMethod("COMPCALRUN (260 masses each)",
                                  [] { Call("COMPCALRUN", {N(1), S(g_methodDir), S(g_methodDir)}); },
                                  RawComparison));

}  // namespace
}  // namespace mcrbench
