// Finding the commercials as a plain value: the request (a recording and a programme), its run
// through the commercial finder (cm/) with progress and a stop flag, and the typed result, the
// recording's stretches. Nothing here prints. Built only where the finder is (it needs the audio
// library, which the Windows build leaves out).
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "cm/breaks.h"
#include "cm/cm_scan.h"
#include "plans/outcome.h"
#include "plans/work_engine.h"

struct CmRequest {
  std::string path;
  int programme = 1;   // ordinal from 1, as kerf info numbers the programmes
};

// The request's own consistency: a BadRequest or nothing.
CommandError CheckCmRequest(const CmRequest& request);

struct CmResult {
  Outcome outcome = Outcome::Done;   // Done, Stopped or InputError
  CommandError error;                // why an InputError ended the read
  CmScanResult scan;                 // what the read found, and its figures
  std::vector<CmStretch> stretches;  // the whole recording (what was read when stopped), in order
};

// Reads the recording once. progress (may be empty) hears the per cent by bytes; stop (may be
// null) ends the read, and the stretches then cover what was read.
CmResult RunCm(const CmRequest& request, const PercentCallback& progress, const std::atomic<bool>* stop);

// The programme's stretches as "p:A-p:B" lines (packet numbers in hexadecimal, the end included),
// the form kerf cut's ranges take.
std::vector<std::string> programme_ranges(const std::vector<CmStretch>& stretches);
