// The tune-step words: a per-step summary of the files beside a method,
// whether a step's tune criteria are measured, whether a calibration covers
// a run group. The functions answer their failure values (-1, -100) with
// status 0, also after raising an error: macros test for those values.
#include "tunesteps.h"

#include <windows.h>

#include <memory>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "filesource.h"
#include "../bridge/sjistext.h"
#include "masslist.h"
#include "rungroups.h"

static_assert(mcr::kMaxRunGroups == mcr::kMethodRunGroups, "one run-group list for all words");

namespace mcr {

int BuildRunGroupMassTable(const char* methodDir, RunGroupMassTable* table) {
  MethodRunGroups method;
  method.mode = GetRunGroups(methodDir, method.list, &method.count);
  return FillRunGroupMassTable(methodDir ? methodDir : "", method, OpenFileSource, *table) ? 0 : 1;
}

}  // namespace mcr

using namespace mcr;

namespace {

MethodRunGroups RunGroupsOf(const std::string& methodDir) {
  MethodRunGroups method;
  method.mode = GetRunGroups(methodDir.c_str(), method.list, &method.count);
  return method;
}

// The answer of a function of this file: status 0 whatever the value.
struct Answer {
  HostContext ctx;
  HostHandle result;
  std::uint16_t operator()(double value) const {
    SetNumberResult(ctx, result, value);
    return 0;
  }
  template <class... Values>
  std::uint16_t Raise(double value, int id, Values... values) const {
    RaiseMessage(ctx, id, values...);
    return (*this)(value);
  }
};

}  // namespace

MCR_FUNCTION(GetTuneStepProc) {
  Answer answer{ctx, result};
  Args in(ctx, args);
  const char* flag = in.Text(1);
  const char* dir = in.Text(2);
  const char* var = in.Text(3);
  std::string word = flag ? UpperAscii(flag) : std::string();
  bool runGroups = word == "RUNP";
  MassFile kind = word == "CALB" ? MassFile::Calibration
                  : word == "QCDB" ? MassFile::QcDatabase
                                   : MassFile::TuneCriteria;
  if (!runGroups && word != "CALB" && word != "QCDB" && word != "TNCR")
    return answer.Raise(-1, kMsgGiveTuneFlag);
  if (!dir) return answer.Raise(-1, kMsgGiveMethodOrCalib);
  if (!var) return answer.Raise(-1, kMsgGiveVariable);

  DeleteVar(ctx, var);
  StepCounts counts;
  if (runGroups) {
    counts = RunGroupStepCounts(dir, RunGroupsOf(dir), OpenFileSource);
  } else {
    std::optional<StepCounts> files = FileStepCounts(kind, dir, OpenFileSource);
    if (!files) return answer.Raise(-1, kMsgGiveMethodOrCalib);
    counts = *files;
  }
  std::vector<double> slots(counts.slots.begin(), counts.slots.end());
  SetNumberTable(ctx, var, slots.data(), static_cast<std::uint16_t>(slots.size()));
  return answer(counts.count);
}

MCR_FUNCTION(ChkTuneMassProc) {
  Answer answer{ctx, result};
  NumberArg stepArg = Args(ctx, args).Number(1);
  if (!stepArg.given()) return answer.Raise(-1, kMsgOmitted);
  std::optional<std::int32_t> step = TuneStepOf(stepArg.get());
  if (!step) return answer.Raise(-1, kMsgInvalidTuneStep);
  std::string dir = CurrentMethodDirectory(ctx);
  std::unique_ptr<ByteSource> tuneCriteria = OpenFileSource(StepFileName(dir, "qctune.", *step));
  return answer(CheckTuneMasses(tuneCriteria.get(), *step, dir, RunGroupsOf(dir), OpenFileSource));
}

MCR_FUNCTION(CompCalRunProc) {
  Answer answer{ctx, result};
  Args in(ctx, args);
  NumberArg stepArg = in.Number(1);
  if (!stepArg.given()) return answer.Raise(-100, kMsgOmitted);
  std::int32_t step = stepArg.Int();
  const char* calibDir = in.Text(2);
  if (!calibDir) return answer.Raise(-100, kMsgInvalidCalibration);
  const char* methodDir = in.Text(3);
  if (!methodDir) return answer.Raise(-100, kMsgInvalidMethod);
  std::unique_ptr<ByteSource> calibration = OpenFileSource(StepFileName(calibDir, "calib.", step));
  std::unique_ptr<ByteSource> runGroup =
      calibration ? OpenFileSource(StepFileName(methodDir, "rungroup.", step)) : nullptr;
  CalibrationComparison c = CompareCalibration(calibration.get(), runGroup.get());
  if (c.message) return answer.Raise(c.result, c.message);
  return answer(c.result);
}
