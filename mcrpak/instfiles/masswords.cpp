// The mass-list words: masses or element names of one tune step's
// calibration, QC database or tune-criteria file, handed to the macros as a
// table or as name strings. They answer -1 for failure and never fail the
// call itself: the status is 0 even after an error was raised.
#include <windows.h>

#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "calblayout.h"
#include "filesource.h"
#include "../bridge/sjistext.h"
#include "masslist.h"
#include "qclayout.h"

using namespace mcr;

namespace {

std::string StepFile(MassFile kind, const std::string& dir, std::int32_t step) {
  switch (kind) {
    case MassFile::Calibration: return StepFileName(dir, "calib.", step);  // "%02d" for 1 to 6
    case MassFile::QcDatabase: return StepFileName(dir, "qcdb.", step);
    default: return StepFileName(dir, "qctune.", step);
  }
}

void WriteMasses(HostContext ctx, const char* var, const std::vector<std::int32_t>& masses) {
  DeleteVar(ctx, var);
  std::vector<double> values(masses.begin(), masses.end());
  // An empty list is an empty table; a table the host cannot make leaves the
  // variable removed.
  SetNumberTable(ctx, var, values.data(), static_cast<std::uint16_t>(values.size()));
}

void WriteNames(HostContext ctx, const char* var, const std::vector<std::string>& names) {
  std::vector<std::string> groups = NameGroups(names);
  for (std::size_t g = 0; g < groups.size(); ++g)
    SetStrVar(ctx, (std::string(var) + std::to_string(g + 1)).c_str(), groups[g].c_str());
}

std::uint16_t MassListWord(HostHandle args, HostHandle result, HostContext ctx, MassFile kind) {
  auto answer = [&](double value) {
    SetNumberResult(ctx, result, value);
    return std::uint16_t{0};
  };
  auto fail = [&](int id, auto... values) {
    RaiseMessage(ctx, id, values...);
    return answer(-1);
  };
  Args in(ctx, args);
  NumberArg stepArg = in.Number(1);
  if (!stepArg.given()) return fail(kMsgOmitted);
  std::optional<std::int32_t> step = TuneStepOf(stepArg.get());
  if (!step) return fail(kMsgInvalidTuneStep);
  const char* selectorArg = in.Text(2);
  if (!selectorArg) return fail(kMsgOmitted);
  std::string selectorWord = UpperAscii(selectorArg);
  std::string path = StepFile(kind, MethodDirectory(ctx, in.Text(3)), *step);
  const char* var = in.Text(4);
  if (!var) return fail(kMsgOmitted);
  Selector selector = ParseSelector(kind, selectorWord);
  if (selector == Selector::Unknown) return fail(kMsgUndefined, selectorWord.c_str());

  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  if (!file) return answer(-1);
  MassList list;
  switch (kind) {
    case MassFile::Calibration: list = ListCalibration(*file, selector, LoadMessage(kLabelNotQuantified)); break;
    case MassFile::TuneCriteria: list = ListTuneCriteria(*file, selector); break;
    case MassFile::QcDatabase: {
      NumberArg groupArg = in.Number(5);
      std::int32_t group = groupArg.Int();
      list = ListQcDatabase(*file, selector, IsGroupSelector(selector) && groupArg.given() ? &group : nullptr);
      break;
    }
  }
  file.reset();

  switch (list.status) {
    case ListStatus::Unreadable: return answer(-1);
    case ListStatus::GroupMissing: return fail(kMsgOmitted);
    case ListStatus::NoGroup:
      DeleteVar(ctx, var);
      return answer(-1);
    case ListStatus::Ok: break;
  }
  if (list.namesWanted)
    WriteNames(ctx, var, list.names);
  else
    WriteMasses(ctx, var, list.masses);
  return answer(static_cast<double>(list.count()));
}

}  // namespace

MCR_FUNCTION(GetCalMasInfProc) {
  return MassListWord(args, result, ctx, MassFile::Calibration);
}

MCR_FUNCTION(GetQDBMasInfProc) {
  return MassListWord(args, result, ctx, MassFile::QcDatabase);
}

MCR_FUNCTION(GetTNCMasInfProc) {
  return MassListWord(args, result, ctx, MassFile::TuneCriteria);
}
