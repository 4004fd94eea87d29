// The dialog automation the dialog tests rely on: it answers the windows it
// is given in order, follows a dialog through a message box and back, and
// turns every way a dialog can go wrong into a failed test instead of a hang.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "dialogs.h"

namespace mcrtest {
namespace {

TEST(DialogScript, FollowsADialogThroughAMessageBoxAndBack) {
  int inner = 0;
  std::vector<std::string> order;
  DialogScript script({
      [&](DialogWindow& d) {
        order.push_back(d.caption());
        EXPECT_EQ(d.buttons(), (std::vector<int>{IDYES, IDNO}));
        // A second modal window opened from the first; the script answers it
        // with its next step while this one waits.
        inner = MessageBoxA(d.hwnd(), "inner", "B", MB_OK);
      },
      [&](DialogWindow& d) {
        order.push_back(d.caption());
        EXPECT_FALSE(IsWindowEnabled(d.owner()));
        d.key(VK_RETURN);
      },
      [&](DialogWindow& d) {
        order.push_back(d.caption());
        d.press(IDNO);
      },
  });
  int outer = MessageBoxA(nullptr, "outer", "A", MB_YESNO);
  script.finish();
  EXPECT_EQ(inner, IDOK);
  EXPECT_EQ(outer, IDNO);
  EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "A"}));
}

TEST(DialogScript, ADialogThatNeverAppearsFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        DialogScript script({Press(IDOK), Press(IDOK)});
        MessageBoxA(nullptr, "only one", "A", MB_OK);
      },
      "expected 2 dialog(s), saw 1");
}

TEST(DialogScript, ADialogLeftOpenIsClosedAndFailsTheTest) {
  int answer = 0;
  DWORD start = GetTickCount();
  EXPECT_NONFATAL_FAILURE(
      {
        DialogScript script({[](DialogWindow&) {}}, 300);
        answer = MessageBoxA(nullptr, "stays", "A", MB_OKCANCEL);
      },
      "a dialog was left open");
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_LT(GetTickCount() - start, 5000u);
}

}  // namespace
}  // namespace mcrtest
