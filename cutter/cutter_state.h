// Everything kerfcut keeps for the life of the process: the saved record, the paths formed at
// start-up, the job flags and the cursors. One object, owned by the application, so that tests
// can start from a fresh one.
#pragma once
#include <cstdint>

#include "cutter/job_state.h"
#include "cutter/settings.h"

struct CutterState {
  Settings settings;
  ProgramPaths paths;
  JobState job;
  uintptr_t arrowCursor = 0;
  uintptr_t waitCursor = 0;
};

// The number of the registered message "KERFCUT_00" through which the demux tool reports,
// registered once during static initialisation.
uint32_t progress_message();
