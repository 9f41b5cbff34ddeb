// The values shared by every run of the demux tool: whether one is in progress, whether the user
// cancelled it, and what the tool last reported through the registered message.
#pragma once

struct JobState {
  int jobRunning = 0;       // 1 while a run is in progress: main-dialog commands do nothing
  int cancelRequested = 0;  // 1 once the progress window has been closed
  int toolState = 0;        // wParam of the last progress message: 0 none, kProgressPost or
                            // kCompletionPost (demux/demux_host.h)
  int toolProgress = 0;     // lParam of that message: per cent done

  bool Busy() const { return jobRunning == 1; }
};
