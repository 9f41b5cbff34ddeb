// Path helpers. Windows paths are X:\... with backslashes, Shift-JIS aware where the program keeps
// its paths in CP932 (in UTF-8 every backslash is one, see win32_text.h); the POSIX build uses '/'
// and the root '/'. Paths hold at most kPathMax bytes plus the terminator.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kPathMax = 259;        // characters of a path, without the terminator
constexpr size_t kPathBuffer = kPathMax + 1;

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
// The demux tool's file, which the programs look for in their own folder.
constexpr const char* kToolFileName = "KERFDMX.EXE";
#else
constexpr char kPathSeparator = '/';
constexpr const char* kToolFileName = "kerfdmx";
#endif

// Appends a separator in place unless the path already ends in one (a trail byte 0x5C of a
// two-byte character does not count); an empty path becomes a lone separator. A path that
// already holds kPathMax characters is left as it is (the buffer has no room).
void path_add_backslash(char* path);
// Creates every missing folder of a full folder path: 0 on success, 1 on failure. Windows takes
// only X:\ followed by at least one character; POSIX only "/" followed by at least one character.
int path_make_folders(const char* path);
// 1 when a file or folder of that name exists, else 0. On Windows this is a find-first: a drive
// root is not found, and wildcards match.
int path_exists(const char* path);
// Size in bytes of the entry, 0.0 when there is none.
double path_file_size(const char* path);
// Last-write time of the entry in the file system's own units (Windows: 100 ns since 1601; POSIX:
// nanoseconds since 1970), 0 when there is none: for telling whether a file has been rewritten.
uint64_t path_write_time(const char* path);
// 1 when a folder of that name exists, else 0.
int path_is_folder(const char* path);
// 1 when both paths name one existing file, however each is spelt (another case, "..", a short
// name, a link): the volume serial number and file index on Windows, the device and inode on
// POSIX. 0 when they differ or either cannot be looked up.
int path_same_file(const char* a, const char* b);
// 1 when creating or writing the two paths would reach one file: both name one existing file (as
// path_same_file tells), or neither exists and both name the same entry of one existing folder
// (the folders by identity, the names exactly on POSIX and without regard to case on Windows,
// after the system's own normalisation there; a dangling symbolic link counts as the entry it
// names). 0 otherwise, and when only one of them exists.
int path_same_target(const char* a, const char* b);
// Clears the read-only attribute of a file, keeping its other attributes (POSIX: gives the owner
// write permission). 0 on success or when it was not set, 1 on failure.
int path_clear_read_only(const char* path);

// 1 for a full path: "X:\..." on Windows, "/..." on POSIX.
int path_is_full(const char* path);
// Length of the root of a full path ("X:\" = 3, "/" = 1), 0 when the path is not full.
size_t path_root_length(const char* path);
// 1 when the byte at index i is a separator rather than the trail byte of a two-byte character.
bool path_is_separator_at(const char* path, size_t i);
// Index just past the last separator (0 when there is none), Shift-JIS aware.
size_t path_name_offset(const char* path);
// Goes one folder up in place: a folder path ending in a separator is cut just after its
// second-to-last separator ("C:\A\B\" -> "C:\A\"). A path with fewer than two separators, such
// as a drive root, is left as it is. Shift-JIS aware.
void path_cut_to_parent(char* folder);
