// What the batch words' case file (tests/calls/batch.calls) cannot say: how
// the prompt to end a method edit looks, and the task ending while it is
// shown.
#include <windows.h>

#include "dialogs.h"
#include "testhost.h"

namespace mcrtest {
namespace {

TEST(Batch, EditPromptEndsTheCommandWhenTheTaskEnds) {
  TempDir dir;
  SetEnvironmentVariableA("MCR_ANLINK", dir.path().c_str());
  const std::string state = dir.file("state.ini");
  WritePrivateProfileStringA("Task", "EditPolls", "5", state.c_str());
  auto host = OpenHost();
  int prompts = 0;  // the task ends while the second is shown
  auto prompt = [&](DialogWindow& d) {
    EXPECT_EQ(d.text() + "|" + d.caption(), A("ﾃﾞｰﾀ解析ﾒｿｯﾄﾞの編集を終了して下さい.|"));
    EXPECT_TRUE(d.owner() == host->window() && d.icon() == LoadIconA(nullptr, IDI_INFORMATION));
    EXPECT_EQ(d.buttons(), (std::vector<int>{IDOK, IDCANCEL}));
    if (++prompts == 2) WritePrivateProfileStringA("Task", "Running", "0", state.c_str());
    d.press(IDOK);
  };
  DialogScript script({prompt, prompt});
  Outcome o = host->call("BatchImportStd", {S("s"), S("T")});
  script.finish();
  EXPECT_TRUE(o.status == 0 && o.raised.empty());
  // The calls, without the owner and the answers.
  EXPECT_EQ(std::regex_replace(ReadAll(dir.file("journal.txt")), std::regex(" owner=0x[0-9A-F]{8}|\t[^\r]*\r"), ""),
            "3 DaConnect tag=\"T\"\n5 DaSendCommand tag=\"T\" code=13 text=\"\"\n11 DaIsRunning\n"
            "5 DaSendCommand tag=\"T\" code=13 text=\"\"\n11 DaIsRunning\n4 DaDisconnect tag=\"T\"\n");
  host.reset();
  SetEnvironmentVariableA("MCR_ANLINK", nullptr);
}

}  // namespace
}  // namespace mcrtest
