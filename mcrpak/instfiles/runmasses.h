// Run group files rungroup.0N and what the tune-step words derive from them:
// the per-mass table of a method's run groups, whether a step's tune
// criteria masses are measured, whether a calibration covers a run group,
// and the per-step mass counts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bytesource.h"
#include "masslist.h"

namespace mcr {

constexpr std::size_t kRunGroupHeaderSize = 436;
constexpr std::size_t kMassRecordSize = 26;
constexpr std::size_t kMassNameWidth = 10;
constexpr int kTuneSteps = 6;
constexpr int kMethodRunGroups = 10;

struct MassRecord {
  std::int32_t mass;
  std::string name;
};
MassRecord DecodeMassRecord(const std::uint8_t* p);

// The mass count R of an open run group file; nothing when its header is
// shorter than 436 bytes.
std::optional<std::int32_t> ReadRunGroupCount(ByteSource& file);

enum class RunGroupRead { Ok, ShortHeader, ShortRecord };
// Hands each of the R mass records to visit, in file order.
RunGroupRead ForEachMassRecord(ByteSource& file, const std::function<void(const MassRecord&)>& visit);

// One entry per mass 1 to 260 in each of six blocks: block 1 gathers every
// run group of a method that measures without tune steps, block N run group
// N of a tune-step method.
struct RunGroupMassEntry {
  std::int32_t measured;       // 1 measured, 0 not
  char name[kMassNameWidth];   // zero-terminated
};
struct RunGroupMassTable {
  RunGroupMassEntry entries[kTuneSteps * kMassMax];
};
inline RunGroupMassEntry& MassTableEntry(RunGroupMassTable& t, int block, int mass) {
  return t.entries[(block - 1) * kMassMax + (mass - 1)];
}
inline const RunGroupMassEntry& MassTableEntry(const RunGroupMassTable& t, int block, int mass) {
  return t.entries[(block - 1) * kMassMax + (mass - 1)];
}

// What the method header says about run groups: the acquisition mode (-1
// for an invalid method) and the run-group list of its mode.
struct MethodRunGroups {
  int mode = -1;
  std::int32_t list[kMethodRunGroups] = {};
  int count = 0;
};

inline bool IsTuneStepMode(int mode) { return mode == 4 || mode == 5; }

// Fills the table from the method's run group files; false on failure (the
// table is then partly filled).
bool FillRunGroupMassTable(const std::string& methodDir, const MethodRunGroups& method,
                           const FileOpener& open, RunGroupMassTable& table);

// Whether the tune-criteria masses of the step are measured: 0 all of them,
// 1 not all (or the tune-criteria file is unreadable), -1 the question has
// no answer (no tune-criteria file, invalid method, step the method does not
// have, run group file missing or short). tuneCriteria is null when the
// step's qctune file cannot be opened.
int CheckTuneMasses(ByteSource* tuneCriteria, int step, const std::string& methodDir,
                    const MethodRunGroups& method, const FileOpener& open);

// Whether the step's calibration covers run group N: 0 the same masses, 1
// the calibration has more, -1 not covered, -100 unreadable. message is the
// catalogue id to raise with the result, 0 for none.
struct CalibrationComparison {
  int result;
  int message;
};
CalibrationComparison CompareCalibration(ByteSource* calibration, ByteSource* runGroup);

// Per-step counts for the tune-step summary: the slots and how many of them
// stand for a step with elements.
struct StepCounts {
  std::vector<std::int32_t> slots;
  std::int32_t count = 0;
};
// The mass counts of the method's run groups: one slot per tune step, or in
// mode 2 one per event record; a run group that several events name counts
// once.
StepCounts RunGroupStepCounts(const std::string& methodDir, const MethodRunGroups& method,
                              const FileOpener& open);

// The element counts of the six steps' QC database, tune-criteria or
// calibration files (stem "qcdb.", "qctune." or "calib."): a missing or short
// QC file gives its step 0, a missing or short calibration file gives no
// answer at all. A negative count stands for no elements.
std::optional<StepCounts> FileStepCounts(MassFile kind, const std::string& dir, const FileOpener& open);

}  // namespace mcr
