// What kerfdmx's exit status says about its run. The completion message is posted for every
// outcome alike, so a caller that starts the tool as a process learns from this value whether the
// outputs are whole. The values agree with kerf's exit statuses where the meanings agree.
#pragma once

enum ToolExit : int {
  kToolExitDone = 0,          // the range was read to its end (or to the end of the file)
  kToolExitUsage = 2,         // the command line was refused
  kToolExitInput = 3,         // the input could not be opened, positioned, read or kept in sync
  kToolExitOutput = 4,        // an output file could not be created or written
  kToolExitStopped = 5,       // the caller's lock file went (or the stop flag was set) mid-run
  kToolExitControl = 6,       // the control file could not be opened or has a wrong line
};
