// The sample workstation: an installation with its settings files, one
// acquisition method, two measured data directories and a sequence file,
// made up but consistent with one another, so that macros can be tried on
// something realistic without the instrument.
//
//   ROOT\icpexe\        program directory: vexmon.ist, runtype.ini, defrt.icp, hubex.ini,
//                       dataview.cfg, qctune.ini, icpms.win, daminf.ini, mpm.tbl, offline.ist
//   ROOT\RAPS\          RAPS application files cellmode.mpu, seawater.mpu
//   ROOT\methods\DEMO.M\ run.icp, rungroup.01-02, calib.01-06, qcdb.01-02, qctune.01-02,
//                       qcunrep.01-02, qcinfo.ini
//   ROOT\data\STD001.D\, ROOT\data\SAMPLE01.D\   data01-02.icp, quant.01-02
//   ROOT\data\SAMPLE01.D\SAMPLE01.D#\  its interference-corrected data set
//   ROOT\views\conc\dataview.cfg  a second batch view (concentrations with units)
//   ROOT\seq\demo.seq   five rows, two of them keyword rows
//   ROOT\batches\       DEMO001\QuantResults\DEMO001.batch.xml (an earlier batch that
//                       daminf.ini imports from), samplenames.ini (QC sample names)
//   ROOT\analysis\      state.ini of the simulated data-analysis task (and its journal)
//   ROOT\startup.mac    sets the host variables that point at all of this
#pragma once
#include <string>

namespace mcrsample {

inline constexpr char kInstallKey[] = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";

// Longest root folder (ANSI bytes) for which every path the files hold stays
// within the workstation's 255-byte path fields.
inline constexpr std::size_t kMaxRoot = 150;

// Writes every file under root (UTF-8; created when missing). On failure
// returns false with the reason in error.
bool LayOut(const std::string& root, std::string* error);

// Points "Path" of the workstation key (under HKEY_LOCAL_MACHINE) at root.
// Tests pass a key of their own.
bool WriteInstallKey(const char* subkey, const std::string& root, std::string* error);

}  // namespace mcrsample
