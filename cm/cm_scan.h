// The one read of a recording behind the commercial finder: the programme's tables, its audio
// decoded into levels and silences, its key pictures kept for a while and decoded only around the
// silences, all in a single pass with fixed memory.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "cm/breaks.h"
#include "demux/psi/programme_table.h"

enum class CmScanOutcome : uint8_t {
  Done,
  Stopped,        // the stop flag was raised: the findings cover what was read
  CannotOpen,
  ReadError,      // reading failed, or the packet grid was lost for good
  NoProgramme,    // the PAT lists fewer programmes than asked for (or none came)
  NoVideo,        // the programme's PMT lists no video
  UnreadVideo,    // its video is of a coding the picture decoder does not read (H.264, HEVC...)
  NoAudio,        // the programme's PMT lists no audio
  UnknownAudio,   // its audio is of a coding the audio decoder does not know
};

// Receives how far the read has come.
class CmScanProgress {
 public:
  virtual void OnProgress(int percent) = 0;

 protected:
  ~CmScanProgress() = default;
};

struct CmScanRequest {
  std::string path;
  int programme = 1;                       // ordinal in the PAT, from 1 (as kerf info lists them)
  const std::atomic<bool>* stop = nullptr;
  CmScanProgress* progress = nullptr;
};

struct CmScanResult {
  CmScanOutcome outcome = CmScanOutcome::Done;
  CmFindings findings;
  uint16_t serviceId = 0;
  uint16_t videoPid = 0, audioPid = 0;
  uint8_t audioStreamType = 0;
  StreamCodec videoCodec = StreamCodec::None, audioCodec = StreamCodec::None;   // as the PMT classes them
  // Figures of the run.
  int64_t silences = 0;
  int64_t keyPictures = 0;
  int64_t decodes = 0;
  int64_t levels = 0;
  uint32_t audioErrors = 0;
};

CmScanResult CmScanRecording(const CmScanRequest& request);
// A sentence for an outcome other than Done.
const char* cm_scan_outcome_text(CmScanOutcome outcome);
