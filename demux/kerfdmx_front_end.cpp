// kerfdmx's command line (see kerfdmx_front_end.h).
#include "demux/kerfdmx_front_end.h"

#include <cstring>

#include "demux/demux_options.h"
#include "demux/tool_exit.h"

int tool_exit_for(DemuxOutcome outcome) {
  switch (outcome) {
    case DemuxOutcome::Done: return kToolExitDone;
    case DemuxOutcome::Stopped: return kToolExitStopped;
    case DemuxOutcome::InputError: return kToolExitInput;
    case DemuxOutcome::OutputError: return kToolExitOutput;
    case DemuxOutcome::ControlFileError: return kToolExitControl;
    case DemuxOutcome::UsageError: return kToolExitUsage;
  }
  return kToolExitUsage;
}

DemuxJob job_from_options(const DemuxOptions& options) {
  DemuxJob job;
  job.inputPath = options.inputPath;
  job.startPacket = options.startPacket;
  job.endPacket = options.endPacket;
  if (options.infoOutput) {
    job.request = DemuxRequest::Information;
    job.requestPath = options.infoPath;
  } else if (options.controlMode) {
    job.request = DemuxRequest::Control;
    job.requestPath = options.controlPath;
  }
  job.firstProgrammeOnly = options.firstProgrammeOnly;
  job.excludeEcmAndData = options.excludeEcmAndData;
  job.keepNetworkEntry = options.keepNetworkEntry;
  job.callerWindow = options.callerWindow;
  return job;
}

int RunCommandLine(DemuxEngine& engine, const char* commandLine, DemuxResult* result) {
  DemuxHost& host = engine.host();
  CommandLineStore store;
  DemuxOptions options;
  DemuxResult run;
  run.outcome = DemuxOutcome::UsageError;
  OptionError refusal = OptionError::None;
  // A line beyond the copy is refused whole: a cut line could name another file.
  if (SplitCommandLine(commandLine, store) != 0) {
    refusal = OptionError::UnknownOption;
  } else if (store.count < 2) {
    refusal = OptionError::NoCallerWindow;
  } else {
    refusal = ParseOptions(store, engine.programFolder(), options);
  }
  if (refusal != OptionError::None) {
    const char* text = OptionErrorText(refusal);
    host.Print(text, std::strlen(text));
  } else {
    run = engine.Run(job_from_options(options));
  }
  if (result) *result = run;

  // Completion is posted twice, 100 ms apart, so that the waiting window gets it even when its
  // queue was full at the first. When the handle names no window at all (the tool run from a
  // script) the pause would only delay the end; both posts are still made.
  host.Post(options.callerWindow, engine.message(), kCompletionPost, 0);
  if (host.WindowExists(options.callerWindow)) host.Sleep(100);
  host.Post(options.callerWindow, engine.message(), kCompletionPost, 0);
  return tool_exit_for(run.outcome);
}
