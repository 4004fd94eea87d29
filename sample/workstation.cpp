#include "workstation.h"

#include <windows.h>

#include <iterator>
#include <map>
#include <vector>

#include "image.h"

namespace mcrsample {

namespace {

// ---------------------------------------------------------------------------
// What the sample measures. Step 1 runs without a collision gas, step 2
// with helium; both use yttrium as an internal standard, step 1 also
// scandium, indium and bismuth, step 2 germanium.

enum class Role { Analyte, InternalStandard, NotQuantified };

struct Element {
  int mass;
  const char* name;
  Role role;
  int detector;        // 0 pulse, 1 analog
  double sensitivity;  // analytes: counts per second per ppb; others: counts per second
  double sampleConc;   // ppb in the sample's measured solution
};

const std::vector<Element> kSteps[] = {
    {
        {7, "Li", Role::Analyte, 0, 12000, 2.35},
        {9, "Be", Role::Analyte, 0, 3100, 0.12},
        {24, "Mg", Role::NotQuantified, 1, 2.3e6, 0},
        {45, "Sc", Role::InternalStandard, 0, 310000, 0},
        {59, "Co", Role::Analyte, 0, 41000, 0.51},
        {89, "Y", Role::InternalStandard, 0, 520000, 0},
        {111, "Cd", Role::Analyte, 0, 22000, 0.08},
        {115, "In", Role::InternalStandard, 0, 610000, 0},
        {205, "Tl", Role::Analyte, 0, 48000, 0.02},
        {208, "Pb", Role::Analyte, 0, 95000, 1.84},
        {209, "Bi", Role::InternalStandard, 0, 480000, 0},
        {238, "U", Role::Analyte, 0, 66000, 0.31},
    },
    {
        {51, "V", Role::Analyte, 0, 5200, 0.93},
        {52, "Cr", Role::Analyte, 0, 8400, 0.47},
        {56, "Fe", Role::Analyte, 1, 120000, 36.2},
        {59, "Co", Role::Analyte, 0, 30000, 0.51},
        {72, "Ge", Role::InternalStandard, 0, 150000, 0},
        {75, "As", Role::Analyte, 0, 3100, 0.82},
        {78, "Se", Role::Analyte, 0, 900, 0.31},
        {89, "Y", Role::InternalStandard, 0, 410000, 0},
    },
};
constexpr int kStepCount = 2;

// The tune-criteria masses of each step: all of them measured by its run group.
const std::vector<int> kTuneMasses[] = {{7, 89, 205}, {59, 89}};

struct DataSet {
  const char* dir;
  const char* sample;  // UTF-8
  const char* info;    // UTF-8
  int runType;
  float multiplier;
  int bottle;
  bool standard;       // a 1 ppb calibration standard rather than a sample
  float extraFactor;   // a second dilution on top of the multiplier (0: none)
  bool corrected;      // has an interference-corrected data set NAME.D#
};

const DataSet kDataSets[] = {
    {"STD001.D", "Standard 1 ppb", "検量線用 混合標準液", 2, 1.0f, 2, true, 0, false},
    {"SAMPLE01.D", "Tap water A", "水道水 10倍希釈", 3, 10.0f, 12, false, 2.0f, true},
};

const char* const kOperator = "Sato";
const char* const kMethod = "DEMO.M";

// ---------------------------------------------------------------------------

std::wstring Wide(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

// The workstation's files hold their texts in the ANSI code page.
std::string Ansi(const std::string& utf8) {
  std::wstring w = Wide(utf8, CP_UTF8);
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

double Rsd(const Element& e) { return 0.01 + 0.004 * (e.mass % 5); }

// Counts per second that polyatomic ions add at a mass (ClO+ on 51, ArC+ on
// 52, ArCl+ on 75, Ar2+ on 78): an interference-corrected data set has them
// removed.
double Interference(const Element& e) {
  switch (e.mass) {
    case 51: return 1800;
    case 52: return 2500;
    case 75: return 950;
    case 78: return 3200;
    default: return 0;
  }
}

// Counts per second of an element in a data set.
double Rate(const Element& e, const DataSet& d, bool corrected = false) {
  double interference = corrected ? 0 : Interference(e);
  if (e.role == Role::Analyte) return e.sensitivity * (d.standard ? 1.0 : e.sampleConc) + 15.0 + interference;
  return e.sensitivity * (d.standard ? 1.0 : 0.95) + interference;
}

// Concentration as quantitation reports it: ppb for analytes, recovery in
// percent for internal standards.
double Concentration(const Element& e, const DataSet& d) {
  if (e.role == Role::InternalStandard) return d.standard ? 100.0 : 95.0;
  return d.standard ? 1.0 + 0.01 * (e.mass % 7 - 3) : e.sampleConc;
}

const char* QuantMode(const Element& e) {
  switch (e.role) {
    case Role::Analyte: return "検量線";
    case Role::InternalStandard: return "内部標準";
    default: return "定量しない";  // the workstation's own words for "not quantified"
  }
}

// ---------------------------------------------------------------------------
// Binary files, laid out at the offsets of the instrument's formats.

Image RunGroup(int step) {
  const std::vector<Element>& els = kSteps[step - 1];
  Image img(436);
  img.i32(104, static_cast<std::int32_t>(els.size()));
  for (std::size_t i = 0; i < els.size(); ++i) {
    std::size_t at = 436 + 26 * i;
    img.i32(at, els[i].mass).text(at + 4, els[i].name, 10).pad(at + 26);
  }
  return img;
}

// Steps without elements still have a calibration file, holding none.
Image Calibration(int step) {
  static const std::vector<Element> kNone;
  const std::vector<Element>& els = step <= kStepCount ? kSteps[step - 1] : kNone;
  Image img(24);
  img.u32(12, 20).u32(16, 24).i32(20, static_cast<std::int32_t>(els.size()));
  std::size_t at = 24;
  for (const Element& e : els) {
    int points = e.role == Role::Analyte ? 4 : 0;  // a blank and three standards
    img.i32(at, e.mass)
        .text(at + 4, e.name, 26)
        .text(at + 30, Ansi(QuantMode(e)), 56)
        .i32(at + 86, points)
        .i32(at + 128, e.role == Role::InternalStandard ? 1 : 0);
    at += 144 + 48 * static_cast<std::size_t>(points);
    img.pad(at);
  }
  return img;
}

void CheckEntry(Image& img, std::size_t at, const Element& e, float low, float high, bool off, bool unreported) {
  img.i16(at + 10, static_cast<std::int16_t>(e.mass)).i16(at + 12, off ? 1 : 0);
  img.f32(at + 14, low).f32(at + 18, high).f32(at + 22, 0).i16(at + 26, 1);  // recovery limits
  img.f32(at + 40, 0).f32(at + 44, 5.0f).f32(at + 48, 0).i16(at + 54, 1);   // precision limit (RSD %)
  img.i16(at + 118, 1).i16(at + 120, 3).i16(at + 122, 2);
  img.i16(at + 124, unreported ? 1 : 0).pad(at + 130);
}

// Group 1 checks every element (internal standards and unquantified ones
// switched off, internal standards not reported); group 2 the analytes only.
Image QcDatabase(int step) {
  const std::vector<Element>& els = kSteps[step - 1];
  std::vector<const Element*> analytes;
  for (const Element& e : els)
    if (e.role == Role::Analyte) analytes.push_back(&e);
  const std::size_t list = 32, groups = list + 14 * els.size();
  Image img(20);
  img.u32(0, 20).u32(4, static_cast<std::uint32_t>(list)).u32(8, static_cast<std::uint32_t>(groups));
  img.i16(20, 2).i16(22, static_cast<std::int16_t>(els.size())).i16(24, 3003).pad(32);
  for (std::size_t i = 0; i < els.size(); ++i) {
    std::size_t at = list + 14 * i;
    img.i16(at, static_cast<std::int16_t>(els[i].mass))
        .text(at + 2, els[i].name, 10)
        .i16(at + 12, els[i].role == Role::InternalStandard ? 1 : 0);
  }
  std::size_t at = groups;
  img.i16(at, 1).i16(at + 2, static_cast<std::int16_t>(els.size())).pad(at + 12);
  at += 12;
  for (const Element& e : els) {
    CheckEntry(img, at, e, 90, 110, e.role != Role::Analyte, e.role == Role::InternalStandard);
    at += 130;
  }
  img.i16(at, 2).i16(at + 2, static_cast<std::int16_t>(analytes.size())).pad(at + 12);
  at += 12;
  for (const Element* e : analytes) {
    CheckEntry(img, at, *e, 85, 115, false, false);
    at += 130;
  }
  return img;
}

Image TuneCriteria(int step) {
  const std::vector<int>& masses = kTuneMasses[step - 1];
  Image img(32);
  img.u32(0, 20).u32(4, 32).i16(22, static_cast<std::int16_t>(masses.size()));
  for (std::size_t i = 0; i < masses.size(); ++i) {
    const char* name = "";
    for (const Element& e : kSteps[step - 1])
      if (e.mass == masses[i]) name = e.name;
    img.i16(32 + 14 * i, static_cast<std::int16_t>(masses[i])).text(32 + 14 * i + 2, name, 10).pad(32 + 14 * (i + 1));
  }
  return img;
}

// qcunrep.0N: the QC report leaves out the internal standards and the
// elements that are not quantified, as the QC database's report flags do.
Image UnreportedElements(int step) {
  Image img(4 * 260);
  for (const Element& e : kSteps[step - 1])
    if (e.role != Role::Analyte) img.i32(4 * static_cast<std::size_t>(e.mass - 1), 1);
  return img;
}

// Mode 4: the tune-step mode, whose run groups are the files rungroup.01 to .06.
Image MethodHeader() {
  std::int32_t elements = 0;
  for (const auto& step : kSteps) elements += static_cast<std::int32_t>(step.size());
  Image img(124);
  img.i32(0, 4).f32(4, 30.5f).i32(8, 3).f32(12, 91.5f).i32(16, 0).i32(20, kStepCount).i32(24, 124);
  img.i32(28, 1).i32(32, 0).i32(36, 1).i32(40, 0);
  img.f64(44, 2.0).f64(52, 260.0).f64(60, 1.0e7).i32(68, 1).i32(72, 1);
  img.f64(76, 1.0).f64(84, 1.0e7).i32(92, 1).i32(96, 1).i32(100, 0).i32(104, 1);
  img.i32(108, elements);
  for (int k = 0; k < kStepCount; ++k) img.i32(124 + 182 * static_cast<std::size_t>(k) + 4, k + 1);
  img.pad(124 + 182 * kStepCount);
  return img;
}

// Counts per second between the peaks.
constexpr double kBackground = 2.0;
// Masses each step scans beside its elements: background only.
const int kBackgroundMasses[] = {220, 101};

// data0N.icp: the 512-byte header, the mass table (which is also the element
// table), the acquisition block and the points of the scan: seven points
// from 0.15 below to 0.15 above each element's mass, whose rates average to
// the mass table's mean, then three points of a background mass.
Image DataFile(const DataSet& d, int step, bool corrected = false) {
  static const double kShape[] = {0.02, 0.3, 1.5, 3.36, 1.5, 0.3, 0.02};  // averages to 1
  constexpr int kHalfWidth = 3;
  const std::vector<Element>& els = kSteps[step - 1];
  const std::size_t pointCount = std::size(kShape) * els.size() + 3;  // and three of the background mass
  const std::size_t table = 512, block = table + 24 * els.size(), points = block + 24;
  auto word = [](std::size_t byte) { return static_cast<std::int32_t>(byte / 2 + 1); };
  Image img(512);
  img.counted(24, Ansi(d.sample), 61).counted(86, Ansi(d.info), 61).counted(148, kOperator, 29);
  img.counted(178, kMethod, 29).counted(208, "24/05/20", 9).counted(228, d.standard ? "10:12:40" : "10:42:07", 19);
  img.i32(248, d.runType).i16(254, 3).i16(256, static_cast<std::int16_t>(d.bottle));
  img.i32(264, word(block)).i16(306, static_cast<std::int16_t>(els.size())).i32(308, word(table));
  img.f32(312, d.multiplier).i16(316, d.extraFactor > 0 ? 1 : 0).f32(318, d.extraFactor).i32(380, 0);
  for (std::size_t i = 0; i < els.size(); ++i) {
    const Element& e = els[i];
    double rate = Rate(e, d, corrected);
    std::size_t at = table + 24 * i;
    img.i16(at, static_cast<std::int16_t>(e.mass)).text(at + 3, e.name, 9);
    img.f32(at + 12, static_cast<float>(rate)).f32(at + 18, static_cast<float>(rate * Rsd(e)));
    img.i16(at + 22, static_cast<std::int16_t>(e.detector));
  }
  img.i16(block + 16, static_cast<std::int16_t>(pointCount)).pad(points);
  constexpr float kTime = 0.25f;  // seconds per point
  std::size_t at = points;
  auto point = [&](int x, double rate) {
    img.u16(at, static_cast<std::uint16_t>(x)).f32(at + 2, kTime).f32(at + 6, static_cast<float>(rate * kTime));
    at += 10;
  };
  for (const Element& e : els) {
    double peak = Rate(e, d, corrected) - kBackground;
    for (int side = -kHalfWidth; side <= kHalfWidth; ++side)
      point(20 * e.mass + side, kBackground + peak * kShape[side + kHalfWidth]);
  }
  for (int side = -1; side <= 1; ++side) point(20 * kBackgroundMasses[step - 1] + side, kBackground);
  return img;
}

// quant.0N: one result per quantified element; without the correction an
// interference reads as more analyte.
Image QuantFile(const DataSet& d, int step, bool corrected = false) {
  std::vector<const Element*> results;
  for (const Element& e : kSteps[step - 1])
    if (e.role != Role::NotQuantified) results.push_back(&e);
  Image img(1540);
  img.i32(938, static_cast<std::int32_t>(results.size())).i32(1350, 1);
  for (std::size_t i = 0; i < results.size(); ++i) {
    const Element& e = *results[i];
    std::size_t at = 1540 + 132 * i;
    double conc = Concentration(e, d);
    if (!corrected && e.role == Role::Analyte) conc += Interference(e) / e.sensitivity;
    img.i32(at, e.mass).f32(at + 16, static_cast<float>(Rate(e, d, corrected))).f32(at + 20, static_cast<float>(conc));
    img.text(at + 24, e.role == Role::InternalStandard ? "%" : "ppb", 18);
    img.f32(at + 42, static_cast<float>(conc * Rsd(e))).i16(at + 78, static_cast<std::int16_t>(e.detector));
    img.pad(at + 132);
  }
  return img;
}

struct SeqRow {
  bool keyword;
  const char* text;  // the keyword of a keyword row
  int extensions;
};

Image SequenceFile(const std::string& dataPath, const std::string& methodPath) {
  static const SeqRow kRows[] = {
      {true, "Tune", 0}, {false, "", 0}, {false, "", 2}, {true, "QC", 0}, {false, "", 0},
  };
  Image img(1034);
  img.u8(0, 5).text(1, Ansi("デモ シーケンス"), 46).text(47, kOperator, 30).text(77, dataPath, 261);
  img.text(338, "", 133).text(471, "", 133);
  img.u16(604, 0).u32(606, 1).u32(610, 1).i32(614, 5).i32(618, 1034).u32(630, 1).u32(634, 1);
  std::size_t at = 1034;
  for (const SeqRow& r : kRows) {
    img.i32(at + 4, r.keyword ? 6 : 0);
    if (r.keyword)
      img.text(at + 1035, r.text, 1625 - 1035);
    else
      img.text(at + 277, methodPath + "\\", 1035 - 277);
    img.i32(at + 1625, r.extensions);
    at += 1909 + 34 * static_cast<std::size_t>(r.extensions);
    img.pad(at);
  }
  return img;
}

// ---------------------------------------------------------------------------
// Settings files (INI syntax, CR LF line ends, ANSI texts).

std::string Ini(const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>& sections) {
  std::string out;
  for (const auto& [name, keys] : sections) {
    out += "[" + name + "]\r\n";
    for (const auto& [key, value] : keys) out += key + "=" + value + "\r\n";
    out += "\r\n";
  }
  return out;
}

struct RunType {
  const char* name;
  int number;
  const char* suffix;
};
const RunType kRunTypes[] = {{"Blank", 1, "BL"}, {"Standard", 2, "ST"}, {"Sample", 3, "SM"}, {"QC", 4, "QC"}};
const char* const kKeywords = "Tune,Calib,QC,Rinse";

std::string RunTypeIni() {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> s;
  s.push_back({"Keywords", {{"Keywords", kKeywords}}});
  std::vector<std::pair<std::string, std::string>> types;
  for (std::size_t i = 0; i < std::size(kRunTypes); ++i)
    types.push_back({"Type" + std::to_string(i + 1), kRunTypes[i].name});
  s.push_back({"RunType", types});
  for (const RunType& t : kRunTypes)
    s.push_back({t.name, {{"TypeNo", std::to_string(t.number)}, {"Suffix", t.suffix}}});
  return Ini(s);
}

std::string DefaultRunTypes() {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> s;
  for (const RunType& t : kRunTypes) s.push_back({t.name, {{"TypeNo", std::to_string(t.number)}}});
  return Ini(s);
}

// As the launcher's settings look after MakeHubexIni has rewritten them.
std::string HubexIni() {
  std::vector<std::pair<std::string, std::string>> types, suffixes;
  for (const RunType& t : kRunTypes) {
    types.push_back({t.name, std::to_string(t.number)});
    suffixes.push_back({t.suffix, std::to_string(t.number)});
  }
  return Ini({{"Samplog", {{"Keywords", std::string(kKeywords) + ",End"}}}, {"RunType", types}, {"SUFFIX", suffixes}});
}

// The batch view's data table settings: count rates with their RSD and the
// header fields, a column per analyte and internal standard of each step
// (cobalt in both), a title column and a background mass.
std::string DataViewConfig() {
  std::string cols[kStepCount];
  for (int k = 0; k < kStepCount; ++k) {
    for (const Element& e : kSteps[k])
      if (e.role != Role::NotQuantified)
        cols[k] += std::string(e.name) + " / " + std::to_string(e.mass) + "[#" + std::to_string(k + 1) + "]\t";
    cols[k] += "Bkg / " + std::to_string(kBackgroundMasses[k]) + ".00[#" + std::to_string(k + 1) + "]";
  }
  return "<CONFIG>\r\nDATA TYPE=CPS\r\nCORRECTION=OFF\r\nHEADER INFO=ON\r\nHEADER COLS=10\r\n"
         "TABLE TYPE=MASS\r\nADDITIONAL=RSD\r\n</CONFIG>\r\n"
         "<HEADER COLS>\r\nSample\tInformation\tOperator\tMethod\tDate\tTime\tReplicates\tFactor\tExtra\t"
         "Total factor\r\n</HEADER COLS>\r\n"
         "<DATA COLS>\r\n" + cols[0] + "\r\nHe mode\t" + cols[1] + "\r\n</DATA COLS>\r\n";
}

// A second batch view: the analytes' concentrations with their units, read
// from the interference-corrected data sets.
std::string ConcViewConfig() {
  std::string cols;
  for (int k = 0; k < kStepCount; ++k)
    for (const Element& e : kSteps[k])
      if (e.role == Role::Analyte)
        cols += std::string(e.name) + " / " + std::to_string(e.mass) + "[#" + std::to_string(k + 1) + "]\t";
  return "<CONFIG>\r\nDATA TYPE=CONC\r\nCORRECTION=ON\r\nADDITIONAL=UNIT\r\n</CONFIG>\r\n"
         "<DATA COLS>\r\n" + cols + "\r\n</DATA COLS>\r\n";
}

// The placement file: the launcher and the general task are top-level
// windows; the other tasks' windows sit inside the launcher, so their
// rectangles are within its client area. The last-task record names the
// data-analysis and the acquisition task.
std::string Placements() {
  struct Task {
    const char* section;
    const char* pos;
    const char* defStyle;
    const char* defPos;
  };
  const Task kTasks[] = {
      {"HUBEX,1", "40,40,680,520", "WS_MAXIMIZE", "0,0,800,600"},
      {"VEXMON_GEN,1", "60,60,700,540", "WS_NORMAL", "0,0,800,600"},
      {"VEXEVA_ONLINE,1", "0,0,400,300", "WS_NORMAL", "0,0,400,300"},
      {"VEXEVA_OFFLINE,1", "20,20,820,620", "WS_NORMAL", "0,0,800,600"},
      {"VEXREC,1", "200,0,600,300", "WS_NORMAL", "200,0,600,300"},
      {"VEXTRIM_TUNE,1", "0,150,400,450", "WS_NORMAL", "0,150,400,450"},
      {"VEXTRIM_INST,1", "0,150,400,450", "WS_NORMAL", "0,150,400,450"},
      {"VEXTRIM_MAINT,1", "0,150,400,450", "WS_MAXIMIZE", "0,150,400,450"},
  };
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> s;
  for (const Task& t : kTasks)
    s.push_back({t.section, {{"WINSTYLE", "WS_NORMAL"}, {"POS", t.pos}, {"DEF_WINSTYLE", t.defStyle}, {"DEF_POS", t.defPos}}});
  s.push_back({"LASTTASK,1", {{"TASK1", "da"}, {"TASK2", "acq"}}});
  return Ini(s);
}

// ---------------------------------------------------------------------------
// The offline configuration (OFFLINECFG): the standard RAPS applications of
// the program directory, the application files of the installation, the
// offline settings a macro hands the dialog and the general task's variables
// the dialog starts from (RAPS with the cell-mode application, the Z-QT
// autosampler, masses 40 and 56 inhibited).

void AddOfflineConfiguration(const std::string& root, const std::string& exe,
                             std::map<std::string, std::string>& files) {
  files[exe + "\\mpm.tbl"] =
      "; RAPS standard applications: name, file with an autosampler, file without\r\n"
      "#STD_BEG\r\n"
      "General\tgeneral_als.mpu\tgeneral.mpu\r\n"
      "High matrix\thmatrix_als.mpm\thmatrix.mpm\r\n"
      "#STD_END\r\n";
  auto application = [](const char* name, const char* gas) {
    return "; RAPS application file\r\n#APP_BEG\r\nAppName\t" + std::string(name) + "\r\nCellGas\t" + gas +
           "\r\n#APP_END\r\n";
  };
  files[root + "\\RAPS\\cellmode.mpu"] = application("Cell mode", "He");
  files[root + "\\RAPS\\seawater.mpu"] = application("Sea water", "H2");
  files[exe + "\\offline.ist"] = Ini({{"PCS,1",
                                       {{"_INHIBIT", "40 56 "},
                                        {"SI_TYPE", "4"},
                                        {"ALS_TYPE", "4"},
                                        {"_MPM", "2"},
                                        {"_MPMFILE$", "cellmode.mpu"},
                                        {"OPT_PMP2", "0"}}}});
  files[root + "\\startup.mac"] +=
      "' The general task's offline configuration.\r\n"
      "_optintro = 4\r\n_OPTALS = 4\r\n_MPM = 2\r\n_MPMFile$ = \"cellmode.mpu\"\r\n_MPMApp$ = \"Cell mode\"\r\n"
      "OPT_PMP2 = 0\r\ndim _INHIBIT[2]\r\n_INHIBIT[1] = 40\r\n_INHIBIT[2] = 56\r\n";
}

// ---------------------------------------------------------------------------
// The data-analysis side: an earlier batch whose results a new batch
// imports its method from, the sample names QC verification checks, and the
// state of the simulated data-analysis task (it finds the installation
// through the registry key; see standins/anlink).

const char* const kEarlierBatch = "DEMO001";

void AddDataAnalysisFiles(const std::string& root, std::map<std::string, std::string>& files) {
  const std::string batches = root + "\\batches\\", aBatches = Ansi(batches);
  files[root + "\\icpexe\\daminf.ini"] = Ini({{"DAMethInf",
                                               {{"DoImport", "1"},
                                                {"MethodOnly", "1"},
                                                {"SourcePath", aBatches + kEarlierBatch},
                                                {"XmlFile", std::string(kEarlierBatch) + ".batch.xml"}}}});
  std::string xml = "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n<Batch name=\"" + std::string(kEarlierBatch) +
                    "\">\r\n  <Method path=\"" + Ansi(root) + "\\methods\\" + kMethod + "\"/>\r\n";
  std::vector<std::pair<std::string, std::string>> names;
  for (const DataSet& d : kDataSets) {
    xml += "  <DataFile path=\"" + Ansi(root) + "\\data\\" + d.dir + "\" sample=\"" + Ansi(d.sample) + "\"/>\r\n";
    names.push_back({"RunType" + std::to_string(names.size() + 1), Ansi(d.sample)});
  }
  files[batches + kEarlierBatch + "\\QuantResults\\" + kEarlierBatch + ".batch.xml"] = xml + "</Batch>\r\n";
  files[batches + "samplenames.ini"] = Ini({{"SampleName", names}});
  files[root + "\\analysis\\state.ini"] =
      "; The simulated data-analysis task: Running is what DaIsRunning answers, the\r\n"
      "; method is being edited for EditPolls more polls, an analysis runs AnalysisMs\r\n"
      "; milliseconds, Fail names an operation that fails (with FailText), and a\r\n"
      "; sample listed in [QcFail] as NAME=1 fails its QC check.\r\n" +
      Ini({{"Task", {{"Running", "1"}, {"EditPolls", "0"}, {"AnalysisMs", "300"}, {"Fail", ""}, {"FailText", ""}}},
           {"QcFail", {}}});
}

// ---------------------------------------------------------------------------

bool CreateFolders(const std::wstring& path) {
  for (std::size_t i = path.find_first_of(L"\\/", 3); ; i = path.find_first_of(L"\\/", i + 1)) {
    std::wstring part = path.substr(0, i);
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (i == std::wstring::npos) return true;
  }
}

bool WriteWhole(const std::wstring& path, const void* data, std::size_t size) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(f);
  return ok && written == size;
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// The absolute form of a folder, without a trailing separator.
std::string FullFolder(const std::string& utf8) {
  std::wstring w = Wide(utf8, CP_UTF8);
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(w.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  if (n > 0 && n < std::size(full)) w.assign(full, n);
  while (w.size() > 3 && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
  if (w.empty()) return {};
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), m, nullptr, nullptr);
  return out;
}

}  // namespace

bool LayOut(const std::string& rootUtf8, std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (rootUtf8.empty()) return fail("no folder given");
  const std::string root = FullFolder(rootUtf8);
  if (Ansi(root).size() > kMaxRoot)
    return fail("the folder's path is longer than " + std::to_string(kMaxRoot) + " bytes");

  // Paths inside the files (ANSI) and on disk (UTF-8) side by side.
  const std::string exe = root + "\\icpexe", method = root + "\\methods\\" + kMethod, data = root + "\\data";
  std::map<std::string, std::string> files;  // UTF-8 path -> contents
  auto put = [&](const std::string& path, const Image& img) {
    files[path].assign(img.bytes().begin(), img.bytes().end());
  };

  put(method + "\\run.icp", MethodHeader());
  for (int n = 1; n <= 6; ++n) put(method + "\\calib." + TwoDigits(n), Calibration(n));
  for (int n = 1; n <= kStepCount; ++n) {
    put(method + "\\rungroup." + TwoDigits(n), RunGroup(n));
    put(method + "\\qcdb." + TwoDigits(n), QcDatabase(n));
    put(method + "\\qctune." + TwoDigits(n), TuneCriteria(n));
    put(method + "\\qcunrep." + TwoDigits(n), UnreportedElements(n));
    for (const DataSet& d : kDataSets) {
      put(data + "\\" + d.dir + "\\data" + TwoDigits(n) + ".icp", DataFile(d, n));
      put(data + "\\" + d.dir + "\\quant." + TwoDigits(n), QuantFile(d, n));
      if (!d.corrected) continue;
      const std::string set = data + "\\" + d.dir + "\\" + d.dir + "#";
      put(set + "\\data" + TwoDigits(n) + ".icp", DataFile(d, n, true));
      put(set + "\\quant." + TwoDigits(n), QuantFile(d, n, true));
    }
  }
  put(root + "\\seq\\demo.seq", SequenceFile(Ansi(data + "\\"), Ansi(method)));

  const std::string aRoot = Ansi(root);
  files[method + "\\qcinfo.ini"] = Ini({{"QCINFO", {{"OrgPath", aRoot + "\\QCMODE\\"}, {"OrgFile", "GENERAL.QCC"}}}});
  files[exe + "\\vexmon.ist"] = Ini({{"PCS,1",
                                      {{"_INSTPATH$", aRoot + "\\"},
                                       {"_QCMDPATH$", aRoot + "\\QCMODE\\"},
                                       {"_QCMDFILE$", "GENERAL.QCC"},
                                       {"_RPTPATH$", aRoot + "\\RPTTMP\\"},
                                       {"_CHNSEQPATH$", aRoot + "\\CHNSEQ\\"},
                                       {"_CHNSEQFILE$", "DEFAULT.CHS"},
                                       {"_HELPPATH$", aRoot + "\\help\\"},
                                       {"_HELPFILE$", "ICP-MS.CHM"},
                                       {"_PPUMP", "1"},
                                       {"SI_TYPE", "0"},
                                       {"ALS_TYPE", "0"},
                                       {"_MPM", "0"},
                                       {"_MPMFILE$", ""},
                                       {"OPT_PMP2", "1"},
                                       {"_INHIBIT", "40 "},
                                       {"TRAY_ID", "1"},
                                       {"MAX_BOTTLE", "89"},
                                       {"RINSE_DEPTH", "280"},
                                       {"SAMPLE_DEPTH", "440"},
                                       {"STD_DEPTH", "440"},
                                       {"ONEBOTTLE_DEPTH", "440"},
                                       {"ESC_MODE", "0"}}}});
  files[exe + "\\runtype.ini"] = RunTypeIni();
  files[exe + "\\defrt.icp"] = DefaultRunTypes();
  files[exe + "\\hubex.ini"] = HubexIni();
  files[exe + "\\dataview.cfg"] = DataViewConfig();
  files[root + "\\views\\conc\\dataview.cfg"] = ConcViewConfig();
  files[exe + "\\icpms.win"] = Placements();
  files[exe + "\\qctune.ini"] = Ini({{"Header", {{"MethPath", aRoot + "\\methods\\"}, {"MethFile", kMethod}}},
                                     {"Tune",
                                      {{"ExactMass", "0"},
                                       {"AOF3", "0"},
                                       {"TNITEM1", "1,0.1,0"},
                                       {"TNITEM2", "1,5000,0"},
                                       {"TNITEM3", "1,2.5,0"},
                                       {"TNITEM4", "0,0.8,10"},
                                       {"TNITEM5", "1,5,0"},
                                       {"TNITEM6", "0,100,0"}}}});

  AddDataAnalysisFiles(root, files);

  // The host variables a workstation task would have set (a UTF-8 macro).
  auto q = [](const std::string& s) { return "\"" + s + "\""; };
  files[root + "\\startup.mac"] =
      "' The host variables of the sample workstation, as its general task sets them.\r\n"
      "_INSTPATH$ = " + q(root + "\\") + "\r\n"
      "_EXEPATH$ = " + q(exe + "\\") + "\r\n"
      "_MethPath$ = " + q(root + "\\methods\\") + "\r\n"
      "_CurrentMeth$ = " + q(method) + "\r\n"
      "_DataPath$ = " + q(data + "\\") + "\r\n"
      "_DataFile$ = " + q(kDataSets[1].dir) + "\r\n"
      "_INSTNUM = 1\r\n"
      "_apptag$ = \"GEN\"\r\n"
      "_TOPWINID = 0\r\n"
      "_TNTASK_MODE = 0\r\n"
      "' Not a workstation variable: where the sample keeps its sequence file.\r\n"
      "SampleSeq$ = " + q(root + "\\seq\\demo.seq") + "\r\n";
  AddOfflineConfiguration(root, exe, files);

  for (const char* folder : {"\\QCMODE", "\\RPTTMP", "\\CHNSEQ"})
    if (!CreateFolders(Wide(root + folder, CP_UTF8))) return fail("cannot create " + root + folder);
  for (const auto& [path, contents] : files) {
    std::wstring w = Wide(path, CP_UTF8);
    if (!CreateFolders(w.substr(0, w.find_last_of(L'\\')))) return fail("cannot create the folder of " + path);
    if (!WriteWhole(w, contents.data(), contents.size())) return fail("cannot write " + path);
  }
  return true;
}

bool WriteInstallKey(const char* subkey, const std::string& rootUtf8, std::string* error) {
  const std::string root = FullFolder(rootUtf8);
  HKEY key;
  LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(subkey, CP_ACP).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                           nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) {
    if (error) *error = "cannot create the registry key (error " + std::to_string(r) + ")";
    return false;
  }
  std::wstring value = Wide(root, CP_UTF8);
  r = RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  if (r != ERROR_SUCCESS && error) *error = "cannot set the registry value (error " + std::to_string(r) + ")";
  return r == ERROR_SUCCESS;
}

}  // namespace mcrsample
