// A scan as a plain value: every sequence header of a programme's video in one read of the whole
// recording, with the PCR read last before each, so that cut points can be chosen without a
// window. Nothing here prints.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "mpeg2/sequence_headers.h"
#include "plans/outcome.h"
#include "plans/recording.h"
#include "plans/work_engine.h"

struct ScanPlan {
  Recording rec;
  int programme = 0;        // the ordinal whose video is read (the first video's when 0 was asked)
  int32_t videoPid = 0;
  int32_t pcrPid = -1;      // the measurement's PCR PID; -1 when the recording was not measured
};

// Finds the video of programme (0: the first video) in the programmes at listAt.
CommandError PlanScan(const Recording& rec, int programme, int32_t listAt, WorkEngine& engine, ScanPlan& plan);

struct ScanResult {
  Outcome outcome = Outcome::Done;   // Done, Stopped or InputError
  CommandError error;                // why an InputError ended the read
  std::vector<SequenceHeaderAt> headers;   // in file order; those found before a stop or an error
};

// Reads the whole recording. progress (may be empty) hears the per cent by packets, 100 at a
// complete read; stop (may be null) ends the read, keeping what was found.
ScanResult RunScan(const ScanPlan& plan, const PercentCallback& progress, const std::atomic<bool>* stop);

// A PCR's clock time in milliseconds, rounded.
int32_t pcr_ms(int64_t ticks);
