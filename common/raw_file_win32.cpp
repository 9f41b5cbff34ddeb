// The file layer on Win32 handles. Paths arrive in the program's path text (CP932 or UTF-8) and are
// opened with the W functions.
#include <windows.h>

#include <cstdint>
#include <new>
#include <string>

#include "common/raw_file.h"
#include "common/win32_text.h"

namespace {

bool mode_is(const char* mode, char first) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return lower(mode[0]) == first && mode[0] != 0 && lower(mode[1]) == 'b' && mode[2] == 0;
}

// size*count as one ReadFile/WriteFile length, or false when it does not fit a DWORD.
bool byte_count(size_t size, size_t count, DWORD& total) {
  if (size != 0 && count > SIZE_MAX / size) return false;
  const size_t bytes = size * count;
  if (bytes > MAXDWORD) return false;
  total = DWORD(bytes);
  return true;
}

HANDLE as_handle(RawHandle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

RawHandle raw_open(const char* path, const char* mode) {
  DWORD access;
  DWORD disposition;
  if (mode_is(mode, 'r')) {
    access = GENERIC_READ;
    disposition = OPEN_EXISTING;
  } else if (mode_is(mode, 'w')) {
    access = GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else if (mode_is(mode, 'a')) {
    access = GENERIC_WRITE;
    disposition = OPEN_ALWAYS;
  } else {
    return kInvalidRawHandle;
  }
  std::wstring wide;
  if (!path_to_wide(path, wide) || wide.empty()) return kInvalidRawHandle;
  // No sharing: while one side has a file open the other cannot touch it.
  const HANDLE h =
      CreateFileW(wide.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidRawHandle;
  LARGE_INTEGER zero = {};
  if (mode_is(mode, 'a') && !SetFilePointerEx(h, zero, nullptr, FILE_END)) {
    CloseHandle(h);
    return kInvalidRawHandle;
  }
  return reinterpret_cast<RawHandle>(h);
}

bool raw_read_checked(void* buf, size_t bytes, RawHandle h, size_t& got) {
  got = 0;
  if (h == kInvalidRawHandle) return false;
  // ReadFile takes a DWORD: larger reads go in pieces; a short piece is the end of the file.
  while (got < bytes) {
    const DWORD want = DWORD(bytes - got > MAXDWORD ? MAXDWORD : bytes - got);
    DWORD n = 0;
    if (!ReadFile(as_handle(h), static_cast<char*>(buf) + got, want, &n, nullptr)) return false;
    got += n;
    if (n < want) break;
  }
  return true;
}

size_t raw_read(void* buf, size_t size, size_t count, RawHandle h) {
  DWORD total = 0;
  if (h == kInvalidRawHandle || !byte_count(size, count, total)) return 0;
  DWORD got = 0;
  if (!ReadFile(as_handle(h), buf, total, &got, nullptr)) return 0;
  return got;
}

size_t raw_write(const void* buf, size_t size, size_t count, RawHandle h) {
  DWORD total = 0;
  if (h == kInvalidRawHandle || !byte_count(size, count, total)) return 0;
  DWORD put = 0;
  if (!WriteFile(as_handle(h), buf, total, &put, nullptr) || put != total) return 0;
  return total;
}

int raw_close(RawHandle h) {
  if (h == kInvalidRawHandle) return 0;
  return CloseHandle(as_handle(h)) ? 1 : 0;
}

int raw_seek(RawHandle h, uint32_t low, int32_t high, int origin) {
  DWORD method;
  switch (origin) {
    case 0: method = FILE_BEGIN; break;
    case 1: method = FILE_CURRENT; break;
    case 2: method = FILE_END; break;
    default: return -1;
  }
  if (h == kInvalidRawHandle) return -1;
  // SetFilePointerEx rather than SetFilePointer: a new position whose low half is 0xFFFFFFFF is
  // a valid position, not a failure.
  LARGE_INTEGER distance;
  distance.QuadPart = LONGLONG((uint64_t(uint32_t(high)) << 32) | low);
  return SetFilePointerEx(as_handle(h), distance, nullptr, method) ? 0 : -1;
}

int raw_cut_to_whole(RawHandle h, uint32_t unit) {
  if (h == kInvalidRawHandle || unit == 0) return -1;
  LARGE_INTEGER zero{}, at{};
  if (!SetFilePointerEx(as_handle(h), zero, &at, FILE_CURRENT)) return -1;
  LARGE_INTEGER whole;
  whole.QuadPart = at.QuadPart - at.QuadPart % LONGLONG(unit);
  if (!SetFilePointerEx(as_handle(h), whole, nullptr, FILE_BEGIN)) return -1;
  return SetEndOfFile(as_handle(h)) ? 0 : -1;
}

// Windows gets the plain block: reads then move what is held to the front as usual.
RawBlock::RawBlock(size_t bytes, bool /*mirror*/) {
  data_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!data_) throw std::bad_alloc();
  mapped_ = bytes;
}

RawBlock::~RawBlock() { VirtualFree(data_, 0, MEM_RELEASE); }
