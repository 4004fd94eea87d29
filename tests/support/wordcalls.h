// Calling any word of the vocabulary safely, for the tests that go through
// all of them: what each word needs to be called without harm (its plan),
// a call of it that succeeds, and a bench to run the calls on: a sample
// workstation in a folder of the test's own, a host with the library, and a
// working folder for whatever the words write.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bridge/wordtable.h"
#include "dialogs.h"
#include "instwords.h"
#include "testhost.h"

namespace mcrtest {

enum WordFlag : unsigned {
  kAsks = 1u << 0,           // opens dialogs or message boxes; the watchdog answers them
  kWritesFiles = 1u << 1,    // deletes, copies or writes files: guarded paths stay in the working folder
  kWritesRegistry = 1u << 2, // writes the registry: guarded subkeys stay below the bench's own key
  kSendsMessages = 1u << 3,  // sends window messages: guarded handles are the host window's
  kForeignTexts = 1u << 4,   // raises texts that are not the catalogue's (the system's, the link's)
  kReadsOnly = 1u << 5,      // reads files and writes none (its dialog cancelled)
  kUserSetting = 1u << 6,    // changes a setting of the user profile; the bench puts it back
  kSlow = 1u << 7,           // a call takes a noticeable time (waits, animations)
  kSimulated = 1u << 8,      // talks to the simulated data-analysis task, reset before each call
};

// How a word is called by the tests that sweep the whole vocabulary. Argument
// lists are texts with one field per parameter separated by '|': "~" for an
// omitted argument, a number for N, a text or a name for S and V, with the
// bench's places written in braces (Bench::Expand).
struct WordPlan {
  const char* word;
  unsigned flags;
  const char* valid;        // a call that succeeds on the bench
  const char* guarded = ""; // positions (digits) of the parameters the flags guard
  const char* reals = "";   // number parameters used as they are, not made whole
  // The argument checks in the order the word makes them: "position:id" for
  // "this parameter fails with message id", with "/classes" when only some
  // kinds of bad value reach that check there (o omitted, e empty, l long,
  // n a number, m a name of a missing variable or a table), and "=inserts"
  // when the message is fixed: "1:1011=#1,0,130" is message 1011 with the
  // label of parameter 1, 0 and 130 (a limit moved with its message shows).
  const char* order = "";
  // A call that fails after the word has taken what it must give back
  // (opened a file, a key or a window, allocated): the resource loop repeats
  // it as it repeats the valid call.
  const char* late = "";
  int answer = IDCANCEL;                 // the button the watchdog presses
  std::vector<std::uint16_t> bare = {};  // statuses returned bare besides 0 and 1
  // Text parameters whose lengths count together against one limit:
  // "positions:limit".
  const char* sharedLimit = "";
};

// The plan of a word; a word without one reads as no flags and no valid call
// known (valid is null).
const WordPlan& PlanFor(const std::string& word);
// The word of that name when it is available, else null.
const mcr::WordInfo* ReadyWord(const std::string& name);

class Bench {
 public:
  Bench();
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  Host& host() { return *host_; }
  // The sample workstation in the test's folder (everything the words may
  // change lies in that folder).
  std::string sample() const { return dir_.path() + "\\sample"; }
  // The bench's own registry key under HKEY_CURRENT_USER.
  static constexpr char kOwnKey[] = "Software\\MCRPAK robustness";

  // {R} sample root, {M} method folder, {D} data folder, {X} program folder
  // (ending with a backslash), {Q} sequence file, {W} working folder, {K}
  // the bench's key, {H} host window, {P} this process id, {I} a file with
  // icons, {F} a search handle opened for the call (kFreshFindHandle).
  std::string Expand(const std::string& text) const;
  // The arguments of a call from its fields ("a|{W}\\b|~"), one per
  // parameter of the word (a missing field reads as empty).
  std::vector<Arg> Args(const mcr::WordInfo& word, const std::string& fields) const;
  // The word's valid call, or plain arguments of each kind when it has none.
  std::vector<Arg> Baseline(const mcr::WordInfo& word) const;
  // The prefix that keeps a guarded text parameter inside the bench.
  std::string GuardPrefix(const mcr::WordInfo& word) const;

  // Calls the word as a macro would, on a fresh set of variables (and, for a
  // word that writes files, a complete working folder), answering its
  // dialogs; afterwards, unless the call is one of a macro's many, the
  // statement ends (EndStatement). What it showed stays in host().shown().
  // A call that crashes the process or takes 30 s is reported on stderr with
  // the word and what, and ends the process.
  Outcome Call(const mcr::WordInfo& word, std::vector<Arg> args, bool endStatement = true,
               const std::string& what = "its valid call");
  // What the host does after every statement: the connection's popups are
  // closed and posted messages dispatched.
  void EndStatement();
  // The button that answers the dialogs of the calls made through host().
  void Answer(int id) { watchdog_.answer(id); }
  // The dialogs the last calls opened.
  std::vector<DialogScript::Seen> Dialogs() { return watchdog_.take(); }

 private:
  // The working folder for whatever the words write.
  std::string work() const { return dir_.path() + "\\work"; }
  // Variables as the sample's start-up macro and the bench set them.
  void ResetVariables();
  // The working folder with its fixture files (recreated when a word removed them).
  void RefreshWork();
  // The simulated data-analysis task with a batch in the working folder that
  // holds one data file and has been analysed; kept to be put back.
  void PrepareAnalysis();
  TempDir dir_;
  WorkstationKey key_;
  std::unique_ptr<Host> host_;
  DialogScript watchdog_{{}, 3000, IDCANCEL};
  std::vector<std::pair<std::string, Value>> startup_;
  std::uint32_t table_ = 0;
  std::string analysisState_;
  char oldDirectory_[MAX_PATH] = {};
  std::string oldTemp_;
  BOOL smoothScrolling_ = FALSE;
};

}  // namespace mcrtest
