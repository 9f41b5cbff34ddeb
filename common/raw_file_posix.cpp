// The file layer on POSIX descriptors with 64-bit offsets.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "common/raw_file.h"

namespace {

bool mode_is(const char* mode, char first) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return lower(mode[0]) == first && mode[0] != 0 && lower(mode[1]) == 'b' && mode[2] == 0;
}

// size*count, or false when the product does not fit.
bool byte_count(size_t size, size_t count, size_t& total) {
  if (size != 0 && count > SIZE_MAX / size) return false;
  total = size * count;
  return true;
}

}  // namespace

RawHandle raw_open(const char* path, const char* mode) {
  int fd = -1;
  if (mode_is(mode, 'r')) {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } else if (mode_is(mode, 'w')) {
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } else if (mode_is(mode, 'a')) {
    // Not O_APPEND: positioned at the end once, so a failed write can still be cut back to whole
    // records from the current position.
    fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0 && lseek(fd, 0, SEEK_END) < 0) {
      close(fd);
      return kInvalidRawHandle;
    }
  } else {
    return kInvalidRawHandle;
  }
  if (fd < 0) return kInvalidRawHandle;
  // A folder opens for reading on POSIX but not as a Win32 file; refuse it the same way.
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return kInvalidRawHandle;
  }
  return RawHandle(fd);
}

bool raw_read_checked(void* buf, size_t bytes, RawHandle h, size_t& got) {
  got = 0;
  if (h < 0) return false;
  // read() may return less than asked before the end (signals, the per-call cap near 2 GiB);
  // keep going so that a short count always means end of file.
  while (got < bytes) {
    const ssize_t n = read(int(h), static_cast<char*>(buf) + got, bytes - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  return true;
}

size_t raw_read(void* buf, size_t size, size_t count, RawHandle h) {
  size_t total = 0, got = 0;
  if (h < 0 || !byte_count(size, count, total)) return 0;
  return raw_read_checked(buf, total, h, got) ? got : 0;
}

size_t raw_write(const void* buf, size_t size, size_t count, RawHandle h) {
  size_t total = 0;
  if (h < 0 || !byte_count(size, count, total)) return 0;
  size_t done = 0;
  while (done < total) {
    const ssize_t put = write(int(h), static_cast<const char*>(buf) + done, total - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (put == 0) return 0;
    done += size_t(put);
  }
  return total;
}

int raw_close(RawHandle h) {
  if (h < 0) return 0;
  return close(int(h)) == 0 ? 1 : 0;
}

int raw_seek(RawHandle h, uint32_t low, int32_t high, int origin) {
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: return -1;
  }
  if (h < 0) return -1;
  const int64_t offset = int64_t((uint64_t(uint32_t(high)) << 32) | low);
  return lseek(int(h), off_t(offset), whence) < 0 ? -1 : 0;
}

int raw_cut_to_whole(RawHandle h, uint32_t unit) {
  if (h < 0 || unit == 0) return -1;
  const off_t at = lseek(int(h), 0, SEEK_CUR);
  if (at < 0) return -1;
  const off_t whole = at - at % off_t(unit);
  if (ftruncate(int(h), whole) != 0) return -1;
  return lseek(int(h), whole, SEEK_SET) < 0 ? -1 : 0;
}

RawBlock::RawBlock(size_t bytes, bool mirror) {
#ifdef __linux__
  // Two views of one memory file, side by side in an area reserved for both.
  if (mirror && bytes > 0 && bytes % 4096 == 0) {
    const int fd = memfd_create("kerf-block", MFD_CLOEXEC);
    if (fd >= 0 && ftruncate(fd, off_t(bytes)) == 0) {
      void* area = mmap(nullptr, 2 * bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (area != MAP_FAILED) {
        uint8_t* const at = static_cast<uint8_t*>(area);
        const int rw = PROT_READ | PROT_WRITE, shared = MAP_SHARED | MAP_FIXED | MAP_POPULATE;
        if (mmap(at, bytes, rw, shared, fd, 0) != MAP_FAILED &&
            mmap(at + bytes, bytes, rw, shared, fd, 0) != MAP_FAILED) {
          close(fd);
          data_ = at;
          mapped_ = 2 * bytes;
          mirrored_ = true;
          return;
        }
        munmap(area, 2 * bytes);
      }
    }
    if (fd >= 0) close(fd);
  }
#else
  (void)mirror;
#endif
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<uint8_t*>(p);
  mapped_ = bytes;
  // Linux 5.14 and later fault the pages in at once; elsewhere the first reads do it as usual.
#ifdef MADV_POPULATE_WRITE
  madvise(p, bytes, MADV_POPULATE_WRITE);
#elif defined(__linux__)
  madvise(p, bytes, 23);
#endif
}

RawBlock::~RawBlock() { munmap(data_, mapped_); }
