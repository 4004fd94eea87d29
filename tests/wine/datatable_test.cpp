// DATATABLE as a macro calls it: tables created from the program directory's dataview.cfg and rows appended
// from data directories laid down byte by byte, checked as whole files; every failure reported through the two
// variables and the raised text with status 0, and the table left as it should be (the rows: the native suite).
#include "testhost.h"
#include "tablefixtures.h"

namespace mcrtest {
namespace {

using namespace tfx;
using DataTable = InstWords;

TEST_F(DataTable, CreateAndAppend) {
  host_->vars().setString("_EXEPATH$", dir_.path() + "\\");
  const std::string config = dir_.file("dataview.cfg"), path = dir_.file("table.txt"), gone = "(no file)";
  auto put = [&gone](const std::string& file, const std::string& text, DWORD attributes) {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
    if (text != gone) { EXPECT_TRUE(Bytes(0).put(0, text.data(), text.size()).save(file)) << file; }
    SetFileAttributesA(file.c_str(), attributes);
  };
  auto dir = [&](const std::string& name, const std::vector<std::pair<std::string, Bytes>>& files) {
    CreateDirectoryA(dir_.file(name).c_str(), nullptr);
    for (const auto& [file, bytes] : files) EXPECT_TRUE(bytes.save(dir_.file(name + "\\" + file))) << file;
    return dir_.file(name);
  };
  const std::string info = Config("HEADER INFO=ON\r\nHEADER COLS=10\r\nADDITIONAL=DETECTOR\r\n",
                                  "Li / 7[#1]\tTitle\tCo / 59[#2]\r\nBe / 9[#1]\r\n"),
                    plain = Config("", "Li / 7[#1]\r\n"), noQuant = Config("DATA TYPE=CONC\r\n", "Li / 7[#1]\r\n"),
                    noHeaderCols = "<CONFIG>\r\nHEADER INFO=ON\r\n</CONFIG>\r\n<DATA COLS>\r\n</DATA COLS>\r\n", old = "an older table\r\n";
  const Bytes first = DataFile({{7, 100, 1, 0}, {9, 50, 1, 1}}, {{139, 0.5f, 40}, {140, 0.5f, 60}, {180, 1, 25}}).text(25, "Std 1"),
              data = DataFile({}, {{140, 1, 3}});
  const std::string s = dir("S.D", {{"data01.icp", first}, {"data02.icp", DataFile({{59, 10, 1, 100}}, {{1180, 0.25f, 5}})}}),
                    t = dir("T.D", {{"data02.icp", DataFile({{59, 10, 1, 100}}, {{1180, 1, 7}})}}), none = dir("none", {}),
                    data00 = dir("zero", {{"data00.icp", data}}), data07 = dir("seven", {{"data07.icp", data}}),
                    rowS = s + "\tStd 1\t\t\t\t\t\t0\t1.000\t\t1.000\t100.00{P}\t\t20.00{M}\t25.00{A}\t\r\n",
                    rowT = t + "\t\t\t\t\t\t\t0\t1.000\t\t1.000\t\t\t7.00{M}\t\t\r\n";
  auto table = [](const std::string& block, const std::string& rows) { return block + "<DATA TABLE>\r\n" + rows + "</DATA TABLE>\r\n"; };
  auto call = [&](const char* op, const std::string& dir) { return std::vector<Arg>{S(op), S(path), S(dir)}; };
  // The configuration and the table laid down first (nullopt: as they are; the table read-only), the call, the
  // message it fails with (0: none), and the table afterwards.
  const struct { const char* what; std::optional<std::string> config, table; std::vector<Arg> args; int id;
                 std::string after; bool readOnly = true; } steps[] = {
      {"no configuration file", gone, old, {S("CREATE"), S(path)}, 1045, old},
      // The old table has been removed before the configuration is read.
      {"no </DATA COLS> line", "<CONFIG>\r\n</DATA COLS>\n", old, {S("CREATE"), S(path)}, 1045, gone},
      {"a folder that is not there", info, {}, {S("CREATE"), S(dir_.file("missing\\table.txt"))}, 1046, gone},
      // The block up to its first </DATA COLS> line; the operation in any case.
      {"created", info + "after the block\r\n</DATA COLS>\r\n", old, {S("create"), S(path)}, 0, table(info, "")},
      {"first row", {}, {}, call("APPEND", s), 0, table(info, rowS)},
      {"second row", {}, {}, call("append", t), 0, table(info, rowS + rowT)},
      // Whatever followed the closing line goes, so that it stays the last line.
      {"after the closing line", {}, table(info, "") + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", call("Append", t), 0, table(info, rowT)},
      // The data directory is checked before the table; data0?.icp matches data00 and data07, but neither is a
      // step's file: the row is written, empty, and the call fails.
      {"no data, no table", plain, gone, call("APPEND", none), 1052, gone}, {"no table", {}, gone, call("APPEND", s), 1049, gone},
      {"no data", {}, table(plain, ""), call("APPEND", none), 1052, table(plain, "")},
      {"data00 only", {}, table(plain, ""), call("APPEND", data00), 1052, table(plain, data00 + "\t\t\r\n")},
      {"data07 only", {}, table(plain, ""), call("APPEND", data07), 1052, table(plain, data07 + "\t\t\r\n")},
      {"no quantitation", {}, table(noQuant, ""), call("APPEND", s), 1050, table(noQuant, s + "\t\t\r\n")},
      // Refused before the write: unchanged, but no longer read-only.
      {"closing line without CR LF", {}, plain + "<DATA TABLE>\r\n</DATA TABLE>", call("APPEND", s), 1048,
       plain + "<DATA TABLE>\r\n</DATA TABLE>", false},
      {"header info without header columns", {}, table(noHeaderCols, ""), call("APPEND", s), 1048, table(noHeaderCols, ""), false},
      {"no folder named", {}, table(plain, ""), {S("append"), S(path), Omit()}, 1008, table(plain, "")}};  // the sweep omits the others
  for (const auto& c : steps) {
    SCOPED_TRACE(c.what);
    if (c.config) put(config, *c.config, FILE_ATTRIBUTE_NORMAL);
    if (c.table) put(path, *c.table, FILE_ATTRIBUTE_READONLY);
    // Status 0 whatever happens; on failure both variables and the raised text say so, on success they are reset.
    host_->vars().setNumber("_ERR_DATATABLE", 7);
    host_->vars().setString("_MSG_DATATABLE$", "stale");
    Outcome o = Call("DATATABLE", c.args);
    const std::string message = c.id ? U(Msg(c.id)) : "";
    EXPECT_EQ(std::pair(o.status, Num("_ERR_DATATABLE")), std::pair(std::uint16_t(0), c.id ? 1.0 : 0.0));
    EXPECT_EQ(U(StrVar(*host_, "_MSG_DATATABLE$")), message);
    EXPECT_EQ(o.raised.empty() ? "" : o.error() ? U(*o.error()) : "?", message);
    const Bytes b = Bytes::Load(path);
    DWORD a = GetFileAttributesA(path.c_str());
    EXPECT_EQ(a == INVALID_FILE_ATTRIBUTES ? gone : std::string(b.data().begin(), b.data().end()), c.after);
    if (c.after != gone) { EXPECT_EQ((a & FILE_ATTRIBUTE_READONLY) != 0, c.readOnly); }
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace mcrtest
