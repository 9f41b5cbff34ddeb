// The demux information file: one line-oriented Shift-JIS text format that describes programmes
// (written after an analysis run) and steers a cut (read as the control file). Lines end in CR LF
// on disk on every platform.
#pragma once
#include <cstdint>
#include "common/path.h"
#include "demux/info_file_reader.h"

class TableLayer;

constexpr int kMaxOutputs = 128;          // NAME= blocks of one control file
constexpr int kMaxOutputPids = 128;       // PID= lines of one block
constexpr uint16_t kUnmatchablePid = 0xFFFF;   // "PID=" without a value: matches no packet

enum class DemuxMode { Demux, All };

// One output as the control file describes it.
struct DemuxOutputDesc {
  char path[kPathBuffer] = {};
  uint16_t serviceId = 0;   // 0 = find the service through its PMT PID
  int pidCount = 0;
  uint16_t pids[kMaxOutputPids] = {};
};

struct DemuxControl {
  DemuxMode mode = DemuxMode::Demux;
  int outputCount = 0;
  DemuxOutputDesc outputs[kMaxOutputs];
};

enum class ControlStatus { Ok, CannotOpen, BadLine };

// Reads a control file into control (cleared first), with the tool's rules (keys exact, pieces of
// kControlLineMax). On BadLine, badLine holds the 1-based number of the offending line.
ControlStatus ReadDemuxControl(const char* path, DemuxControl& control, int& badLine);

// Parses control-file text held in memory (same rules as ReadDemuxControl).
ControlStatus ParseDemuxControl(const char* text, size_t length, DemuxControl& control,
                                int& badLine);

// Options of the information-file writer.
struct DemuxInfoOptions {
  const char* programFolder = "";   // ends in the path separator; the NAME lines point into it
  bool firstProgrammeOnly = false;  // -i1:
  bool excludeEcmAndData = false;   // -x
};

// Writes the information file for programme tables 0..currentTable of tables. Returns false when
// the file could not be created or written (the run goes on regardless).
bool WriteDemuxInfo(const char* path, const TableLayer& tables, const DemuxInfoOptions& options);
