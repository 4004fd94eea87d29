// The data table's layout and rows on bytes in memory: the descriptor
// grammar at its edges, the configuration block's structure, mass grouping,
// every additional value of both data types, the header fields, and data
// files that claim more than they hold (the rows are tests/golden/table_rows.txt).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>

#include "tablefixtures.h"
#include "instfiles/tableconfig.h"
#include "instfiles/tablerow.h"
#include "util/numfmt.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;
using namespace mcrtest::tfx;
using namespace std::string_literals;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

// The lines of a golden file of tests/golden, written by hand from the rules, comments left out.
inline std::vector<std::string> Golden(const std::string& name) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/tests/golden/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

// A text shown as a C literal would show it, runs of more than 8 of one character as <c xN>.
std::string Visible(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0, n = 1; i < text.size(); i += n, n = 1) {
    while (i + n < text.size() && text[i + n] == text[i]) ++n;
    char one[8], c = text[i];
    std::snprintf(one, sizeof one, c & 0x80 ? "\\x%02X" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '"' ? "\\\"" : c == '\\' ? "\\\\" : "%c", c & 0xFF);
    for (std::size_t k = 0; k < (n > 8 ? 0 : n); ++k) out += one;
    if (n > 8) out += "<" + std::string(one) + " x" + std::to_string(n) + ">";
  }
  return out + '"';
}

std::string Settings(const TableSettings& s) {
  const char* additional[] = {"NONE", "DETECTOR", "CPS", "RSD", "UNIT", "COUNT"};
  return std::string(s.data == TableData::Conc ? "CONC " : "CPS ") + (s.kind == TableKind::Point ? "POINT " : "MASS ") +
         additional[int(s.additional)] + (s.correction ? " correction" : "") + (s.headerInfo ? " header info" : "") +
         " header cols " + std::to_string(s.headerCols);
}

std::string Block(const std::string& keys, const std::string& between, const std::string& descriptors) {
  return "title\r\n" + Config(keys, descriptors, between) + "after\r\n";
}

std::optional<TableLayout> ReadLayout(const std::string& text) {
  MemorySource source(std::vector<std::uint8_t>(text.begin(), text.end()));
  TableLayout layout;
  return ReadTableLayout(source, layout) ? std::optional(layout) : std::nullopt;
}

