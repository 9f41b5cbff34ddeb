// The programmes of a programme-structure file (DEMUX.txt as the demux engine writes it), read as
// the cutter reads it: keys in any case, lines in pieces of kLinePieceMax. One record serves the
// cutter's list of video streams and kerf's listing of every programme.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "demux/psi/programme_table.h"

constexpr int kMaxProgrammeEntries = 256;   // video streams the cutter's list keeps

struct ProgrammePid {
  int32_t pid = 0;
  std::string classText;   // PAT, PMT, PCR, ECM or the stream's class (V, A, C, D, empty)
  StreamCodec codec = StreamCodec::None;   // known only where the PMT entry was read (kerf)
};

// One NAME= block.
struct Programme {
  int32_t ordinal = 0;     // 1-based NAME= block, the n of PRGn.TS
  int32_t serviceId = 0;
  std::string name;        // the "// 番組名:" comment above the block (Shift-JIS), empty without one
  // Filled by kerf's programme analysis, in UTF-8 (empty where the recording gives none): the
  // present event's name as a person reads it, and the service's own names from the SDT.
  std::string eventName;
  std::string serviceName;
  std::string providerName;
  std::vector<ProgrammePid> pids;
};

// One video stream: a "PID=pid,V" line (class in any case).
struct VideoEntry {
  int32_t videoPid = 0;
  int32_t ordinal = 0;     // the block it stands in (0 above the first NAME= line)
  StreamCodec codec = StreamCodec::None;   // as in ProgrammePid
};

// What a programme-structure file says. (The cutter keeps its list box entries in its settings
// record, which is saved byte for byte; they are filled from videos.)
struct ProgrammeStructure {
  std::vector<Programme> programmes;
  std::vector<VideoEntry> videos;   // in file order, at most kMaxProgrammeEntries
};

// Reads the file at path into list (emptied first). 0 on success, 1 when it cannot be opened.
int read_programme_list(const char* path, ProgrammeStructure& list);
// The list box text of a video entry: "PRG%d,VPID=%04X"; buf holds at least 32 bytes.
char* programme_entry_text(const VideoEntry& entry, char* buf);
