// Sequence rows through the two row words, on sequences laid down byte by
// byte (the header's fields and the sample's rows are tests/calls/sequence.calls).
#include "instwords.h"

namespace mcrtest {
namespace {

constexpr std::size_t kRow = 1909, kHdr = 1034;

struct RowDef { std::int32_t type; std::string path, keyword; std::int32_t extensions; };
// The header, a gap, then the rows with their extension entries; rowAt[i] is where row i starts.
struct Sequence { Bytes b; std::vector<std::size_t> rowAt; };

Sequence MakeSequence(const std::vector<RowDef>& rows, std::size_t gap = 40, std::optional<std::int32_t> count = {}) {
  Sequence s{Bytes(kHdr + gap, 0x77), {}};
  s.b.u8(0, 4).text(1, "water run").u32(630, 1).u32(634, 5);
  s.b.i32(614, count.value_or(static_cast<std::int32_t>(rows.size()))).i32(618, static_cast<std::int32_t>(kHdr + gap));
  for (const RowDef& r : rows) {
    s.rowAt.push_back(s.b.size());
    s.b.append(Bytes(kRow, static_cast<std::uint8_t>(0x30 + s.rowAt.size()))
                   .i32(4, r.type).text(277, r.path).text(1035, r.keyword).i32(1625, r.extensions));
    if (r.extensions > 0) s.b.append(Bytes(34 * static_cast<std::size_t>(r.extensions), 0xE5));
  }
  return s;
}

TEST_F(InstWords, MethodPathOfSequenceRows) {
  const std::vector<RowDef> rows = {
      {1, "C:\\old\\one\\", "", 2}, {6, "C:\\kw\\", "QC", 0}, {1, "", "", -3}, {2, "C:\\x\\", "", 1}};
  std::string seq = dir_.file("a.seq");
  struct Way { Arg path, row; std::vector<std::size_t> changed; std::string stored; int enabled; } ways[] = {
      {S("E:\\m"), Omit(), {0, 2, 3}, "E:\\m\\", 1}, {S("E:\\m\\"), N(351), {0, 2, 3}, "E:\\m\\", 1},
      {S("E:\\m"), N(3), {2}, "E:\\m\\", 1}, {S("E:\\m"), N(2), {}, "", 5},  // row 2 is a keyword row
      {S(""), N(3), {0, 2, 3}, "", 0},  // an empty path ignores the row
      {S(std::string(261, 'p')), N(1), {0}, std::string(259, 'p') + "\\", 1},  // the widest path the row holds
  };
  for (const Way& w : ways) {
    Sequence s = MakeSequence(rows);
    Snapshot before = Save(s.b, seq);
    Ok(Call("SeqRpcMPath", {S(seq), w.path, w.row}));
    Bytes want = s.b;
    for (std::size_t i : w.changed) want.text(s.rowAt[i] + 277, w.stored);
    EXPECT_TRUE(Bytes::Load(seq) == want.u32(634, static_cast<std::uint32_t>(w.enabled))) << w.stored.size();
    if (w.changed.empty()) ExpectUnchanged(before);
  }
  // Rows end early: refused, the file as it was, unless the row asked for comes first.
  Sequence s = MakeSequence(rows, 40, 9);
  Snapshot before = Save(s.b, seq);
  Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
  ExpectUnchanged(before);
  Ok(Call("SeqRpcMPath", {S(seq), S("E:\\m"), N(1)}));
  EXPECT_TRUE(Bytes::Load(seq) == s.b.text(s.rowAt[0] + 277, "E:\\m\\").u32(634, 1));
  before = Save(Bytes(kHdr - 1), seq);
  Err(Call("SeqRpcMPath", {S(seq), S("E:\\m")}), Msg(1016));
  ExpectUnchanged(before);
}

// The rows follow the header directly, whatever its count and first-row
// offset say; a keyword counts in a keyword row only. The rows end exactly
// where a 64 KB read-ahead block ends: the read after the last row finds the
// end of the file, not a failed read.
TEST_F(InstWords, KeywordRowSearchToABlockEnd) {
  std::vector<RowDef> rows(28, {1, "", "", 0});
  rows[0] = {1, "", "LAST", 325};  // 1034 + 28 * 1909 + 325 * 34 = 65536
  rows[27] = {6, "", "Last", 0};
  Sequence s = MakeSequence(rows, 0, 0);
  ASSERT_EQ(s.b.size(), 65536u);
  std::string seq = dir_.file("a.seq");
  Save(s.b.i32(618, 99999), seq);
  for (auto [keyword, row] : {std::pair{"last", 28}, {"none", 0}}) {
    Ok(Call("SeqFindKwd", {S(seq), S(keyword), N(1), S("k")}));
    EXPECT_EQ(Num("K"), row) << keyword;
  }
}

}  // namespace
}  // namespace mcrtest