// What descriptors, key lines and configuration blocks give, and where a
// table's closing line is found: tests/golden/table_layout.txt.
TEST(TableConfig, Layouts) {
  std::vector<std::string> got;
  for (const char* token : {"Li / 7[#1]", "Co / 58.95[#2]", "Co / 58.09[#2]", "Co / 58.9[#2]", "Co / 58.99[#2]",
                            "Co / 58.955[#3]", "X / 0.55[#1]", "X / 0.52[#1]", "U / 260.50[#6]", "U / 260.55[#6]",
                            "U / 261[#6]", "Li / 7[#0]", "Li / 7[#7]", "Li / 7[#x]", "Li/7[#1]", "Li / 7[1]", "Li[#1] / 7",
                            "X / -1[#1]", "X / 99999999999[#1]", " / 7[#1]", "Li /  7[#1", "A / B / 7[#1]"}) {
    std::optional<Descriptor> d = ParseDescriptor(token);
    got.push_back("descriptor " + Visible(token) + (d ? ": step " + std::to_string(d->step) + " position " + std::to_string(d->position) : ": refused"));
  }
  for (const char* line : {"DATA TYPE=CONC\r\n", "DATA TYPE=CONC\n", "data type=conc\r\n", "CORRECTION=ON\r\n",
                           "HEADER INFO=ON\r\n", "TABLE TYPE=POINT\r\n", "ADDITIONAL=COUNT\r\n", "ADDITIONAL=RSD",
                           "HEADER COLS= 12 \r\n", "HEADER COLS=x\r\n", "HEADER COLS=99999999999\r\n", "HEADER COLS =3\r\n"}) {
    TableSettings s;
    const bool key = ApplyKeyLine(s, line);  // before Settings(s) reads it
    got.push_back("key line " + Visible(line) + (key ? ": " : ": no key, ") + Settings(s));
  }
  const std::string cols = "<HEADER COLS>\r\nA\tB\r\n</HEADER COLS>\r\n";
  for (const std::string& text :
       {Block("", "", "Li / 7[#1]\r\n"), Block("HEADER INFO=ON\r\n", cols, ""), Block("HEADER INFO=ON\r\n", "", ""),
        Block("HEADER INFO=ON\r\n<HEADER COLS>\r\n", "", ""), Block("HEADER INFO=ON\r\nHEADER INFO=OFF\r\n", "", ""),
        Block("", "</DATA COLS>\r\n", ""), "<CONFIG>\r\nDATA TYPE=CPS\r\n"s, "<CONFIG>\n</CONFIG>\r\n<DATA COLS>\r\n</DATA COLS>\r\n"s,
        "<CONFIG>\r\n</CONFIG>\r\n<DATA COLS>\r\nLi / 7[#1]\r\n"s, "<CONFIG>\r\n</CONFIG>\r\n"s, ""s, "DATA TYPE=CONC\r\n" + Block("DATA TYPE=CONC\r\nTABLE TYPE=POINT\r\nDATA TYPE=CPS\r\n", "ADDITIONAL=RSD\r\n", "")}) {
    std::optional<TableLayout> l = ReadLayout(text);
    got.push_back("block " + Visible(text) + ": " + (l ? Settings(l->settings) + ", " + std::to_string(l->columns) + " columns" : "refused"));
  }
  for (const std::string& text :
       {"ab\r\n</DATA TABLE>\r\n"s, "ab\r\n</DATA TABLE>\r\n\r\n"s, "</DATA TABLE>\r\n" + std::string(5000, 'x'),
        "</DATA TABLE>\r\n" + std::string(4090, 'x'), "</DATA TABLE>\r\n" + std::string(4094, 'x'),
        "ab\r\n</DATA TABLE>\r\nx>"s, "ab\r\n</DATA TABLE>\n"s, "ab\r\n</DATA TABLE>"s, "DATA TABLE>\r\n"s, ""s}) {
    MemorySource source(std::vector<std::uint8_t>(text.begin(), text.end()));
    auto at = FindClosingLine(source, text.size());
    got.push_back("table " + Visible(text) + (at ? ": closing line at " + std::to_string(*at) : ": no closing line"));
  }
  EXPECT_EQ(got, Golden("table_layout.txt"));
}

using Files = std::map<std::string, Bytes>;

Row RowOf(const std::string& keys, const std::string& descriptors, const Files& files, const std::string& dir = "D") {
  std::optional<TableLayout> l = ReadLayout(Block(keys, "<HEADER COLS>\r\n</HEADER COLS>\r\n", descriptors + "\r\n"));
  EXPECT_TRUE(l);
  return l ? ComputeRow(*l, dir, [&files](const std::string& path) -> std::unique_ptr<ByteSource> {
    auto it = files.find(path);
    return it == files.end() ? nullptr : std::make_unique<MemorySource>(it->second.data());
  }) : Row{};
}

