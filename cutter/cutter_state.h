// Everything kerfcut keeps for the life of the process: the saved record, the paths formed at
// start-up, the job flags, the cursors and the read buffer. One object, owned by the
// application, so that tests can start from a fresh one.
#pragma once
#include <cstdint>
#include <memory>

#include "core/input_measure.h"
#include "cutter/job_state.h"
#include "cutter/settings.h"

struct CutterState {
  Settings settings;
  ProgramPaths paths;
  JobState job;
  uintptr_t arrowCursor = 0;
  uintptr_t waitCursor = 0;
  // The program's one read buffer of kCutterReadBufferSize bytes, allocated once: the
  // measurement, the preview, the cut checks and the reading of the programme-structure file use
  // it in turn, each to completion on the GUI thread.
  std::unique_ptr<uint8_t[]> readBuffer{new uint8_t[kCutterReadBufferSize]};
};

// The number of the registered message "KERFCUT_00" through which the demux tool reports,
// registered once during static initialisation.
uint32_t progress_message();
