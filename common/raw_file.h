// Thin file layer for files beyond 4 GiB: Win32 handles (W functions, paths converted from the
// program's path text, see win32_text.h) or POSIX descriptors with 64-bit offsets. A handle is
// closed with raw_close, or owned by a RawFile.
#pragma once
#include <cstddef>
#include <cstdint>

using RawHandle = intptr_t;
constexpr RawHandle kInvalidRawHandle = -1;

// mode "rb" (read, existing file), "wb" (write, created or truncated) or "ab" (write at the end,
// created when missing, what it holds kept), compared without case.
RawHandle raw_open(const char* path, const char* mode);
// Bytes read (short only at end of file), 0 on failure or when size*count is beyond one call
// (a DWORD on Windows).
size_t raw_read(void* buf, size_t size, size_t count, RawHandle h);
// As raw_read of bytes, but a failure of the system is told apart from the end of the file:
// false when the read failed; got holds the bytes read before the failure (or all of them).
bool raw_read_checked(void* buf, size_t bytes, RawHandle h, size_t& got);
// size*count when everything was written, otherwise 0.
size_t raw_write(const void* buf, size_t size, size_t count, RawHandle h);
// Non-zero on success, 0 on failure (the CloseHandle convention on every platform).
int raw_close(RawHandle h);
// Moves to the signed 64-bit offset high:low from origin 0 begin, 1 current, 2 end; any other
// origin gives -1 without moving. 0, or -1 on failure (such as a position before the start).
int raw_seek(RawHandle h, uint32_t low, int32_t high, int origin);

// Cuts the file back to the largest multiple of unit bytes not beyond the current position and
// moves there, so that a record a failed write left half done is dropped. 0, or -1 when the file
// cannot be cut (a device) or unit is 0.
int raw_cut_to_whole(RawHandle h, uint32_t unit);

// Memory for blocks that file reads fill over and over. Its pages are made present when it is
// allocated (one call, where the system has it, instead of a page fault at each page's first
// use: faults are dear in virtual machines). Throws std::bad_alloc when there is no memory.
class RawBlock {
 public:
  // mirror: where the system can, the bytes appear a second time right after themselves (the
  // same memory mapped twice), so that a stretch running past the end goes on at the start
  // without being moved; bytes must then be a multiple of 4096. mirrored() tells whether it is.
  explicit RawBlock(size_t bytes, bool mirror = false);
  ~RawBlock();
  RawBlock(const RawBlock&) = delete;
  RawBlock& operator=(const RawBlock&) = delete;
  uint8_t* get() const { return data_; }
  bool mirrored() const { return mirrored_; }

 private:
  uint8_t* data_ = nullptr;
  size_t mapped_ = 0;
  bool mirrored_ = false;
};

// Owns one handle and closes it when it goes out of scope, so no path out of a function leaves a
// file open. Close() closes earlier and reports the result, for writers that must know it.
class RawFile {
 public:
  RawFile() = default;
  explicit RawFile(RawHandle h) : h_(h) {}
  RawFile(const char* path, const char* mode) : h_(raw_open(path, mode)) {}
  ~RawFile() { Close(); }
  RawFile(RawFile&& other) noexcept : h_(other.h_) { other.h_ = kInvalidRawHandle; }
  RawFile& operator=(RawFile&& other) noexcept {
    if (this != &other) {
      Close();
      h_ = other.h_;
      other.h_ = kInvalidRawHandle;
    }
    return *this;
  }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  bool ok() const { return h_ != kInvalidRawHandle; }
  RawHandle get() const { return h_; }
  // Closes the handle now: raw_close's result (non-zero on success), non-zero when none was open.
  int Close() {
    if (h_ == kInvalidRawHandle) return 1;
    const int result = raw_close(h_);
    h_ = kInvalidRawHandle;
    return result;
  }

 private:
  RawHandle h_ = kInvalidRawHandle;
};
