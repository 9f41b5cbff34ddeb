// ClipFile: the old clip removed before a play run, the new one recognised after it.
#include "cutter/clip_file.h"

#include <cstdio>
#include <cstring>

#include "platform/folders.h"
#include "platform/platform.h"

namespace {

// Spellings of one name that differ in letter case, at most, that a case-sensitive file system
// may hold side by side (PRG1.ts, PRG1.TS, ...): the deletion loop ends even if one keeps coming back.
constexpr int kSpellingsMax = 8;

bool same_name_any_case(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    const unsigned char lx = x >= 'A' && x <= 'Z' ? x + 32 : x, ly = y >= 'A' && y <= 'Z' ? y + 32 : y;
    if (lx != ly) return false;
  }
  return *a == *b;
}

}  // namespace

ClipFile::ClipFile(const char* programFolder, int32_t ordinal) {
  std::snprintf(folder_, sizeof folder_, "%s", programFolder);
  std::snprintf(name_, sizeof name_, "PRG%u.ts", unsigned(ordinal));
  std::snprintf(path_, sizeof path_, "%s%s", folder_, name_);
  char entry[kEntryBuffer];
  for (int pass = 0; pass < kSpellingsMax && Find(entry); ++pass) {
    if (!delete_file(entry)) {
      left_ = true;
      leftWriteTime_ = path_write_time(entry);
      break;
    }
  }
}

bool ClipFile::Find(char (&entry)[kEntryBuffer]) const {
  FolderListing listing(folder_);
  FolderEntry e;
  while (listing.Next(e)) {
    if (e.isFolder || !same_name_any_case(e.name, name_)) continue;
    std::snprintf(entry, kEntryBuffer, "%s%s", folder_, e.name);
    return true;
  }
  return false;
}

bool ClipFile::Written() const {
  char entry[kEntryBuffer];
  if (!Find(entry)) return false;
  return !left_ || path_write_time(entry) != leftWriteTime_;
}
