// The data table's layout and rows on bytes in memory: the descriptor
// grammar at its edges, the configuration block's structure, mass grouping,
// every additional value of both data types, the header fields, and data
// files that claim more than they hold.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <optional>

#include "bytes.h"
#include "tablefixtures.h"
#include "instfiles/tableconfig.h"
#include "instfiles/tablerow.h"
#include "util/numfmt.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;
using namespace mcrtest::tfx;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

std::optional<std::pair<int, int>> Parsed(const std::string& token) {
  std::optional<Descriptor> d = ParseDescriptor(token);
  if (!d) return std::nullopt;
  return std::pair{d->step, static_cast<int>(d->position)};
}

TEST(TableDescriptor, Grammar) {
  using P = std::optional<std::pair<int, int>>;
  const struct { const char* token; P want; } cases[] = {
      {"Li / 7[#1]", P({1, 129})}, {"Co / 58.95[#2]", P({2, 1168})}, {"Co / 58.09[#2]", P({2, 1151})},
      {"Co / 58.9[#2]", P({2, 1151})},    // one digit is hundredths
      {"Co / 58.99[#2]", P({2, 1169})},   // rounds onto 59
      {"Co / 58.955[#3]", P({3, 1168})},  // only two digits count
      {"X / 0.55[#1]", P({1, 0})}, {"X / 0.52[#1]", std::nullopt},
      {"U / 260.50[#6]", P({6, 5199})}, {"U / 260.55[#6]", std::nullopt}, {"U / 261[#6]", std::nullopt},
      {"Li / 7[#0]", std::nullopt}, {"Li / 7[#7]", std::nullopt}, {"Li / 7[#x]", std::nullopt},
      {"Li/7[#1]", std::nullopt}, {"Li / 7[1]", std::nullopt}, {"Li[#1] / 7", std::nullopt},
      {"X / -1[#1]", std::nullopt}, {"X / 99999999999[#1]", std::nullopt},
      {" / 7[#1]", P({1, 129})}, {"Li /  7[#1", P({1, 129})},  // an empty label, no closing bracket
      {"A / B / 7[#1]", std::nullopt},  // the first " / " starts the mass
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.token), c.want) << c.token;
}

TEST(TableConfig, KeyLines) {
  const struct { const char* line; bool key; const char* field; int value; } cases[] = {
      {"DATA TYPE=CONC\r\n", true, "data", 1}, {"DATA TYPE=CONC\n", false, "data", 0},
      {"data type=conc\r\n", false, "data", 0},
      {"CORRECTION=ON\r\n", true, "correction", 1}, {"HEADER INFO=ON\r\n", true, "header", 1},
      {"TABLE TYPE=POINT\r\n", true, "kind", 1}, {"ADDITIONAL=COUNT\r\n", true, "additional", 5},
      {"ADDITIONAL=RSD", false, "additional", 0}, {"HEADER COLS= 12 \r\n", true, "cols", 12},
      {"HEADER COLS=x\r\n", true, "cols", 0}, {"HEADER COLS=99999999999\r\n", true, "cols", INT32_MAX},
      {"HEADER COLS =3\r\n", false, "cols", 0},
  };
  for (const auto& c : cases) {
    TableSettings s;
    EXPECT_EQ(ApplyKeyLine(s, c.line), c.key) << c.line;
    std::map<std::string, int> got = {{"data", int(s.data)},          {"correction", s.correction},
                                      {"header", s.headerInfo},       {"kind", int(s.kind)},
                                      {"additional", int(s.additional)}, {"cols", s.headerCols}};
    EXPECT_EQ(got[c.field], c.value) << c.line;
  }
}

std::string Block(const std::string& keys, const std::string& between, const std::string& descriptors) {
  return "title\r\n" + Config(keys, descriptors, between) + "after\r\n";
}

std::optional<TableLayout> ReadLayout(const std::string& text) {
  MemorySource source(std::vector<std::uint8_t>(text.begin(), text.end()));
  TableLayout layout;
  if (!ReadTableLayout(source, layout)) return std::nullopt;
  return layout;
}

