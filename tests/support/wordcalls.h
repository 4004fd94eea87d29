// Calling any word of the vocabulary safely, for the tests that go through
// all of them: each word's plan (what it needs to be called without harm, a
// call of it that succeeds), and a bench to call it on: a sample workstation
// in a folder of the test's own, a host with the library, a working folder.
#pragma once
#include <windows.h>

#include <memory>

#include "bridge/wordtable.h"
#include "dialogs.h"
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

// How the tests that sweep the whole vocabulary call a word. Argument lists
// are texts with one field per parameter separated by '|': "~" omitted, a
// number for N, a text or a name for S and V, with the bench's places in
// braces (Bench::Expand).
struct WordPlan {
  const char* word;
  unsigned flags;
  const char* valid;        // a call that succeeds on the bench
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
  const char* guarded = ""; // positions (digits) of the parameters the flags guard
  const char* reals = "";   // number parameters used as they are, not made whole
  int answer = IDCANCEL;                 // the button the watchdog presses
  std::vector<std::uint16_t> bare = {};  // statuses returned bare besides 0 and 1
  const char* sharedLimit = "";          // "positions:limit": texts whose lengths count together
};

// The plan of a word (without one: no flags, valid null).
const WordPlan& PlanFor(const std::string& word);
// The word of that name when it is available, else null.
const mcr::WordInfo* ReadyWord(const std::string& name);

class Bench {
 public:
  Bench();
  ~Bench();
  Bench(const Bench&) = delete;

  Host& host() { return *host_; }
  // The sample workstation; everything the words may change lies in its folder.
  std::string sample() const { return dir_.path() + "\\sample"; }
  static constexpr char kOwnKey[] = "Software\\MCRPAK robustness";  // under HKEY_CURRENT_USER

  // {R} sample root, {M} method folder, {D} data folder, {X} program folder
  // (ending with a backslash), {Q} sequence file, {W} working folder, {K}
  // the bench's key, {H} host window, {P} this process id, {I} a file with
  // icons, {F} a search handle opened for the call.
  std::string Expand(const std::string& text) const;
  // The arguments of a call from its fields ("a|{W}\\b|~"; a missing field reads as empty).
  std::vector<Arg> Args(const mcr::WordInfo& word, const std::string& fields) const;
  // The word's valid call, or plain arguments of each kind when it has none.
  std::vector<Arg> Baseline(const mcr::WordInfo& word) const;
  std::string GuardPrefix(const mcr::WordInfo& word) const;  // keeps a guarded text in the bench

  // Calls the word as a macro would, on fresh variables (and, for a word
  // that writes files, a complete working folder), answering its dialogs;
  // then, unless the call is one of a macro's many, the statement ends. A
  // call that crashes the process or takes 30 s is reported on stderr with
  // the word and what, and ends the process.
  Outcome Call(const mcr::WordInfo& word, std::vector<Arg> args, bool endStatement = true,
               const std::string& what = "its valid call");
  void EndStatement();  // as the host after every statement: popups closed, posted messages dispatched
  void Answer(int id) { watchdog_.answer(id); }  // the button for the dialogs of host()'s calls
  std::vector<DialogScript::Seen> Dialogs() { return watchdog_.take(); }  // opened since last asked

 private:
  std::string work() const { return dir_.path() + "\\work"; }
  void ResetVariables();  // as the sample's start-up macro and the bench set them
  void RefreshWork();     // the working folder's fixture files, made again where a word removed them
  TempDir dir_;
  WorkstationKey key_;
  std::unique_ptr<Host> host_;
  DialogScript watchdog_{{}, 3000, IDCANCEL};
  std::vector<std::pair<std::string, Value>> startup_;
  std::uint32_t table_ = 0;
  std::string analysisState_;  // the simulated task with one analysed batch, put back before each call
  char oldDirectory_[MAX_PATH] = {};
  std::string oldTemp_;
  BOOL smoothScrolling_ = FALSE;
};

}  // namespace mcrtest
