// DATATABLE as a macro calls it: tables created from the program
// directory's dataview.cfg and rows appended from data directories laid
// down byte by byte, checked as whole files; every failure reported through
// the two variables and the raised text with status 0, and the table left
// as it should be.
#include "instwords.h"
#include "tablefixtures.h"

namespace mcrtest {
namespace {

using namespace tfx;

constexpr char kTableLines[] = "<DATA TABLE>\r\n</DATA TABLE>\r\n";

class DataTable : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    host_->vars().setString("_EXEPATH$", dir_.path() + "\\");
  }
  void TearDown() override { SetFileAttributesA(table_.c_str(), FILE_ATTRIBUTE_NORMAL); }

  // One call: status 0 whatever happens; on failure (id) both variables
  // and the raised text say so, on success they are reset.
  void Expect(const std::vector<Arg>& args, int id) {
    host_->vars().setNumber("_ERR_DATATABLE", 7);
    host_->vars().setString("_MSG_DATATABLE$", "stale");
    Outcome o = Call("DATATABLE", args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Num("_ERR_DATATABLE"), id ? 1 : 0);
    EXPECT_EQ(U(StrVar(*host_, "_MSG_DATATABLE$")), id ? U(Msg(id)) : "");
    if (!id) {
      EXPECT_TRUE(o.raised.empty());
      return;
    }
    ASSERT_NE(o.error(), nullptr);
    EXPECT_EQ(U(*o.error()), U(Msg(id)));
  }
  void Create(int id = 0) { Expect({S("CREATE"), S(table_)}, id); }
  void Append(const std::string& dir, int id = 0) { Expect({S("APPEND"), S(table_), S(dir)}, id); }

