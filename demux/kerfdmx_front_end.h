// kerfdmx's command-line front end over the demux engine: the line split and checked, its
// refusals printed, the options turned into a job, and the completion posted to the caller.
#pragma once
#include "demux/demux_engine.h"
#include "demux/demux_options.h"

// Runs one command line (token 0 is the tool's path) as kerfdmx does, ending with two completion
// posts 100 ms apart to the caller window as it then stands. Returns the exit status, which
// carries the outcome (demux/tool_exit.h): done, stopped, or the kind of failure that ended the
// run. result, when given, receives the run's result (UsageError when the line was refused).
int RunCommandLine(DemuxEngine& engine, const char* commandLine, DemuxResult* result = nullptr);

// The exit status (a ToolExit value) for a run's outcome.
int tool_exit_for(DemuxOutcome outcome);

// The job a parsed command line asks for; it points into options (and its command-line store).
DemuxJob job_from_options(const DemuxOptions& options);
