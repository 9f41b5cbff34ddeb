// Thin file layer for files beyond 4 GiB: Win32 handles (W functions, paths converted from CP932)
// or POSIX descriptors with 64-bit offsets. The caller owns a handle and closes it with raw_close.
#pragma once
#include <cstddef>
#include <cstdint>

using RawHandle = intptr_t;
constexpr RawHandle kInvalidRawHandle = -1;

// mode "rb" (read, existing file) or "wb" (write, created or truncated), compared without case.
RawHandle raw_open(const char* path, const char* mode);
// Bytes read (short only at end of file), 0 on failure or when size*count is beyond one call
// (a DWORD on Windows).
size_t raw_read(void* buf, size_t size, size_t count, RawHandle h);
// size*count when everything was written, otherwise 0.
size_t raw_write(const void* buf, size_t size, size_t count, RawHandle h);
// Non-zero on success, 0 on failure (the CloseHandle convention on every platform).
int raw_close(RawHandle h);
// Moves to the signed 64-bit offset high:low from origin 0 begin, 1 current, 2 end; any other
// origin gives -1 without moving. 0, or -1 on failure (such as a position before the start).
int raw_seek(RawHandle h, uint32_t low, int32_t high, int origin);