  void SaveConfig(const std::string& text) { ASSERT_TRUE(Bytes(0).put(0, text.data(), text.size()).save(config_)); }
  void SaveTable(const std::string& text, DWORD attributes = FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(table_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(Bytes(0).put(0, text.data(), text.size()).save(table_));
    SetFileAttributesA(table_.c_str(), attributes);
  }
  std::string Table() const {
    const Bytes b = Bytes::Load(table_);
    return std::string(b.data().begin(), b.data().end());
  }
  bool ReadOnly() const {
    DWORD a = GetFileAttributesA(table_.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
  }
  // A data directory under the test's folder with its files.
  std::string Dir(const std::string& name, const std::vector<std::pair<std::string, Bytes>>& files) {
    std::string dir = dir_.file(name);
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const auto& [file, bytes] : files) {
      std::string path = dir + "\\" + file;
      CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
      EXPECT_TRUE(bytes.save(path)) << path;
    }
    return dir;
  }

  std::string config_ = dir_.file("dataview.cfg"), table_ = dir_.file("table.txt");
};

TEST_F(DataTable, CreateCopiesTheConfigurationBlock) {
  const std::string block = Config("HEADER INFO=ON\r\n", "Li / 7[#1]\r\n");
  SaveConfig(block + "after the block\r\n</DATA COLS>\r\n");
  SaveTable("an older table\r\n");
  Expect({S("create"), S(table_)}, 0);
  EXPECT_EQ(Table(), block + kTableLines);
  EXPECT_TRUE(ReadOnly());
}

TEST_F(DataTable, CreateFailures) {
  const std::string old = "an older table\r\n";
  const struct { const char* what; std::optional<std::string> config; int id; bool oldStays; } cases[] = {
      {"no configuration file", std::nullopt, 1045, true},
      // The old table has been removed before the configuration is read.
      {"no </DATA COLS> line", "<CONFIG>\r\n</DATA COLS>\n", 1045, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(config_.c_str());
    if (c.config) SaveConfig(*c.config);
    SaveTable(old);
    Create(c.id);
    EXPECT_EQ(GetFileAttributesA(table_.c_str()) != INVALID_FILE_ATTRIBUTES, c.oldStays);
    if (c.oldStays) {
      EXPECT_EQ(Table(), old);
    }
  }
  SaveConfig(Config("", ""));
  Expect({S("CREATE"), S(dir_.file("missing\\table.txt"))}, 1046);
  // An old table another program holds open cannot be removed (sharing violation).
  SaveTable(old, FILE_ATTRIBUTE_NORMAL);
  HANDLE held = CreateFileA(table_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Create(1046);
  CloseHandle(held);
  EXPECT_EQ(Table(), old);
}

TEST_F(DataTable, AppendedRowsWholeFile) {
  const std::string block = Config("HEADER INFO=ON\r\nHEADER COLS=10\r\nADDITIONAL=DETECTOR\r\n",
                                   "Li / 7[#1]\tTitle\tCo / 59[#2]\r\nBe / 9[#1]\r\n");
  SaveConfig(block);
  Create();
  Bytes first = DataFile({{7, 100, 1, 0}, {9, 50, 1, 1}}, {{139, 0.5f, 40}, {140, 0.5f, 60}, {180, 1, 25}});
  first.text(25, "Std 1").text(87, "mix").text(149, "Sato").text(179, "DEMO.M").text(209, "24/05/20");
  first.text(229, "10:12:40").i16(254, 3).f32(312, 2.5f);
  std::string s = Dir("S.D", {{"data01.icp", first}, {"data02.icp", DataFile({{59, 10, 1, 100}}, {{1180, 0.25f, 5}})}});
  std::string t = Dir("T.D", {{"data02.icp", DataFile({{59, 10, 1, 100}}, {{1180, 1, 7}})}});
  Append(s);
  Append(t);
  EXPECT_EQ(Table(), block + "<DATA TABLE>\r\n" +
                         s + "\tStd 1\tmix\tSato\tDEMO.M\t24/05/20\t10:12:40\t3\t2.500\t\t2.500\t100.00{P}\t\t20.00{M}\t25.00{A}\t\r\n" +
                         t + "\t\t\t\t\t\t\t0\t1.000\t\t1.000\t\t\t7.00{M}\t\t\r\n</DATA TABLE>\r\n");
  EXPECT_TRUE(ReadOnly());
  // Whatever followed the closing line goes, so that it stays the last line.
  SaveTable(block + "<DATA TABLE>\r\n</DATA TABLE>\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  Append(t);
  EXPECT_EQ(Table(), block + "<DATA TABLE>\r\n" + t + "\t\t\t\t\t\t\t0\t1.000\t\t1.000\t\t\t7.00{M}\t\t\r\n</DATA TABLE>\r\n");
}

TEST_F(DataTable, AppendFailures) {
  const std::string block = Config("", "Li / 7[#1]\r\n"), empty = block + kTableLines;
  SaveConfig(block);
  const Bytes data = DataFile({}, {{140, 1, 3}});
  const std::string good = Dir("S.D", {{"data01.icp", data}}), none = Dir("none", {});
  const std::string data00 = Dir("zero", {{"data00.icp", data}}), data07 = Dir("seven", {{"data07.icp", data}});
  const std::string noQuant = block.substr(0, 10) + "DATA TYPE=CONC\r\n" + block.substr(10);
  const struct {
    const char* what;
    std::optional<std::string> table;
    std::string dir;
    int id;
    std::string after;  // the table's text afterwards
    bool readOnly;
  } cases[] = {
      // The data directory is checked before the table.
      {"no data, no table", std::nullopt, none, 1052, "", false},
      {"no table", std::nullopt, good, 1049, "", false},
      {"no data", empty, none, 1052, empty, true},
      // data0?.icp matches data00 and data07, but neither is a step's file:
      // the row is written, empty, and the call fails.
      {"data00 only", empty, data00, 1052, block + "<DATA TABLE>\r\n" + data00 + "\t\t\r\n</DATA TABLE>\r\n", true},
      {"data07 only", empty, data07, 1052, block + "<DATA TABLE>\r\n" + data07 + "\t\t\r\n</DATA TABLE>\r\n", true},
      {"no quantitation", noQuant + kTableLines, good, 1050,
       noQuant + "<DATA TABLE>\r\n" + good + "\t\t\r\n</DATA TABLE>\r\n", true},
      // Refused before the write: unchanged, but no longer read-only.
      {"closing line without CR LF", block + "<DATA TABLE>\r\n</DATA TABLE>", good, 1048,
       block + "<DATA TABLE>\r\n</DATA TABLE>", false},
      {"header info without header columns", "<CONFIG>\r\nHEADER INFO=ON\r\n</CONFIG>\r\n<DATA COLS>\r\n</DATA COLS>\r\n" + std::string(kTableLines),
       good, 1048, "<CONFIG>\r\nHEADER INFO=ON\r\n</CONFIG>\r\n<DATA COLS>\r\n</DATA COLS>\r\n" + std::string(kTableLines), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetFileAttributesA(table_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(table_.c_str());
    if (c.table) SaveTable(*c.table);
    Append(c.dir, c.id);
    if (!c.table) {
      EXPECT_EQ(GetFileAttributesA(table_.c_str()), INVALID_FILE_ATTRIBUTES);
      continue;
    }
    EXPECT_EQ(Table(), c.after);
    EXPECT_EQ(ReadOnly(), c.readOnly);
  }
  // The operation in any case; APPEND's table and folder are required.
  Expect({S("Append"), Omit(), S(good)}, 1008);
  Expect({S("append"), S(table_), Omit()}, 1008);
  // A table another program holds open.
  SaveTable(empty, FILE_ATTRIBUTE_NORMAL);
  HANDLE held = CreateFileA(table_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Append(good, 1048);
  CloseHandle(held);
  EXPECT_EQ(Table(), empty);
}

}  // namespace
}  // namespace mcrtest