TEST(TableConfig, BlockStructure) {
  const std::string cols = "<HEADER COLS>\r\nA\tB\r\n</HEADER COLS>\r\n";
  const struct { std::string text; bool ok; } cases[] = {
      {Block("", "", ""), true},
      {Block("HEADER INFO=ON\r\n", cols, ""), true},
      {Block("HEADER INFO=ON\r\n", "", ""), false},
      {Block("HEADER INFO=ON\r\n<HEADER COLS>\r\n", "", ""), false},  // inside the key block it does not count
      {Block("HEADER INFO=ON\r\nHEADER INFO=OFF\r\n", "", ""), true},
      {Block("", "</DATA COLS>\r\n", ""), false},
      {"<CONFIG>\r\nDATA TYPE=CPS\r\n", false},
      {"<CONFIG>\n</CONFIG>\r\n<DATA COLS>\r\n</DATA COLS>\r\n", false},
      {"<CONFIG>\r\n</CONFIG>\r\n<DATA COLS>\r\nLi / 7[#1]\r\n", false},
      {"<CONFIG>\r\n</CONFIG>\r\n", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLayout(c.text).has_value(), c.ok) << c.text;
  // Key lines count only inside the key block; the later one wins.
  std::optional<TableLayout> l =
      ReadLayout("DATA TYPE=CONC\r\n" + Block("DATA TYPE=CONC\r\nTABLE TYPE=POINT\r\nDATA TYPE=CPS\r\n",
                                              "ADDITIONAL=RSD\r\n", ""));
  ASSERT_TRUE(l);
  EXPECT_EQ(l->settings.data, TableData::Cps);
  EXPECT_EQ(l->settings.kind, TableKind::Point);
  EXPECT_EQ(l->settings.additional, Additional::None);
}

TEST(TableConfig, DescriptorLinesAndColumns) {
  // A line far longer than one read, a title, empty tokens, and two
  // descriptors of the same place: the later one keeps it.
  std::string longLine;
  for (int m = 1; m <= 260; ++m) longLine += "E" + std::to_string(m) + " / " + std::to_string(m) + ".50[#3]\t\t";
  ASSERT_GT(longLine.size(), 4096u);
  std::optional<TableLayout> l =
      ReadLayout(Block("", "", "Title\tLi / 7[#1]\r\n\t\r\n" + longLine + "\r\nBe / 9[#2]\tLi / 7.00[#1]\r\n"));
  ASSERT_TRUE(l);
  EXPECT_EQ(l->columns, 2 + 260 + 2);
  EXPECT_EQ(l->map.At(1, 129), 264);
  EXPECT_EQ(l->map.At(2, 169), 263);
  EXPECT_EQ(l->map.At(3, 20 * 130 + 10 - 11), 2 + 130);
  EXPECT_EQ(l->map.At(3, 5199), 262);
  for (long long p : {-1LL, 5200LL}) EXPECT_EQ(l->map.At(3, p), 0);
  EXPECT_EQ(l->map.At(0, 129), 0);
  EXPECT_EQ(l->map.At(7, 129), 0);
}

std::optional<std::uint64_t> Closing(const std::string& text) {
  MemorySource source(std::vector<std::uint8_t>(text.begin(), text.end()));
  return FindClosingLine(source, text.size());
}

TEST(TableConfig, CopyLengthAndClosingLine) {
  const struct { std::string text; std::optional<std::size_t> length; } copies[] = {
      {"<CONFIG>\r\nx</DATA COLS>\r\nafter</DATA COLS>\r\n", 25}, {"<CONFIG>\r\n</DATA COLS>", std::nullopt},
      {" <CONFIG>\r\n</DATA COLS>\r\n", std::nullopt}, {"<CONFIG>\n</DATA COLS>\r\n", std::nullopt}};
  for (const auto& c : copies) EXPECT_EQ(ConfigCopyLength(c.text), c.length) << c.text;

  const std::string gap(5000, 'x');  // the '>' lies in an earlier read than the end
  const struct { std::string text; std::optional<std::uint64_t> at; } closings[] = {
      {"ab\r\n</DATA TABLE>\r\n", 4}, {"</DATA TABLE>\r\n", 0}, {"ab\r\n</DATA TABLE>\r\n\r\n", 4},
      {"</DATA TABLE>\r\n" + gap, 0}, {"</DATA TABLE>\r\n" + std::string(4090, 'x'), 0},
      {"</DATA TABLE>\r\n" + std::string(4094, 'x'), 0},  // CR LF in the piece read first
      {"ab\r\n</DATA TABLE>\r\nx>", std::nullopt},
      {"ab\r\n</DATA TABLE>\n", std::nullopt}, {"ab\r\n</DATA TABLE>", std::nullopt},
      {"DATA TABLE>\r\n", std::nullopt}, {"no closing line", std::nullopt}, {"", std::nullopt}};
  for (const auto& c : closings) EXPECT_EQ(Closing(c.text), c.at) << c.text.substr(0, 30);
}

// --- rows --------------------------------------------------------------------

using Files = std::map<std::string, Bytes>;

FileOpener Opener(const Files& files) {
  return [&files](const std::string& path) -> std::unique_ptr<ByteSource> {
    auto it = files.find(path);
    if (it == files.end()) return nullptr;
    return std::make_unique<MemorySource>(it->second.data());
  };
}

Row RowOf(const std::string& keys, const std::string& descriptors, const Files& files, const std::string& dir = "D") {
  std::optional<TableLayout> l = ReadLayout(Block(keys, "<HEADER COLS>\r\n</HEADER COLS>\r\n", descriptors));
  EXPECT_TRUE(l);
  return l ? ComputeRow(*l, dir, Opener(files)) : Row{};
}

// The lines of a golden file written by hand from the rules, comments left out.
std::vector<std::string> Golden(const std::string& name) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/tests/golden/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

TEST(TableRow, MassGroupsAndPoints) {
  // Remainders 9 and 10 round down to mass 7, 11 up to 8; mass 7 comes
  // back later and that group replaces the first.
  Files f = {{"D\\data01.icp", DataFile({}, {{149, 1, 10}, {150, 1, 30}, {151, 2, 50}, {160, 1, 7},
                                             {140, 0.5f, 3}, {5300, 1, 9}})}};
  EXPECT_EQ(RowOf("", "X / 8[#1]\tX / 7[#1]\tX / 9[#1]\r\n", f).line, "D\t19.00\t6.00\t\t\r\n");
  // Positions x - 11: 7.00 is position 129, 7.45 is 138; a point of mass
  // 265 lies outside the map and goes nowhere.
  EXPECT_EQ(RowOf("TABLE TYPE=POINT\r\n", "X / 7.45[#1]\tX / 7[#1]\tX / 7.55[#1]\tX / 8[#1]\r\n", f).line,
            "D\t10.00\t6.00\t25.00\t7.00\t\r\n");
  // A run of one mass longer than one read of points stays one group.
  std::vector<Point> run(1700, Point{140, 1, 1});
  run.back().counts = 1701;
  Files longRun = {{"D\\data01.icp", DataFile({}, run)}};
  EXPECT_EQ(RowOf("", "X / 7[#1]\r\n", longRun).line, "D\t2.00\t\r\n");
  for (auto [x, m] : {std::pair{0, 0}, {10, 0}, {11, 1}, {5209, 260}, {5210, 260}, {65535, 3277}})
    EXPECT_EQ(MassOfPosition(static_cast<std::uint16_t>(x)), m) << x;
}

TEST(TableRow, AdditionalValues) {
  const std::vector<Entry> entries = {{7, 200, 5, 0}, {8, 50, 2, 1}, {9, 0, 1, 9}, {10, 4, 1, 100}, {11, 4, 1, 3}, {7, 1, 1, 1}};
  std::vector<Point> points;
  for (int m = 7; m <= 12; ++m) points.push_back({static_cast<std::uint16_t>(20 * m), 0.5f, 20.0f * m});
  const std::vector<Result> results = {{7, 1234.5f, 2.5f, "ppb", 0.05f, 0}, {8, 10, 0, "ug/L", 1, 1},
                                       {9, 10, 4, "", 1, 9}, {10, 10, -4, std::string(18, 'u'), 1, 100},
                                       {11, 10, 1, "%", 1, 7}};
  Files f = {{"D\\data01.icp", DataFile(entries, points)}, {"D\\quant.01", QuantFile(results)}};
  const std::string cols = "A / 7[#1]\tA / 8[#1]\tA / 9[#1]\tA / 10[#1]\tA / 11[#1]\tA / 12[#1]\r\n";
  // Point values look the mass table up by the point's position itself.
  std::string key;
  const std::vector<std::string> rows = Golden("table_additional.txt");
  ASSERT_EQ(rows.size(), 6u + 6 + 6 + 2);
  for (const std::string& row : rows) {
    if (row.rfind("ADDITIONAL=", 0) == 0) {
      key = row + "\r\n";
      continue;
    }
    const std::string kind = row.substr(0, row.find('\t'));
    const char* type = kind == "conc" ? "DATA TYPE=CONC\r\n" : kind == "point" ? "TABLE TYPE=POINT\r\n" : "";
    EXPECT_EQ(RowOf(key + type, cols, f).line, row.substr(kind.size() + 1) + "\r\n") << key << kind;
  }
}

TEST(TableRow, HeaderFields) {
  // Texts stop at their width less one, never inside a double-byte
  // character; a tab inside one would split the row and becomes a blank.
  Bytes h(512);
  h.text(25, std::string(61, 'n')).text(87, "info\twith tab").text(149, std::string(27, 'o') + kHyo, 29);
  h.text(179, "M" + kHyo + "x", 29).text(209, "24/05/20 extra").text(229, "10:12:40").i16(254, -3);
  h.f32(356, 3).f32(360, 4).f32(364, 2).f32(318, 10);
  const std::string texts =
      std::string(60, 'n') + "\tinfo with tab\t" + std::string(27, 'o') + "\tM" + kHyo + "x\t24/05/20\t10:12:40\t-3\t";
  const struct { std::int32_t ratio; std::int16_t extra; float multiplier; const char* factors; } cases[] = {
      {0, 0, 2.5f, "2.500\t\t2.500\t"}, {1, 0, 2.5f, "1.500\t\t1.500\t"}, {1, 1, 2.5f, "1.500\t10.00\t15.00\t"},
      {0, 1, 0, "1.175E-38\t10.00\t1.175E-38\t"}, {2, 0, -1, "1.175E-38\t\t1.175E-38\t"},
      {0, 0, NAN, "1.175E-38\t\t1.175E-38\t"}, {0, 2, 12345, "1.235E+04\t\t1.235E+04\t"},
      {0, 1, 1e38f, "1.000E+38\t10.00\t3.403E+38\t"},
  };
  for (const auto& c : cases) {
    h.i32(380, c.ratio).i16(316, c.extra).f32(312, c.multiplier);
    EXPECT_EQ(HeaderFields(h.data().data()), texts + c.factors) << c.factors;
  }
  h.i32(380, 1).f32(360, 0);  // a ratio divided by zero
  EXPECT_EQ(HeaderFields(h.data().data()), texts + "3.403E+38\t10.00\t3.403E+38\t");
  EXPECT_EQ(HeaderNumber(-INFINITY), "1.175E-38");
}

TEST(TableRow, FilesThatClaimMoreThanTheyHold) {
  const std::vector<Entry> entries = {{7, 100, 10, 1}};
  const std::vector<Point> points = {{140, 1, 100}, {160, 1, 8}, {180, 1, 9}};
  const std::string cols = "A / 7[#1]\tA / 8[#1]\tA / 9[#1]\r\n";
  Bytes whole = DataFile(entries, points);
  const struct { const char* what; Bytes file; const char* row; } cases[] = {
      {"complete", whole, "D\t100.00{10.00%}\t8.00{---}\t9.00{---}\t\r\n"},
      // The last point is cut in the middle: the points before it count.
      {"points cut", Bytes(whole).resize(whole.size() - 4), "D\t100.00{10.00%}\t8.00{---}\t\t\r\n"},
      {"more points claimed", DataFile(entries, points, {}, 500), "D\t100.00{10.00%}\t8.00{---}\t9.00{---}\t\r\n"},
      {"negative point count", DataFile(entries, points, {}, -3), "D\t\t\t\t\r\n"},
      {"negative entry count", DataFile(entries, points, -1), "D\t100.00{---}\t8.00{---}\t9.00{---}\t\r\n"},
      // A mass table past the end of the file skips the step.
      {"entries past the end", DataFile(entries, points, 30000), "D\t\t\t\t\r\n"},
      {"block past the end", Bytes(whole).i32(264, 0x7FFFFFFF), "D\t\t\t\t\r\n"},
      {"no block position", Bytes(whole).i32(264, 0), "D\t\t\t\t\r\n"},
      {"header only", Bytes(whole).resize(512), "D\t\t\t\t\r\n"},
  };
  for (const auto& c : cases) {
    Files f = {{"D\\data01.icp", c.file}};
    Row r = RowOf("ADDITIONAL=RSD\r\n", cols, f);
    EXPECT_EQ(r.line, c.row) << c.what;
    EXPECT_EQ(r.failure, RowFailure::None) << c.what;
  }
  // A file shorter than its header gives no header: CPS fails with the row all empty.
  Files shortHeader = {{"D\\data01.icp", Bytes(whole).resize(511)}};
  Row r = RowOf("HEADER INFO=ON\r\n", cols, shortHeader);
  EXPECT_EQ(r.line, "D\t" + std::string(10, '\t') + "\t\t\t\r\n");
  EXPECT_EQ(r.failure, RowFailure::NoDataHeader);

  // Quantitation files: results claimed but cut, none present, a count below 1.
  Bytes quant = QuantFile({{7, 1, 1.5f, "ppb", 0, 0}, {8, 1, 2.5f, "ppb", 0, 0}});
  const struct { const char* what; Bytes file; const char* row; RowFailure failure; } quants[] = {
      {"cut record", Bytes(quant).resize(quant.size() - 1), "D\t1.50\t\t\t\r\n", RowFailure::None},
      {"more claimed", Bytes(quant).i32(938, 1000000), "D\t1.50\t2.50\t\t\r\n", RowFailure::None},
      {"not present", Bytes(quant).i32(1350, 0), "D\t\t\t\t\r\n", RowFailure::NoQuantResults},
      {"count 0", Bytes(quant).i32(938, 0), "D\t\t\t\t\r\n", RowFailure::NoQuantResults},
      {"count 1", Bytes(quant).i32(938, 1), "D\t1.50\t\t\t\r\n", RowFailure::None},
      {"header only", Bytes(quant).resize(1540), "D\t\t\t\t\r\n", RowFailure::NoQuantResults},
  };
  for (const auto& c : quants) {
    Files f = {{"D\\data01.icp", whole}, {"D\\quant.01", c.file}};
    Row q = RowOf("DATA TYPE=CONC\r\n", cols, f);
    EXPECT_EQ(q.line, c.row) << c.what;
    EXPECT_EQ(q.failure, c.failure) << c.what;
  }
}

TEST(TableRow, CellsStepsAndFailures) {
  // A number is never cut: too long for a cell, the cell stays empty, and
  // its additional value is left out when both do not fit. A value that is
  // not a number (integration time 0) leaves the cell empty.
  const std::vector<Point> points = {{140, 1, 1e20f}, {160, 1, 1e30f}, {180, 0, 1}, {200, 1, 1e28f},
                                     {220, std::ldexp(1.0f, -70), 1}, {240, std::ldexp(1.0f, -74), 1}};
  Files f = {{"D\\data01.icp", DataFile({}, points)},
             {"D\\data03.icp", DataFile({}, {{140, 4, 1}})},
             {"D\\data07.icp", DataFile({}, {{140, 1, 99}})}};
  const std::string cols = "A / 7[#1]\tA / 8[#1]\tA / 9[#1]\tA / 10[#1]\tA / 11[#1]\tA / 12[#1]\tA / 7[#3]\tA / 7[#2]\r\n";
  Row r = RowOf("ADDITIONAL=COUNT\r\n", cols, f);
  EXPECT_EQ(r.line,
            "D\t100000002004087734272.00\t\t\t9999999442119689768320106496.00\t"
            "1180591620717411303424.00{1.00}\t18889465931478580854784.00\t0.25{1.00}\t\t\r\n");
  EXPECT_EQ(r.failure, RowFailure::None);

  // Steps whose file is missing are passed over; with none at all the row
  // is still made, and fails.
  Row none = RowOf("", cols, {});
  EXPECT_EQ(none.line, "D\t" + std::string(8, '\t') + "\r\n");
  EXPECT_EQ(none.failure, RowFailure::NoDataHeader);
  EXPECT_EQ(RowOf("DATA TYPE=CONC\r\n", cols, f).failure, RowFailure::NoQuantResults);
  EXPECT_EQ(RowOf("", "", {}).line, "D\t\r\n");
}

TEST(TableRow, CorrectedDataSet) {
  const struct { std::string dir, from; } cases[] = {
      {"X\\S.D", "X\\S.D\\S.D#"}, {"X\\S.D\\", "X\\S.D\\S.D#"}, {"S.D", "S.D\\S.D#"},
      {"C:S.D", "C:S.D\\S.D#"}, {"C:\\d/S.D", "C:\\d/S.D\\S.D#"},
      {"C:\\" + kHyo + ".D", "C:\\" + kHyo + ".D\\" + kHyo + ".D#"},  // its second byte is no separator
      {"C:\\d\\" + kHyo, "C:\\d\\" + kHyo + "\\" + kHyo + "#"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadingDirectory(c.dir, true), c.from) << c.dir;
  EXPECT_EQ(ReadingDirectory("X\\S.D\\", false), "X\\S.D\\");
  Files f = {{"X\\S.D\\data01.icp", DataFile({}, {{140, 1, 1}})},
             {"X\\S.D\\S.D#\\data01.icp", DataFile({}, {{140, 1, 2}})}};
  EXPECT_EQ(RowOf("CORRECTION=ON\r\n", "A / 7[#1]\r\n", f, "X\\S.D").line, "X\\S.D\t2.00\t\r\n");
}

TEST(TableNumbers, FixedDecimalsTieAwayFromZero) {
  // Two decimals, rounded on the exact binary value, exact ties away from
  // zero; on both sides of the whole-number shortcut (1e15).
  const struct { double v; const char* text; } cases[] = {
      {0.125, "0.13"}, {-0.125, "-0.13"}, {2.675, "2.67"}, {1.005, "1.00"}, {0.015, "0.01"}, {0.025, "0.03"},
      {9.995, "9.99"}, {99.875, "99.88"}, {123456.785, "123456.79"}, {-0.004, "-0.00"}, {5e-324, "0.00"},
      {999999999999999.9, "999999999999999.88"}, {1e15, "1000000000000000.00"},
      {4503599627370495.5, "4503599627370495.50"}, {NAN, "nan"}, {-INFINITY, "-inf"}};
  for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.v, 2), c.text) << c.v;
  EXPECT_EQ(FormatFixed(0.03125, 4), "0.0313");
}

}  // namespace
