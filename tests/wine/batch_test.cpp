// What the batch words' case file (tests/calls/batch.calls) cannot say: how
// the prompt to end a method edit looks, and the task ending while it is
// shown.
#include <windows.h>

#include <fstream>

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
  auto prompt = [&](bool endTask) {
    return [&, endTask](DialogWindow& d) {
      EXPECT_EQ(d.text(), A("ﾃﾞｰﾀ解析ﾒｿｯﾄﾞの編集を終了して下さい."));
      EXPECT_EQ(d.caption(), "");
      EXPECT_EQ(d.owner(), host->window());
      EXPECT_EQ(d.buttons(), (std::vector<int>{IDOK, IDCANCEL}));
      EXPECT_EQ(d.icon(), LoadIconA(nullptr, IDI_INFORMATION));
      if (endTask) WritePrivateProfileStringA("Task", "Running", "0", state.c_str());
      d.press(IDOK);
    };
  };
  DialogScript script({prompt(false), prompt(true)});
  Outcome o = host->call("BatchImportStd", {S("s"), S("T")});
  script.finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.raised.empty());
  // The calls, without the owner and the answers.
  std::ifstream journal(dir.file("journal.txt"));
  std::string calls;
  for (std::string line; std::getline(journal, line);) {
    line.resize(std::min(line.size(), line.find('\t')));
    if (const std::size_t owner = line.find(" owner="); owner != std::string::npos) line.erase(owner, 17);
    calls += line + "\n";
  }
  EXPECT_EQ(calls, "3 DaConnect tag=\"T\"\n5 DaSendCommand tag=\"T\" code=13 text=\"\"\n11 DaIsRunning\n"
                   "5 DaSendCommand tag=\"T\" code=13 text=\"\"\n11 DaIsRunning\n4 DaDisconnect tag=\"T\"\n");
  host.reset();
  SetEnvironmentVariableA("MCR_ANLINK", nullptr);
}

}  // namespace
}  // namespace mcrtest
