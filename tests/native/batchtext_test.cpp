// The texts the batch commands build for the data-analysis task.
#include <gtest/gtest.h>

#include "batch/batchtext.h"

namespace {

// "ソ" in Shift-JIS: its second byte is the backslash's.
const std::string kSo = "\x83\x5C";

TEST(BatchText, ImportSourceFromSettings) {
  struct Case { std::string doImport, methodOnly, path, xml, source; bool import, methodAndData; } cases[] = {
      {"1", "0", "C:\\b", "run.batch.xml", "C:\\b\\QuantResults\\run.batch.xml", true, true},
      {"1", "1", "C:\\b\\", "RUN.BATCH.XML", "C:\\b\\QuantResults\\RUN.BATCH.XML", true, false},
      {"", "", "", "x.batch.xml", "\\QuantResults\\x.batch.xml", true, false},  // "" is not "0"
      {"0", "0", "C:\\cal", "std.c", "C:\\cal\\std.c", false, true},
      {"1", "0", "", "A.C", "\\A.C", true, true},
      // Neither suffix: the folder as read and no import whatever DoImport says.
      {"1", "0", "C:\\b\\", "run.xml", "C:\\b\\", false, true},
      {"1", "0", "C:\\b", "x.batch.xml.bak", "C:\\b", false, true},
      // A folder ending in a double-byte character still gets its backslash.
      {"1", "0", "C:\\" + kSo, "r.batch.xml", "C:\\" + kSo + "\\QuantResults\\r.batch.xml", true, true},
  };
  for (const Case& c : cases) {
    mcr::BatchImport b = mcr::ImportFromSettings(c.doImport, c.methodOnly, c.path, c.xml);
    EXPECT_EQ(b.source, c.source) << c.path << " + " << c.xml;
    EXPECT_EQ(b.import, c.import) << c.doImport << " " << c.xml;
    EXPECT_EQ(b.methodAndData, c.methodAndData) << c.methodOnly;
  }
}

TEST(BatchText, QcRequest) {
  struct Case { std::string dir, result, check; std::vector<std::string> names; std::string text; } cases[] = {
      {"C:\\b", "run.batch.xml", "QC", {"s1", "s2"}, "C:\\b\\QuantResults\\run.qc.xml\tQC\ts1\ts2"},
      {"C:\\b\\", "RUN.Batch.XML", "", {"s1"}, "C:\\b\\QuantResults\\RUN.qc.xml\t\ts1"},
      {kSo, ".batch.xml", "QC", {kSo}, kSo + "\\QuantResults\\.qc.xml\tQC\t" + kSo},
      // Only a final ".batch.xml" is replaced.
      {"d", "a.batch.xml.old", "QC", {"s"}, "d\\QuantResults\\a.batch.xml.old\tQC\ts"},
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::QcRequestText(c.dir, c.result, c.check, c.names), c.text) << c.result;
}

TEST(BatchText, CommandTextsJoinSkippingEmptyOnes) {
  struct Case { std::vector<std::string_view> texts; std::string joined; } cases[] = {
      {{"A", "", "B", "", ""}, "A\tB"}, {{"", "", "", "", "E"}, "E"},
      {{" ", "", "\t"}, " \t\t"},  // blanks and tabs are texts like any other
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::JoinNonEmpty(c.texts), c.joined) << c.joined;
}

}  // namespace
