// The clip of one programme that a play run has kerfdmx write into the program folder, and whether
// that run wrote it: the player is started on a clip of this run only, never on one an earlier play
// left behind.
#pragma once
#include <cstdint>

#include "common/path.h"

class ClipFile {
 public:
  // Names the clip "PRG%u.ts" of the programme ordinal in programFolder and clears the way for the
  // run: a clip an earlier play left is deleted; when it cannot be (a player may still hold it
  // open), its last-write time is noted for comparison.
  ClipFile(const char* programFolder, int32_t ordinal);
  ClipFile(const ClipFile&) = delete;
  ClipFile& operator=(const ClipFile&) = delete;

  // The clip's path as the player is given it.
  const char* path() const { return path_; }
  // After the run: true when the clip exists and was written since the constructor ran.
  bool Written() const;

 private:
  static constexpr size_t kEntryBuffer = 2 * kPathBuffer;  // the folder and a name

  // The clip's entry in the folder, whatever the letter case of its name (the tool names it
  // PRGn.TS); false when there is none.
  bool Find(char (&entry)[kEntryBuffer]) const;

  char folder_[kPathBuffer] = {};
  char name_[16] = {};
  char path_[kPathBuffer + 16] = {};
  bool left_ = false;            // an old clip could not be deleted
  uint64_t leftWriteTime_ = 0;  // and had this last-write time
};
