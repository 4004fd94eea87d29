// The per-mass table of a method's run groups, shared with the dialog of
// unreported elements.
#pragma once
#include "runmasses.h"

namespace mcr {

// Clears and fills table from the run groups of the method in methodDir;
// 0 on success, 1 when the method or one of its run group files cannot be
// read.
int BuildRunGroupMassTable(const char* methodDir, RunGroupMassTable* table);

}  // namespace mcr
