#include "tasktable.h"

#include <cstdio>

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

struct TaskRow {
  Task task;
  const char* windowClass;
};

// Searched in this order.
constexpr TaskRow kTasks[] = {
    {Task::DataAnalysis, "QRW VEXEVA Class"}, {Task::Tune, "QRW VEXTRIM Class"},
    {Task::Acquisition, "QRW VEXREC Class"},  {Task::Launcher, kLauncherClass},
    {Task::General, "QRW VEXMON Class"},
};

const char* const kTuneSections[] = {"VEXTRIM_TUNE,%d", "VEXTRIM_INST,%d", "VEXTRIM_MAINT,%d"};
const char* const kTuneWords[] = {"tune", "inst", "maint"};

std::string Format(const char* format, std::int32_t n) {
  char out[kSectionBuffer + 16];
  std::snprintf(out, sizeof out, format, static_cast<int>(n));
  return out;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%d" conversion from text at *at; false when there is no number.
bool ReadInt(std::string_view text, std::size_t* at, std::int32_t* out) {
  std::size_t i = *at;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digits = i;
  std::int64_t value = 0;
  constexpr std::int64_t kCap = std::int64_t{1} << 32;  // beyond either end of the range
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value < kCap) value = value * 10 + (text[i] - '0');
  if (i == digits) return false;
  if (negative) value = -value;
  *out = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
  *at = i;
  return true;
}

}  // namespace

const char* TaskClass(Task task) {
  for (const TaskRow& row : kTasks)
    if (row.task == task) return row.windowClass;
  return "";
}

Task TaskOfClass(std::string_view windowClass) {
  for (const TaskRow& row : kTasks)
    if (EqualNoCase(windowClass, row.windowClass)) return row.task;
  return Task::Unknown;
}

std::string PlacementSection(Task task, const TaskVars& vars) {
  std::string section;
  switch (task) {
    case Task::DataAnalysis:
      section = Format(vars.topWindow ? "VEXEVA_ONLINE,%d" : "VEXEVA_OFFLINE,%d", vars.instrument);
      break;
    case Task::Tune: {
      bool known = vars.tuneMode >= 0 && vars.tuneMode <= 2;
      section = Format(kTuneSections[known ? vars.tuneMode : 0], vars.instrument);
      break;
    }
    case Task::Acquisition: section = Format("VEXREC,%d", vars.instrument); break;
    case Task::Launcher: section = Format("HUBEX,%d", vars.instrument); break;
    case Task::General:
      section = "VEXMON_" + vars.appTag + Format(",%d", vars.instrument);
      break;
    case Task::Unknown: break;
  }
  return section.size() < kSectionBuffer ? section : std::string();
}

std::string LastTaskSection(std::int32_t instrument) { return Format("LASTTASK,%d", instrument); }

std::string LastTaskKey(int k) { return Format("TASK%d", k); }

const char* TuneModeWord(std::int32_t mode) {
  return mode >= 0 && mode <= 2 ? kTuneWords[mode] : nullptr;
}

DefaultTarget DefaultTargetOf(std::string_view word, std::int32_t instrument) {
  if (EqualNoCase(word, "da")) return {Task::DataAnalysis, Format("VEXEVA_ONLINE,%d", instrument)};
  if (EqualNoCase(word, "acq")) return {Task::Acquisition, Format("VEXREC,%d", instrument)};
  for (int mode = 0; mode < 3; ++mode)
    if (EqualNoCase(word, kTuneWords[mode])) return {Task::Tune, Format(kTuneSections[mode], instrument)};
  return {};
}

int ShowCommandOfStyle(std::string_view style) {
  if (EqualNoCase(style, "WS_MINIMIZE")) return 2;
  if (EqualNoCase(style, "WS_MAXIMIZE")) return 3;
  return 1;
}

StoredRect ParsePosition(std::string_view text) {
  std::int32_t v[4] = {};
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != ',') break;
      ++at;
    }
    if (!ReadInt(text, &at, &v[i])) break;
  }
  return {v[0], v[1], v[2], v[3]};
}

std::string PlacementFileBeside(std::string_view modulePath) {
  std::size_t folderEnd = modulePath.size() >= 2 && modulePath[1] == ':' ? 2 : 0;
  for (std::size_t i = folderEnd; i < modulePath.size(); ++i) {
    if (IsSjisLead(static_cast<unsigned char>(modulePath[i]))) {
      ++i;
      continue;
    }
    if (modulePath[i] == '\\' || modulePath[i] == '/') folderEnd = i + 1;
  }
  return std::string(modulePath.substr(0, folderEnd)) + kPlacementFile;
}

}  // namespace mcr
