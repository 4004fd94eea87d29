// SeqRpcMPath on sequences laid down byte by byte: a 1034-byte header whose
// row count and first-row offset it follows, rows of 1909 bytes (type at 4,
// method path at 277, extension count at 1625, 34 bytes an entry after the
// row). The path and row chosen: tests/native/instlayout_test.cpp.
#include "testhost.h"

namespace mcrtest {
namespace {

TEST_F(InstWords, MethodPathOfSequenceRows) {
  // A row (2) with entries, a keyword row, one with a negative count of them (none), one with one.
  const std::pair<std::int32_t, std::int32_t> rows[] = {{1, 2}, {6, 0}, {1, -3}, {2, 1}};  // type, entries
  Bytes seq = Bytes(1074, 0x77).i32(614, 4).i32(618, 1074).u32(634, 5);  // the rows after a gap; paths enabled: 5
  std::size_t at[4];
  for (std::size_t i = 0; i < 4; ++i) {
    at[i] = seq.size();
    seq.append(Bytes(1909, 0x31).i32(4, rows[i].first).text(277, "C:\\old\\").i32(1625, rows[i].second));
    seq.append(Bytes(34 * std::max(rows[i].second, 0), 0xE5));
  }
  const std::string path = dir_.file("a.seq");
  struct Way { Arg path, row; std::vector<std::size_t> changed; std::string stored; int enabled; } ways[] = {
      {S("E:\\m"), Omit(), {0, 2, 3}, "E:\\m\\", 1}, {S("E:\\m"), N(3), {2}, "E:\\m\\", 1},
      {S("E:\\m"), N(2), {}, "", 5},  // row 2 is a keyword row: nothing written
      {S(""), N(3), {0, 2, 3}, "", 0},  // an empty path ignores the row
  };
  for (const Way& w : ways) {
    Snapshot before = Save(seq, path);
    Ok(Call("SeqRpcMPath", {S(path), w.path, w.row}));
    Bytes want = Bytes(seq).u32(634, static_cast<std::uint32_t>(w.enabled));
    for (std::size_t i : w.changed) want.text(at[i] + 277, w.stored);
    if (w.changed.empty()) ExpectUnchanged(before);
    else EXPECT_TRUE(Bytes::Load(path) == want) << w.stored << " " << w.changed.size();
  }
  // Rows that end before the count are refused, the file as it was, unless
  // the row asked for comes first; so is a header cut short.
  for (const Bytes& bad : {Bytes(1033), Bytes(seq).i32(614, 9)}) {
    Snapshot before = Save(bad, path);
    Outcome o = Call("SeqRpcMPath", {S(path), S("E:\\m")});
    EXPECT_EQ(U(o.error() ? *o.error() : ""), U(Msg(1016)));
    ExpectUnchanged(before);
  }
  Ok(Call("SeqRpcMPath", {S(path), S("E:\\m"), N(1)}));
  EXPECT_TRUE(Bytes::Load(path) == Bytes(seq).i32(614, 9).text(at[0] + 277, "E:\\m\\").u32(634, 1));
}

}  // namespace
}  // namespace mcrtest
