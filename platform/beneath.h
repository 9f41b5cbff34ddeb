// Files beneath a root folder, resolved by the kernel (Linux openat2 with RESOLVE_BENEATH and
// RESOLVE_NO_MAGICLINKS), so that no spelling of a path — "..", a symbolic link leading out, a
// /proc link — reaches anything outside the root, however the tree changes between two calls.
// Descriptors are RawHandles (POSIX descriptors), owned by RawFile. Linux only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/raw_file.h"

// Why a resolution failed.
enum class BeneathError {
  None,
  Outside,     // the path leads out of the root (through "..", an absolute link, a magic link)
  NotFound,    // a component is missing
  WrongKind,   // a file where a folder was asked for, or the other way round
  Exists,      // the name to create is taken
  Denied,      // the system refused (permissions)
  Failed,      // anything else (out of descriptors, an I/O error)
};

enum class BeneathOpen {
  ReadFile,     // a regular file, for reading
  Folder,       // a folder, for listing and as the base of further resolution
};

// Opens the root folder itself (a full path); an invalid handle when it is no readable folder.
RawHandle beneath_open_root(const char* path);
// Opens rel (components separated by '/', no leading '/'; empty: the root itself) beneath root.
RawHandle beneath_open(RawHandle root, const std::string& rel, BeneathOpen how, BeneathError& error);

struct BeneathEntry {
  std::string name;
  bool folder = false;
  double size = 0;
  int64_t modifiedNs = 0;   // nanoseconds since 1970
};
// The folders and regular files of the folder rel beneath root whose every entry resolves beneath
// root (a link leading out is left out, as is anything else that is neither). Sorted by name.
bool beneath_list(RawHandle root, const std::string& rel, std::vector<BeneathEntry>& entries, BeneathError& error);

// Size and modification time of an open file.
bool handle_stat(RawHandle h, double& size, int64_t& modifiedNs);
// True when both handles are one file (device and inode).
bool handle_same_file(RawHandle a, RawHandle b);
// A path naming the open handle for a later open by path ("/proc/self/fd/N"): the file stays the
// one opened, whatever happens to its name.
std::string handle_path(RawHandle h);
// Free bytes for an unprivileged writer on the file system of h; -1 when unknown.
double handle_free_bytes(RawHandle h);

// Creates name in the open folder, exclusively (never an existing entry, never through a link),
// owner and group writable as the process's umask allows.
RawHandle folder_create_new(RawHandle folder, const std::string& name, BeneathError& error);
// True when name is an entry of folder (a dangling link counts).
bool folder_has_entry(RawHandle folder, const std::string& name);
// Renames from to to within folder: atomically and only when to does not exist, unless replace.
bool folder_rename(RawHandle folder, const std::string& from, const std::string& to, bool replace,
                   BeneathError& error);
// Size of the entry name of folder (not following a link); -1 when there is none.
double folder_entry_size(RawHandle folder, const std::string& name);
// Lets the system forget the cached pages of the regular file name of folder (its content stays as
// it is): before a file is replaced, so that the memory of its pages goes to its replacement.
void folder_entry_drop_cache(RawHandle folder, const std::string& name);
// Removes the file name of folder; a missing entry is no error.
void folder_remove(RawHandle folder, const std::string& name);
// The identity of name in folder, when it exists: true and the same as handle_same_file tells.
bool folder_entry_is(RawHandle folder, const std::string& name, RawHandle file);

// Random bytes from the system's generator (for tokens); false when it gave none.
bool secure_random(void* buffer, size_t bytes);

// A small text file that only its owner may read: read back when it exists, is a regular file
// owned by this user and neither group nor others may read or write it (error says why not
// otherwise); created with those rights (its folder too, 0700) when missing.
bool private_file_read(const std::string& path, std::string& text, bool& exists, std::string& error);
bool private_file_create(const std::string& path, const std::string& text, std::string& error);