TEST(TableRow, Rows) {
  // Groups: remainders 9 and 10 round down to mass 7, 11 up to 8; mass 7 comes back later and that group
  // replaces the first. Points: positions x - 11, 7.00 is position 129, 7.45 is 138; mass 265 goes nowhere.
  const Files groups = {{"D\\data01.icp", DataFile({}, {{149, 1, 10}, {150, 1, 30}, {151, 2, 50}, {160, 1, 7},
                                                        {140, 0.5f, 3}, {5300, 1, 9}})}};
  std::vector<Point> run(1700, Point{140, 1, 1});  // one mass longer than one read of points
  run.back().counts = 1701;
  // Files that claim more or fewer points, entries or results than they hold, or are cut.
  const std::vector<Entry> entries = {{7, 100, 10, 1}};
  const std::vector<Point> points = {{140, 1, 100}, {160, 1, 8}, {180, 1, 9}};
  const Bytes whole = DataFile(entries, points), quant = QuantFile({{7, 1, 1.5f, "ppb", 0, 0}, {8, 1, 2.5f, "ppb", 0, 0}});
  auto data = [](const Bytes& b) { return Files{{"D\\data01.icp", b}}; };
  auto conc = [&](const Bytes& q) { return Files{{"D\\data01.icp", whole}, {"D\\quant.01", q}}; };
  // A number is never cut: too long, the cell stays empty and so does its additional value. Integration time
  // 0 gives no number. Steps whose file is missing are passed over; with none the row is made, and fails.
  const Files cells = {{"D\\data01.icp", DataFile({}, {{140, 1, 1e20f}, {160, 1, 1e30f}, {180, 0, 1}, {200, 1, 1e28f},
                                                       {220, std::ldexp(1.0f, -70), 1}, {240, std::ldexp(1.0f, -74), 1}})},
                       {"D\\data03.icp", DataFile({}, {{140, 4, 1}})}, {"D\\data07.icp", DataFile({}, {{140, 1, 99}})}};
  // A descriptor line far longer than one read, a title, empty tokens, two descriptors of one place (the later
  // wins); a point one place past step 3's last position has no column (step 4's first is not its).
  std::string wide = "Title\tLi / 7[#1]\r\n\t\r\n";
  for (int m = 1; m <= 260; ++m) wide += "E" + std::to_string(m) + " / " + std::to_string(m) + ".50[#3]\t\t";
  wide += "\r\nBe / 9[#2]\tLi / 7.00[#1]\tX / 0.55[#4]";
  const Files longLine = {{"D\\data01.icp", DataFile({}, {{140, 1, 1}})}, {"D\\data02.icp", DataFile({}, {{180, 1, 2}})},
                          {"D\\data03.icp", DataFile({}, {{2610, 1, 3}, {5210, 1, 4}, {5211, 1, 5}})}};
  const std::string a3 = "A / 7[#1]\tA / 8[#1]\tA / 9[#1]", a6 = a3 + "\tA / 10[#1]\tA / 11[#1]\tA / 12[#1]",
                    a8 = a6 + "\tA / 7[#3]\tA / 7[#2]", rsd = "ADDITIONAL=RSD\r\n", concKey = "DATA TYPE=CONC\r\n";
  const struct { const char* name; std::string keys, cols; Files files; std::string dir = "D"; } cases[] = {
      {"groups", "", "X / 8[#1]\tX / 7[#1]\tX / 9[#1]", groups},
      {"points", "TABLE TYPE=POINT\r\n", "X / 7.45[#1]\tX / 7[#1]\tX / 7.55[#1]\tX / 8[#1]", groups},
      {"long run", "", "X / 7[#1]", data(DataFile({}, run))}, {"complete", rsd, a3, data(whole)},
      {"points cut", rsd, a3, data(Bytes(whole).resize(whole.size() - 4))}, {"negative point count", rsd, a3, data(DataFile(entries, points, {}, -3))},
      {"negative entry count", rsd, a3, data(DataFile(entries, points, -1))}, {"entries past the end", rsd, a3, data(DataFile(entries, points, 30000))},
      {"header short", "HEADER INFO=ON\r\n", a3, data(Bytes(whole).resize(511))},
      {"quant more claimed", concKey, a3, conc(Bytes(quant).i32(938, 1000000))},
      {"quant not present", concKey, a3, conc(Bytes(quant).i32(1350, 0))}, {"quant count 0", concKey, a3, conc(Bytes(quant).i32(938, 0))},
      {"quant count 1", concKey, a3, conc(Bytes(quant).i32(938, 1))},
      {"cells", "ADDITIONAL=COUNT\r\n", a8, cells}, {"no files", "", a8, {}}, {"conc without quant", concKey, a8, cells},
      {"no columns", "", "", {}}, {"long descriptor line", "TABLE TYPE=POINT\r\n", wide, longLine},
      {"corrected", "CORRECTION=ON\r\n", "A / 7[#1]", {{"X\\S.D\\data01.icp", DataFile({}, {{140, 1, 1}})},
                                                      {"X\\S.D\\S.D#\\data01.icp", DataFile({}, {{140, 1, 2}})}}, "X\\S.D"}};
  std::vector<std::string> got;
  auto report = [&got](const std::string& name, const Row& r) {
    const char* failures[] = {"ok", "no quantitation results", "no data header", "no memory"};
    EXPECT_EQ(r.line.substr(r.line.size() - 2), "\r\n") << name;
    got.push_back(name + ": " + failures[int(r.failure)] + " " + Visible(r.line.substr(0, r.line.size() - 2)));
  };
  for (const auto& c : cases) report(c.name, RowOf(c.keys, c.cols, c.files, c.dir));
  // Every additional value of both data types; points look the mass table up by their own position.
  std::vector<Point> each;
  for (int m = 7; m <= 12; ++m) each.push_back({static_cast<std::uint16_t>(20 * m), 0.5f, 20.0f * m});
  const Files additional = {
      {"D\\data01.icp", DataFile({{7, 200, 5, 0}, {8, 50, 2, 1}, {9, 0, 1, 9}, {10, 4, 1, 100}, {11, 4, 1, 3}, {7, 1, 1, 1}}, each)},
      {"D\\quant.01", QuantFile({{7, 1234.5f, 2.5f, "ppb", 0.05f, 0}, {8, 10, 0, "ug/L", 1, 1}, {9, 10, 4, "", 1, 9},
                                 {10, 10, -4, std::string(18, 'u'), 1, 100}, {11, 10, 1, "%", 1, 7}})}};
  for (std::string add : {"NONE", "DETECTOR", "CPS", "RSD", "UNIT", "COUNT"})
    for (auto [kind, type] : {std::pair{"cps", ""}, {"point", "TABLE TYPE=POINT\r\n"}, {"conc", concKey.c_str()}})
      report(add + " " + kind, RowOf("ADDITIONAL=" + add + "\r\n" + type, a6, additional));
  // Header texts stop at their width less one, never inside a double-byte character; a tab would split the row
  // and becomes a blank. Then the header numbers by ratio, extra factor, multiplier and divisor.
  Bytes h = DataFile({}, {});
  h.text(25, std::string(61, 'n')).text(87, "info\twith tab").text(149, std::string(27, 'o') + kHyo, 29);
  h.text(179, "M" + kHyo + "x", 29).text(209, "24/05/20 extra").text(229, "10:12:40").i16(254, -3);
  h.f32(356, 3).f32(364, 2).f32(318, 10);
  const struct { std::int32_t ratio; std::int16_t extra; float multiplier, below; } headers[] = {
      {0, 0, 2.5f, 4}, {1, 0, 2.5f, 4}, {1, 1, 2.5f, 4}, {0, 1, 0, 4}, {2, 0, -1, 4}, {0, 0, NAN, 4}, {0, 2, 12345, 4},
      {0, 1, 1e38f, 4}, {1, 1, 1e38f, 0}};
  for (const auto& c : headers)
    report("header " + std::to_string(&c - headers), RowOf("HEADER INFO=ON\r\n", "", data(h.i32(380, c.ratio).i16(316, c.extra)
                                                                                              .f32(312, c.multiplier).f32(360, c.below))));
  EXPECT_EQ(got, Golden("table_rows.txt"));
  // The corrected data set's folder: the second byte of a double-byte character is no separator.
  for (auto [dir, from] : {std::pair<std::string, std::string>{"X\\S.D\\", "X\\S.D\\S.D#"}, {"C:S.D", "C:S.D\\S.D#"},
                           {"C:\\d/S.D", "C:\\d/S.D\\S.D#"}, {"C:\\d\\" + kHyo, "C:\\d\\" + kHyo + "\\" + kHyo + "#"}})
    EXPECT_EQ(ReadingDirectory(dir, true), from) << dir;
  EXPECT_EQ(ReadingDirectory("X\\S.D\\", false) + " " + HeaderNumber(-INFINITY), "X\\S.D\\ 1.175E-38");
  // Two decimals on the exact binary value, exact ties away from zero, past the whole-number shortcut (1e15).
  for (auto [v, text] : {std::pair{0.125, "0.13"}, {-0.125, "-0.13"}, {2.675, "2.67"}, {-0.004, "-0.00"}, {NAN, "nan"},
                         {999999999999999.9, "999999999999999.88"}, {4503599627370495.5, "4503599627370495.50"}})
    EXPECT_EQ(FormatFixed(v, 2), text) << v;
  EXPECT_EQ(FormatFixed(0.03125, 4), "0.0313");
}

}  // namespace
