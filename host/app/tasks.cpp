#include "tasks.h"

#include <cmath>
#include <cstdint>
#include <sstream>
#include <vector>

namespace mcrhost {

namespace {

constexpr char kLauncherClass[] = "ZT-KMR CP Class";
constexpr char kLastTasks[] = "last";

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> words;
  std::istringstream in(list);
  for (std::string w; std::getline(in, w, ',');) words.push_back(w);
  return words;
}

// The task words the launcher recorded when it last saved them.
std::vector<std::string> LastTasks(const VarStore& vars) {
  const Var* exePath = vars.find("_EXEPATH$");
  const Var* instrument = vars.find("_INSTNUM");
  const std::string file = (exePath ? exePath->text : std::string()) + "icpms.win";
  const long n = instrument ? std::lround(instrument->number) : 0;
  const std::string section = "LASTTASK," + std::to_string(n);
  std::vector<std::string> words;
  for (const char* key : {"TASK1", "TASK2"}) {
    char word[32] = {};
    GetPrivateProfileStringA(section.c_str(), key, "", word, sizeof word, file.c_str());
    if (*word) words.push_back(word);
  }
  return words;
}

}  // namespace

std::optional<std::string> CheckTaskList(const std::string& list, const std::string& windowClass) {
  if (_stricmp(windowClass.c_str(), kLauncherClass) != 0)
    return std::string("--tasks needs the launcher's window class \"") + kLauncherClass + "\"";
  for (const std::string& word : Split(list))
    if (word != kLastTasks && !ParseTaskWord(word))
      return "--tasks: \"" + word + "\" is no task (da, acq, gen, tune, inst, maint, tune:MODE or last)";
  return std::nullopt;
}

std::unique_ptr<TaskWindows> StartTasks(Host& host, Session& session, const std::string& list) {
  auto tasks = std::make_unique<TaskWindows>(host.window());
  tasks->onMessage = [&session](const std::string& name, const TaskMessage& m) {
    // Both parameters as the signed numbers a macro gave: WPARAM is unsigned,
    // and widening it as such would print -1 as 4294967295 on 32-bit Windows.
    session.output("[" + name + "] message " + std::to_string(m.message) + ", " +
                   std::to_string(static_cast<std::intptr_t>(m.first)) + ", " +
                   std::to_string(static_cast<std::intptr_t>(m.second)));
  };
  tasks->onClosed = [&session](const std::string& name) { session.output("[" + name + "] closed"); };
  std::vector<std::string> words;
  for (const std::string& word : Split(list)) {
    if (word != kLastTasks) {
      words.push_back(word);
      continue;
    }
    const std::vector<std::string> last = LastTasks(host.vars());
    words.insert(words.end(), last.begin(), last.end());
  }
  for (const std::string& word : words) {
    std::optional<TaskKind> kind = ParseTaskWord(word);
    HWND window = kind ? tasks->open(word) : nullptr;
    if (!window) continue;
    host.vars().setNumber("TaskWin_" + kind->name,
                          static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window)));
    if (kind->tuneMode) host.vars().setNumber("_TNTASK_MODE", *kind->tuneMode);
  }
  return tasks;
}

}  // namespace mcrhost
