// The task table of the placement commands: sections by task and host
// variables, the task words, stored styles and positions, and where the
// placement file lies beside a program.
#include <gtest/gtest.h>

#include <string>

#include "windows/tasktable.h"

namespace {

using mcr::Task;

TEST(TaskTable, SectionOfEachTaskAndItsVariables) {
  const std::string tag22(22, 'T'), tag23(23, 'T');
  struct Case {
    const char* windowClass;
    mcr::TaskVars vars;
    const char* section;
  } cases[] = {
      {"QRW VEXREC Class", {1, 0, 0, ""}, "VEXREC,1"},
      {"qrw vextrim CLASS", {1, 7, 0, ""}, "VEXTRIM_TUNE,1"},  // an unknown mode reads as tune
      {"QRW VEXTRIM Class", {1, -1, 0, ""}, "VEXTRIM_TUNE,1"},
      {"QRW VEXTRIM Class", {3, 1, 0, ""}, "VEXTRIM_INST,3"},
      {"QRW VEXTRIM Class", {3, 2, 0, ""}, "VEXTRIM_MAINT,3"},
      {"QRW VEXEVA Class", {1, 0, 0, ""}, "VEXEVA_OFFLINE,1"},
      {"QRW VEXEVA Class", {1, 0, INT32_MIN, ""}, "VEXEVA_ONLINE,1"},
      {"ZT-KMR CP Class", {-2147483647 - 1, 0, 0, ""}, "HUBEX,-2147483648"},
      {"QRW VEXMON Class", {1, 0, 0, "GEN"}, "VEXMON_GEN,1"},
      {"QRW VEXMON Class", {0, 0, 0, ""}, "VEXMON_,0"},
      // The name has room for 31 bytes: a 22-byte tag with ",1" fills it.
      {"QRW VEXMON Class", {1, 0, 0, tag22}, nullptr},
      {"QRW VEXMON Class", {1, 0, 0, tag23}, ""},
      {"QRW VEXMON Class", {10, 0, 0, tag22}, ""},
      {"QRW VEXREC Class2", {1, 0, 0, ""}, ""},
      {"", {1, 0, 0, ""}, ""},
  };
  for (const Case& c : cases) {
    const std::string expected = c.section ? c.section : "VEXMON_" + tag22 + ",1";
    EXPECT_EQ(mcr::PlacementSection(mcr::TaskOfClass(c.windowClass), c.vars), expected)
        << c.windowClass << " " << c.vars.appTag;
  }
}

TEST(TaskTable, LauncherTaskWords) {
  struct Case {
    const char* word;
    std::int32_t n;
    Task task;
    const char* section;
  } cases[] = {
      {"DA", 1, Task::DataAnalysis, "VEXEVA_ONLINE,1"}, {"acq", 2, Task::Acquisition, "VEXREC,2"},
      {"Tune", 1, Task::Tune, "VEXTRIM_TUNE,1"},        {"INST", 1, Task::Tune, "VEXTRIM_INST,1"},
      {"maint", 2147483647, Task::Tune, "VEXTRIM_MAINT,2147483647"},
      {"gen", 1, Task::Unknown, ""},                    {"", 1, Task::Unknown, ""},
      {"da ", 1, Task::Unknown, ""},                    {"tune:2", 1, Task::Unknown, ""},
  };
  for (const Case& c : cases) {
    mcr::DefaultTarget t = mcr::DefaultTargetOf(c.word, c.n);
    EXPECT_EQ(t.task, c.task) << c.word;
    EXPECT_EQ(t.section, c.section) << c.word;
  }
  EXPECT_STREQ(mcr::TuneModeWord(0), "tune");
  EXPECT_STREQ(mcr::TuneModeWord(2), "maint");
  EXPECT_EQ(mcr::TuneModeWord(3), nullptr);
  EXPECT_EQ(mcr::TuneModeWord(-1), nullptr);
  EXPECT_EQ(mcr::LastTaskSection(-3) + mcr::LastTaskKey(2), "LASTTASK,-3TASK2");
}

TEST(TaskTable, StoredStyleAndPosition) {
  struct Style { const char* text; int show; } styles[] = {
      {"WS_NORMAL", 1}, {"ws_minimize", 2}, {"WS_Maximize", 3}, {"WS_MAXIMIZE ", 1}, {"", 1}, {"WS_MIN", 1}};
  for (const Style& s : styles) EXPECT_EQ(mcr::ShowCommandOfStyle(s.text), s.show) << s.text;

  struct Case {
    const char* text;
    mcr::StoredRect r;
  } cases[] = {
      {"10,20,810,620", {10, 20, 810, 620}},
      {"10,20", {10, 20, 0, 0}},
      {" +1,\t-2, 3,4,5", {1, -2, 3, 4}},  // blanks before a number only
      {"1 ,2,3,4", {1, 0, 0, 0}},
      {"1,,3,4", {1, 0, 0, 0}},
      {"x,1,2,3", {0, 0, 0, 0}},
      {"7x,1", {7, 0, 0, 0}},
      {"-,5", {0, 0, 0, 0}},
      {"", {0, 0, 0, 0}},
      {"2147483647,-2147483648,2147483648,-2147483649", {2147483647, INT32_MIN, 2147483647, INT32_MIN}},
      {"99999999999999999999999,-99999999999999999999999,0012,1", {2147483647, INT32_MIN, 12, 1}},
  };
  for (const Case& c : cases) {
    mcr::StoredRect r = mcr::ParsePosition(c.text);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}),
              (std::vector<int>{c.r.left, c.r.top, c.r.right, c.r.bottom}))
        << c.text;
  }
}

TEST(TaskTable, PlacementFileBesideTheProgram) {
  struct Case { const char* module; const char* file; } cases[] = {
      {"C:\\icpexe\\VEXREC.EXE", "C:\\icpexe\\icpms.win"},
      {"C:/icp/exe/hubex.exe", "C:/icp/exe/icpms.win"},
      {"\\\\server\\share\\vexmon.exe", "\\\\server\\share\\icpms.win"},
      {"C:vexeva.exe", "C:icpms.win"},
      {"vextrim.exe", "icpms.win"},
      {"", "icpms.win"},
      // 0x95 0x5C is one double-byte character whose second byte is not a separator.
      {"C:\\\x95\x5C\\a.exe", "C:\\\x95\x5C\\icpms.win"},
      {"C:\\x\\\x95\x5C.exe", "C:\\x\\icpms.win"},
      {"C:\\x\\\x95", "C:\\x\\icpms.win"},  // a lone first byte at the end
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::PlacementFileBeside(c.module), c.file) << c.module;
}

}  // namespace
