// The cutter's list of video streams, read back from the programme-structure file the demux tool
// writes: one entry per "PID=xxxx,V" line, tagged with the number of its NAME= block.
#pragma once
#include <cstdint>

constexpr int kMaxProgrammeEntries = 256;

struct ProgrammeEntries {
  int32_t count = 0;
  int32_t videoPid[kMaxProgrammeEntries] = {};
  int32_t ordinal[kMaxProgrammeEntries] = {};   // 1-based NAME= block, the n of PRGn.TS
};

// Reads the file at path into list (emptied first). 0 on success, 1 when it cannot be opened.
int read_programme_list(const char* path, ProgrammeEntries& list);
// The list box text of entry i: "PRG%d,VPID=%04X"; buf holds at least 32 bytes.
char* programme_entry_text(const ProgrammeEntries& list, int i, char* buf);
